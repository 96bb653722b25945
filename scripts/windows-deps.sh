#!/usr/bin/env bash
# lightservice's third-party libraries for a mingw-w64 build, made from Debian's own source
# packages: jsoncpp and log4cpp (static), GoogleTest from Debian's googletest package.
# zlib is Debian's libz-mingw-w64-dev and utfcpp is header-only, so neither is built here.
# The result is a prefix that is reused as long as this script is unchanged. The checked orig
# tarballs are kept beside it (deps-sources), so that the second architecture downloads nothing.
# Usage: bash scripts/windows-deps.sh PREFIX [i686|x86_64]   (default i686, the kiosk's build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
prefix=$(mkdir -p "$1" && cd "$1" && pwd)
arch=${2:-i686}
host=$arch-w64-mingw32
jsoncpp_version=1.9.5-4
log4cpp_version=1.1.4-1
stamp=$prefix/.built-$arch-$(sha256sum "$0" | cut -c1-16)
[ -f "$stamp" ] && exit 0

work=$prefix.work
sources=$(dirname "$prefix")/deps-sources
rm -rf "$prefix" "$work"
mkdir -p "$prefix" "$work/apt/lists/partial" "$work/apt/cache/archives/partial" "$work/src" "$sources"
jobs=$(nproc)
[ "$jobs" -gt 2 ] && jobs=2
say() { echo "== windows deps: $*"; }

# A private deb-src entry with the machine's own archive address; the machine's apt
# configuration and state are left alone. apt itself names the address of the release's main
# suite; failing that, the sources files in either format (one-line .list or deb822 .sources).
archive_uri() {
    local codename uri
    codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")
    uri=$(apt-get indextargets --format '$(RELEASE) $(REPO_URI)' 2>/dev/null | awk -v c="$codename" '$1 == c {print $2; exit}')
    [ -n "$uri" ] || uri=$(cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null |
        awk -v c="$codename" '$1 == "deb" {sub(/\[[^]]*\][[:space:]]*/, ""); if ($3 == c) {print $2; exit}}')
    [ -n "$uri" ] || uri=$(cat /etc/apt/sources.list.d/*.sources 2>/dev/null |
        awk -v c="$codename" 'BEGIN{RS=""} /(^|\n)Types:[^\n]*deb([[:space:]]|$)/ && $0 ~ "Suites:[^\n]*" c "([[:space:]]|$)" {
            if (match($0, /URIs:[[:space:]]*[^[:space:]]+/)) {u = substr($0, RSTART, RLENGTH); sub(/URIs:[[:space:]]*/, "", u); print u; exit}}')
    echo "$uri"
}
uris=$(archive_uri)
if [ -z "$uris" ]; then
    echo "windows deps: no Debian archive address found in apt's sources (/etc/apt/sources.list or" \
        "/etc/apt/sources.list.d); add a 'deb' line for this release and run apt-get update" >&2
    exit 1
fi
say "source packages from $uris"
cat >"$work/apt/deb-src.sources" <<EOF
Types: deb-src
URIs: $uris
Suites: bookworm trixie
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
apt_opts=(-o Dir::Etc::SourceList=/dev/null -o Dir::Etc::SourceParts="$work/apt"
          -o Dir::State::Lists="$work/apt/lists" -o Dir::Cache="$work/apt/cache"
          -o Dir::State::status=/var/lib/dpkg/status
          # The build folder may lie where apt's own user cannot write (a clone under /root).
          -o APT::Sandbox::User=root)
lists=no
source_lists() {
    [ $lists = yes ] && return 0
    say "source package lists"
    # A suite whose index cannot be read (an expired Release file on a frozen mirror, say) leaves
    # the others usable; fetch says so if the package is then not found.
    apt-get "${apt_opts[@]}" -qq update || say "some source lists could not be read; going on with the rest"
    lists=yes
}

