#!/usr/bin/env bash
# Installs the Debian packages the build needs; does nothing when they are already there.
# Usage: scripts/deps.sh run|test
set -euo pipefail

# nc and python3 run the client examples of docs/protocol.md.
run_pkgs=(build-essential cmake pkg-config liblog4cpp5-dev libjsoncpp-dev libutfcpp-dev
          zlib1g-dev libsystemd-dev netcat-openbsd python3)
test_pkgs=(libgtest-dev libgmock-dev socat python3-pymodbus python3-serial python3-serial-asyncio clang libclang-rt-14-dev
           g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix libz-mingw-w64-dev systemd util-linux dpkg-dev file iproute2 procps binutils)
# The Windows packages: wixl builds them, msibuild (msitools) writes their non-ASCII texts,
# osslsigncode signs them (with a certificate openssl makes for the test), python3-pefile reads
# the version resources.
test_pkgs+=(wixl msitools osslsigncode openssl python3-pefile)
# The end-to-end sessions (tests/e2e) are pytest modules, run by Debian's python3.
test_pkgs+=(python3-pytest)
# The layout of the sources is checked against .clang-format.
test_pkgs+=(clang-format)
wine_pkgs=(wine wine64 wine32)

missing() {
    local p
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || echo "$p"
    done
}

updated=no
install() {
    local need
    need=$(missing "$@")
    [ -z "$need" ] && return 0
    if [ "$updated" = no ]; then apt-get update -qq; updated=yes; fi
    # shellcheck disable=SC2086
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $need >/dev/null
}

if [ "$(id -u)" != 0 ]; then
    echo "scripts/deps.sh: run as root (apt-get installs the build's packages)" >&2
    exit 1
fi

install "${run_pkgs[@]}"
[ "${1:-run}" = test ] || exit 0
install "${test_pkgs[@]}"

# Wine runs the Windows tests; wine32 needs the i386 architecture.
if [ -n "$(missing "${wine_pkgs[@]}")" ]; then
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        dpkg --add-architecture i386
        updated=no
    fi
    if ! install "${wine_pkgs[@]}"; then
        echo "Wine cannot be installed here (no package source): the Windows tests are left out." >&2
    fi
fi
