#!/usr/bin/env bash
# Installs what the project needs on a Debian machine (as root), builds it,
# and then either decodes a generated sample ("sample") or runs every test
# ("test", what CI runs).
set -euo pipefail
cd "$(dirname "$0")/.."
mode=${1:-test}
jobs=$(nproc 2>/dev/null || echo 2)

packages=(g++ cmake make pkg-config libopusfile-dev libopusenc-dev libgtest-dev python3 openssl)
# The test run also cross-compiles the Windows start-up step and runs it under
# Wine, fuzzes with clang's libFuzzer, checks the manual page, and decodes from
# real servers on loopback (Icecast fed by ezstream, nginx), and runs the
# README's recipes (GNU parallel, across "machines" through a loopback sshd,
# sox), and builds the package with CPack and with debhelper.
if [ "$mode" = test ]; then
    packages+=(g++-mingw-w64-x86-64 wine64 clang libclang-rt-14-dev clang-format groff-base
        icecast2 ezstream nginx-light dpkg-dev file lintian mandoc debhelper
        parallel rsync openssh-client openssh-server sox)
fi
if ! dpkg -s "${packages[@]}" >/dev/null 2>&1; then
    # Another apt or dpkg run (unattended upgrades on a fresh machine) is
    # waited for rather than failed on.
    apt_wait=(-o DPkg::Lock::Timeout=600)
    apt-get "${apt_wait[@]}" update -qq
    DEBIAN_FRONTEND=noninteractive apt-get "${apt_wait[@]}" install -y -qq \
        --no-install-recommends "${packages[@]}"
fi

# Tests and the tools that make their inputs are asked for explicitly, so a
# build folder first configured without them (the install steps of the README)
# cannot leave them out here.
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON >/dev/null
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
    echo "== formatting"
    # From a source tarball there is no repository to list the files.
    if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
        git ls-files '*.cpp' '*.h'
    else
        find src tests tools bench -name '*.cpp' -o -name '*.h'
    fi | xargs clang-format --dry-run --Werror

    echo "== manual page"
    warnings=$(groff -man -Tutf8 -ww build/opus2wav.1 2>&1 >/dev/null; mandoc -Tlint build/opus2wav.1 2>&1)
    if [ -n "$warnings" ]; then
        echo "$warnings" >&2
        exit 1
    fi

    echo "== install into a temporary prefix"
    prefix=$(mktemp -d)
    cmake --install build --prefix "$prefix" --strip >/dev/null
    test -f "$prefix/share/man/man1/opus2wav.1.gz"
    for doc in LICENSE README.md.gz NEWS.md.gz; do
        test -f "$prefix/share/doc/opus2wav/$doc"
    done
    # The Debian changelog and copyright go into the package made here only.
    test ! -e "$prefix/share/doc/opus2wav/changelog.gz"
    test ! -e "$prefix/share/doc/opus2wav/copyright"
    build/tools/make_opus "$prefix/check.opus" ms=500 -- ms=300 ch=1
    "$prefix/bin/opus2wav" "$prefix/check.opus" > "$prefix/installed.wav" 2>/dev/null
    build/opus2wav "$prefix/check.opus" > "$prefix/built.wav" 2>/dev/null
    cmp "$prefix/installed.wav" "$prefix/built.wav"

    echo "== Debian package: build under umask 022 and 077, lintian, install, run, remove"
    # Its own build folders, configured as a packager would: no tests. Two
    # builds with the same SOURCE_DATE_EPOCH, one under a strict umask, must
    # give the same package.
    if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
        SOURCE_DATE_EPOCH=$(git log -1 --format=%ct)
    else
        SOURCE_DATE_EPOCH=$(stat -c %Y NEWS.md)
    fi
    export SOURCE_DATE_EPOCH
    for build in "build-deb 022" "build-deb-again 077"; do
        read -r dir mask <<<"$build"
        rm -rf "$dir"
        (
            umask "$mask"
            cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
                -DCMAKE_INSTALL_PREFIX=/usr >/dev/null 2>&1
            cmake --build "$dir" -j"$jobs" >/dev/null
            cd "$dir" && cpack -G DEB >/dev/null
        )
    done
    deb=$(ls build-deb/opus2wav_*.deb)
    cmp "$deb" build-deb-again/opus2wav_*.deb
    unset SOURCE_DATE_EPOCH
    echo "$deb (reproducible: the build under umask 077 is identical)"
    dpkg-deb --field "$deb"
    lintian --fail-on error,warning --allow-root "$deb"
    echo "lintian: no errors, no warnings"
    dpkg -i "$deb" >/dev/null
    /usr/bin/opus2wav "$prefix/check.opus" > "$prefix/packaged.wav" 2>/dev/null
    cmp "$prefix/packaged.wav" "$prefix/built.wav"
    test -f /usr/share/man/man1/opus2wav.1.gz
    zcat /usr/share/doc/opus2wav/NEWS.md.gz | head -n 1 | grep -q '^# opus2wav news'
    dpkg -r opus2wav >/dev/null
    test ! -e /usr/bin/opus2wav
    rm -rf "$prefix"

    echo "== source tarball: sources only; the README's setup and debhelper build work from it"
    (cd build-deb && rm -f ./*-Source.tar.gz && cpack --config CPackSourceConfig.cmake >/dev/null)
    tarball=$(ls build-deb/opus2wav-*-Source.tar.gz)
    if tar -tzf "$tarball" | grep -E '/(build[^/]*|sample|\.git)/'; then
        echo "build outputs or samples in the source tarball" >&2
        exit 1
    fi
    echo "$tarball: $(du -k "$tarball" | cut -f1) KiB, $(tar -tzf "$tarball" | wc -l) entries"
    unpacked=$(mktemp -d)
    tar -xzf "$tarball" -C "$unpacked"
    source_dir=$(echo "$unpacked"/opus2wav-*-Source)
    (cd "$source_dir" && bash tools/setup.sh sample >/dev/null && test -s sample/sample.wav)
    echo "tools/setup.sh sample: ok from the tarball"
    bash tests/recipes/recipe_text.sh README.md debian-folder >"$unpacked/debian-folder.sh"
    if ! (cd "$source_dir" && bash "$unpacked/debian-folder.sh") >"$unpacked/build.log" 2>&1; then
        tail -n 60 "$unpacked/build.log"
        exit 1
    fi
    lintian --fail-on error,warning --allow-root "$unpacked"/opus2wav_*.deb
    dpkg-deb --field "$unpacked"/opus2wav_*_*.deb Depends
    echo "debhelper package from the README's debian/ folder: lintian: no errors, no warnings"
    rm -rf "$unpacked"

    echo "== fuzzing for 60 s"
    fuzz_log=$(mktemp)
    if ! bash tools/fuzz.sh 60 >"$fuzz_log" 2>&1; then
        tail -n 100 "$fuzz_log"
        exit 1
    fi
    grep -E "^(Done|stat::)" "$fuzz_log" || true
    rm -f "$fuzz_log"

    echo "== every test again under AddressSanitizer and UndefinedBehaviorSanitizer"
    cmake -S . -B build-asan -DOPUS2WAV_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug >/dev/null
    cmake --build build-asan -j"$jobs"
    # A sanitizer report must not pass for an expected exit status of 1.
    (cd build-asan && ASAN_OPTIONS=exitcode=86:detect_leaks=1 \
        UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
        ctest --output-on-failure -j"$jobs" -E WindowsStartupUnderWine)

    echo "== every test"
    (cd build && ctest --output-on-failure -j"$jobs")
    ;;
*)
    echo "usage: tools/setup.sh sample|test" >&2
    exit 2
    ;;
esac
