#!/usr/bin/env bash
# The main job: builds the service and runs it in this console on the simulated lamp.
# Watch the lamp from another terminal with build/native/bin/lampview --watch.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh run
cmake -S . -B build/native -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLAMP_BUILD_TESTS=OFF >/dev/null
cmake --build build/native -j "$(nproc)" >/dev/null
cat <<TXT
The service runs on the simulated lamp (state file ${LAMPSIM_STATE:-/tmp/lampsim.state}).
  watch the lamp:   build/native/bin/lampview --watch
  send a request:   printf '{"red":true,"green":false,"blue":false}' | nc -q1 127.0.0.1 48888
Stop with Ctrl+C.
TXT
exec build/native/bin/lightservice run
