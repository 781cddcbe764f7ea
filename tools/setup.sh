#!/usr/bin/env bash
# Installs what the project needs on a Debian machine (as root), builds it,
# and then either decodes a generated sample ("sample") or runs every test
# ("test", what CI runs).
set -euo pipefail
cd "$(dirname "$0")/.."
mode=${1:-test}
jobs=$(nproc 2>/dev/null || echo 2)

packages=(g++ cmake make pkg-config libopusfile-dev libopusenc-dev libgtest-dev python3 openssl)
# The test run also cross-compiles the Windows start-up step and runs it under Wine.
if [ "$mode" = test ]; then
    packages+=(g++-mingw-w64-x86-64 wine64)
fi
if ! dpkg -s "${packages[@]}" >/dev/null 2>&1; then
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${packages[@]}"
fi

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$jobs"

case "$mode" in
sample)
    mkdir -p sample
    build/tools/make_opus sample/sample.opus ms=4000 tag=TITLE=First tag=ARTIST=opus2wav pic=png \
        -- ms=3000 ch=1 rate=44100 tag=TITLE=Second
    build/opus2wav sample/sample.opus > sample/sample.wav
    echo "Decoded sample/sample.opus into sample/sample.wav"
    ;;
test)
    (cd build && ctest --output-on-failure -j"$jobs")
    ;;
*)
    echo "usage: tools/setup.sh sample|test" >&2
    exit 2
    ;;
esac
