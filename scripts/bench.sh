#!/usr/bin/env bash
# The benchmark figures: the native light_bench, then the Windows program under Wine beside
# Wine's own floor measured in the same session. Each in a network namespace of its own, since
# both serve 127.0.0.1:48888. Expects the native and Windows builds of the test command.
set -uo pipefail
cd "$(dirname "$0")/.."
[ -x build/native/bin/light_bench ] || { echo "build the native tree first (bash scripts/test.sh)"; exit 1; }
echo "== native"
unshare -n sh -c 'ip link set lo up && build/native/bin/light_bench "$@"' _ "$@"
if compgen -G 'build/windows/*/bin/lightservice.exe' >/dev/null && command -v wine >/dev/null 2>&1; then
    echo "== Windows program under Wine"
    unshare -n bash scripts/windows-wine.sh bench "$PWD/build/windows"
else
    echo "== Windows program under Wine: not measured (no Windows build or no Wine)"
fi