# fetch PACKAGE VERSION: the orig tarball, its SHA-256 checked against the .dsc or, where the
# archive no longer serves the .dsc, against the signed source index the .dsc's sums come from.
# The debian tarball is not needed and may be missing from the archive.
first() { [ -e "$1" ] && echo "$1"; return 0; }
fetch() {
    local dir=$work/src/$1 dsc orig expected checked=$sources/$1_$2.checked
    mkdir -p "$dir/unpacked"
    if [ -f "$checked" ] && (cd "$sources" && sha256sum --quiet -c "$checked" 2>/dev/null); then
        tar -xf "$sources/$(cut -d' ' -f3 "$checked")" -C "$dir/unpacked"
        mv "$dir/unpacked"/* "$dir/tree"
        return 0
    fi
    source_lists
    (cd "$dir" && apt-get "${apt_opts[@]}" -qq source --download-only "$1=$2" >/dev/null 2>&1) || true
    orig=$(first "$dir"/*.orig.tar.*)
    if [ -z "$orig" ]; then
        echo "windows deps: $1 $2 could not be downloaded" >&2
        return 1
    fi
    dsc=$(first "$dir"/*.dsc)
    if [ -n "$dsc" ]; then
        expected=$(awk -v f="$(basename "$orig")" '/^Checksums-Sha256:/{s=1;next} /^[^ ]/{s=0} s && $3==f {print $1}' "$dsc")
    else
        expected=$(cd "$work" && apt-get "${apt_opts[@]}" -qq source --print-uris "$1=$2" 2>/dev/null |
            awk -v f="$(basename "$orig")" '$2==f && $4 ~ /^SHA256:/ {sub(/^SHA256:/, "", $4); print $4}')
    fi
    if [ -z "$expected" ] || [ "$(sha256sum "$orig" | cut -d' ' -f1)" != "$expected" ]; then
        echo "windows deps: $orig does not match its SHA-256 ${dsc:+in $(basename "$dsc")}" >&2
        return 1
    fi
    tar -xf "$orig" -C "$dir/unpacked"
    mv "$dir/unpacked"/* "$dir/tree"
    cp "$orig" "$sources/"
    (cd "$sources" && sha256sum "$(basename "$orig")" >"$checked")
}

say "jsoncpp $jsoncpp_version and log4cpp $log4cpp_version (downloaded once into $sources)"
fetch libjsoncpp "$jsoncpp_version"
fetch log4cpp "$log4cpp_version"

toolchain=$root/cmake/toolchain-mingw.cmake
cmake_static() {
    cmake -S "$1" -B "$1/build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DLAMP_MINGW_ARCH=$arch -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_INSTALL_PREFIX="$prefix" "${@:2}" >"$1.configure.log" 2>&1 || { cat "$1.configure.log"; return 1; }
    cmake --build "$1/build" -j "$jobs" >"$1.build.log" 2>&1 || { tail -30 "$1.build.log"; return 1; }
    cmake --install "$1/build" >>"$1.build.log" 2>&1
}

say "build jsoncpp"
cmake_static "$work/src/libjsoncpp/tree" -DJSONCPP_WITH_TESTS=OFF -DJSONCPP_WITH_POST_BUILD_UNITTEST=OFF \
    -DJSONCPP_WITH_PKGCONFIG_SUPPORT=OFF -DBUILD_SHARED_LIBS=OFF -DBUILD_STATIC_LIBS=ON -DBUILD_OBJECT_LIBS=OFF

say "build GoogleTest"
cp -r /usr/src/googletest "$work/src/googletest"
cmake_static "$work/src/googletest" -DBUILD_GMOCK=OFF

say "build log4cpp"
log4cpp=$work/src/log4cpp/tree
# mingw-w64's own headers declare int64_t; this macro turns their typedef into an error.
sed -i '/#define int64_t __int64/d' "$log4cpp/include/log4cpp/config-MinGW32.h"
(cd "$log4cpp" && ./configure --host=$host --prefix="$prefix" --disable-shared --enable-static \
    --disable-doxygen CC=$host-gcc-posix CXX=$host-g++-posix >../configure.log 2>&1) ||
    { tail -30 "$work/src/log4cpp/configure.log"; exit 1; }
(cd "$log4cpp" && make -j "$jobs" >../build.log 2>&1 && make install >>../build.log 2>&1) ||
    { tail -30 "$work/src/log4cpp/build.log"; exit 1; }

rm -rf "$work"
touch "$stamp"
say "built into $prefix"
