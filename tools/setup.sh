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
# sox), builds the package with CPack and with debhelper, and compiles the
# sources for i386 (g++-multilib).
if [ "$mode" = test ]; then
    packages+=(g++-mingw-w64-x86-64 wine64 clang libclang-rt-14-dev clang-format groff-base
        icecast2 ezstream nginx-light dpkg-dev file lintian mandoc debhelper
        parallel rsync openssh-client openssh-server sox curl g++-multilib)
fi
if ! dpkg -s "${packages[@]}" >/dev/null 2>&1; then
    # The servers the tests start on loopback themselves (nginx, sshd,
    # Icecast) must not start as system services when their packages are
    # installed: Debian's policy-rc.d says no for the time of the install.
    # It is removed afterwards only if it was put there here.
    policy=/usr/sbin/policy-rc.d
    own_policy=
    if [ ! -e "$policy" ]; then
        printf '#!/bin/sh\nexit 101\n' >"$policy"
        chmod 755 "$policy"
        own_policy=yes
        trap 'rm -f "$policy"' EXIT
    fi
    # The list is empty, not an error, when none of them runs (pgrep would
    # fail the script then, under pipefail).
    services() { ps -e -o pid=,comm= | awk '$2 ~ /^(nginx|sshd|icecast2)$/ { print $1 }' | sort | tr '\n' ' '; }
    running_before=$(services)
    # Their maintainer scripts also enable them at boot, past policy-rc.d:
    # what this install enabled (and only that) is disabled again below, so
    # that the next boot starts no server on the machine's interfaces.
    boot_links() { find /etc/systemd/system /etc/rc[0-6S].d -type l 2>/dev/null | sort; }
    links_before=$(boot_links)
    # Another apt or dpkg run (unattended upgrades on a fresh machine) is
    # waited for rather than failed on.
    apt_wait=(-o DPkg::Lock::Timeout=600)
    apt-get "${apt_wait[@]}" update -qq
    DEBIAN_FRONTEND=noninteractive apt-get "${apt_wait[@]}" install -y -qq \
        --no-install-recommends "${packages[@]}"
    if [ -n "$own_policy" ]; then
        rm -f "$policy"
        trap - EXIT
    fi
    enabled_here=$(comm -13 <(echo "$links_before") <(boot_links))
    units=$(echo "$enabled_here" | sed -n 's|^/etc/systemd/system/[^/]*[.]wants/||p' | sort -u)
    scripts=$(echo "$enabled_here" | sed -n 's|^/etc/rc[0-6S][.]d/S[0-9]*||p' | sort -u)
    for unit in $units; do
        if command -v systemctl >/dev/null; then systemctl disable --quiet "$unit" 2>/dev/null || true; fi
    done
    for name in $scripts; do
        if [ -e "/etc/init.d/$name" ]; then update-rc.d "$name" disable >/dev/null 2>&1 || true; fi
    done
    # Without systemctl, the links the install made are removed as they are.
    comm -13 <(echo "$links_before") <(boot_links) | { grep '[.]wants/' || true; } | xargs -r rm -f
    still=$(comm -13 <(echo "$links_before") <(boot_links) | grep -E '[.]wants/|/rc[0-6S][.]d/S' || true)
    if [ -n "$still" ]; then
        echo "the install enabled at boot what could not be disabled: $still" >&2
        exit 1
    fi
    if [ -n "$units$scripts" ]; then
        echo "disabled at boot, as the install had enabled them:" $units $scripts
    fi
    if [ "$(services)" != "$running_before" ]; then
        echo "the install started a service: $(services) (was: $running_before)" >&2
        exit 1
    fi
fi

# Tests and the tools that make their inputs are asked for explicitly, so a
# build folder first configured without them (the install steps of the README)
# cannot leave them out here.
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON >/dev/null

case "$mode" in
sample)
    # Only the program and the generator: the sample is decoded in well
    # under a minute once the packages are in.
    cmake --build build -j"$jobs" --target opus2wav make_opus
    mkdir -p sample
    build/tools/make_opus sample/sample.opus ms=4000 tag=TITLE=First tag=ARTIST=opus2wav pic=png \
        -- ms=3000 ch=1 rate=44100 tag=TITLE=Second
    build/opus2wav sample/sample.opus > sample/sample.wav
    echo "Decoded sample/sample.opus into sample/sample.wav"
    ;;
test)
    cmake --build build -j"$jobs"
    # Everything the checks below make outside the build folders lies here,
    # and goes when the command ends, however it ends.
    scratch=$(mktemp -d)
    trap 'rm -rf "$scratch"' EXIT
    # And what the tools make in the temporary folder (lintian's databases
    # stay there otherwise).
    export TMPDIR=$scratch
    echo "== version: NEWS's top entry is the version and the release date CMake builds"
    version=$(sed -n 's/^  VERSION \([0-9][0-9.]*\)$/\1/p' CMakeLists.txt | head -n 1)
    date=$(sed -n 's/^set(OPUS2WAV_RELEASE_DATE \([0-9-]*\))$/\1/p' CMakeLists.txt)
    top=$(grep -m 1 '^## ' NEWS.md)
    if [ -z "$version" ] || [ -z "$date" ] || [ "$top" != "## $version ($date)" ]; then
        echo "NEWS.md begins with '$top', but CMake builds version '$version' of '$date'" >&2
        exit 1
    fi
    grep -q "^\.TH OPUS2WAV 1 $date \"opus2wav $version\"" build/opus2wav.1
    grep -q "^opus2wav ($version) " build/changelog
    grep -q "^ -- .*  $(date -u -R -d "$date")\$" build/changelog
    echo "$version ($date)"

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

    echo "== i386: the sources compile for a 32-bit system, with 64-bit file offsets"
    # Linking would need Debian's i386 packages of the libraries; compiling
    # needs only the installed headers, and a 32-bit off_t fails it.
    rm -rf build-i386
    cmake -S . -B build-i386 -DCMAKE_C_FLAGS=-m32 -DCMAKE_CXX_FLAGS=-m32 -DBUILD_TESTING=OFF \
        -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build build-i386 -j"$jobs" --target o2w_driver >/dev/null
    make -C build-i386 src/driver/main.cpp.o >/dev/null
    echo "every file of src/ compiled with -m32"

    echo "== install into a temporary prefix"
    prefix=$(mktemp -d -p "$scratch")
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

    echo "== Debian package: build under umask 022 and 077, lintian, unpacked and run"
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
    # Checked in a throw-away root: the packages installed on this machine
    # stay as they are.
    root=$(mktemp -d -p "$scratch")
    dpkg-deb -x "$deb" "$root"
    "$root/usr/bin/opus2wav" "$prefix/check.opus" > "$prefix/packaged.wav" 2>/dev/null
    cmp "$prefix/packaged.wav" "$prefix/built.wav"
    test -f "$root/usr/share/man/man1/opus2wav.1.gz"
    zcat "$root/usr/share/doc/opus2wav/NEWS.md.gz" | head -n 1 | grep -q '^# opus2wav news'
    # The copyright file names this version, and the distributor's contact
    # and homepage: here the placeholders that say they are not set.
    copyright=$root/usr/share/doc/opus2wav/copyright
    grep -qx 'Upstream-Contact: Maintainer not set <maintainer-not-set@opus2wav.invalid>' "$copyright"
    grep -qx "Source: https://homepage-not-set.opus2wav.invalid/ (opus2wav-$version.tar.gz, made by tools/source_tarball.sh)" "$copyright"
    if grep -nE '@[A-Z_]+@|VERSION' "$copyright"; then
        echo "an unfilled field in the package's copyright file" >&2
        exit 1
    fi
    zcat "$root/usr/share/doc/opus2wav/changelog.gz" | grep -q "^ -- .*  $(date -u -R -d "$date")\$"
    echo "copyright: $(grep -m 1 '^Source: ' "$copyright")"
    rm -rf "$root"
    rm -rf "$prefix"

    echo "== source tarball: the same when made twice; sources only; the README's setup and debhelper build work from it"
    rm -f build-deb/opus2wav-*.tar.gz
    tarball=$(bash tools/source_tarball.sh build-deb)
    mkdir -p build-deb/again
    cmp "$tarball" "$(bash tools/source_tarball.sh build-deb/again)"
    if tar -tzf "$tarball" | grep -E '/(build[^/]*|sample|\.git)/'; then
        echo "build outputs or samples in the source tarball" >&2
        exit 1
    fi
    echo "$tarball (made twice, identical): $(du -k "$tarball" | cut -f1) KiB, $(tar -tzf "$tarball" | wc -l) entries"
    unpacked=$(mktemp -d -p "$scratch")
    tar -xzf "$tarball" -C "$unpacked"
    source_dir=$(echo "$unpacked"/opus2wav-*)
    (cd "$source_dir" && bash tools/setup.sh sample >/dev/null && test -s sample/sample.wav)
    echo "tools/setup.sh sample: ok from the tarball"
    # The debhelper recipe in a used clone (build folders and a sample in
    # it, which must not reach the package), under a strict umask: the
    # source package must not carry its modes. From the unpacked tarball
    # when there is no repository to clone.
    packaging=$(mktemp -d -p "$scratch")
    if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
        git clone -q . "$packaging/clone"
    else
        mkdir "$packaging/clone"
        tar -xzf "$tarball" -C "$packaging/clone" --strip-components=1
    fi
    mkdir -p "$packaging/clone/build-release" "$packaging/clone/sample"
    cp build/opus2wav.1 "$packaging/clone/build-release/"
    printf 'RIFF' >"$packaging/clone/sample/sample.wav"
    bash tests/recipes/recipe_text.sh README.md debian-folder >"$packaging/debian-folder.sh"
    if ! (umask 077 && cd "$packaging/clone" && bash "$packaging/debian-folder.sh") >"$packaging/build.log" 2>&1; then
        tail -n 60 "$packaging/build.log"
        exit 1
    fi
    grep -E '^100% tests passed, 0 tests failed out of [0-9]+' "$packaging/build.log"
    if grep -i 'warning' "$packaging/build.log" | grep -i 'maintainer\|homepage'; then
        echo "the debhelper build warns about the placeholder maintainer" >&2
        exit 1
    fi
    ls "$packaging"/opus2wav_*.dsc "$packaging"/opus2wav_*.debian.tar.xz "$packaging"/opus2wav_*.orig.tar.gz
    if tar -tvJf "$packaging"/opus2wav_*.debian.tar.xz | grep -vE '^(-rw-r--r--|-rwxr-xr-x|drwxr-xr-x) '; then
        echo "the source package carries the modes of a umask 077 build" >&2
        exit 1
    fi
    dpkg-deb --fsys-tarfile "$packaging"/opus2wav_*_*.deb | tar -xO ./usr/share/doc/opus2wav/copyright |
        grep -qx 'Upstream-Contact: Jane Doe <jane@example.net>'
    echo "debhelper source package from a used clone under umask 077: modes 644/755; copyright with the distributor's contact"
    lintian --fail-on error,warning --allow-root "$packaging"/opus2wav_*.deb
    if dpkg-deb -c "$packaging"/opus2wav_*.deb | grep -q '/doc/opus2wav/LICENSE'; then
        echo "LICENSE in the doc folder of the debhelper package" >&2
        exit 1
    fi
    dpkg-deb --field "$packaging"/opus2wav_*_*.deb Depends
    echo "debhelper source and binary packages from the README's debian/ folder: lintian: no errors, no warnings"
    rm -rf "$packaging"
    rm -rf "$unpacked"

    echo "== fuzzing for 60 s"
    fuzz_log=$(mktemp -p "$scratch")
    if ! bash tools/fuzz.sh 60 >"$fuzz_log" 2>&1; then
        tail -n 100 "$fuzz_log"
        exit 1
    fi
    grep -E "^(Done|stat::)" "$fuzz_log" || true
    rm -f "$fuzz_log"

    echo "== every test again under AddressSanitizer and UndefinedBehaviorSanitizer (but the slow ones)"
    cmake -S . -B build-asan -DOPUS2WAV_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug >/dev/null
    cmake --build build-asan -j"$jobs"
    # A sanitizer report must not pass for an expected exit status of 1.
    # Leaks inside libopusfile after a failed open (no handle is given back
    # to free) are the library's: tests/fuzz/lsan.supp says which.
    suppressions=$PWD/tests/fuzz/lsan.supp
    (cd build-asan && ASAN_OPTIONS=exitcode=86:detect_leaks=1 \
        LSAN_OPTIONS=suppressions=$suppressions:print_suppressions=0 \
        UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
        ctest --output-on-failure -j"$jobs" -E WindowsStartupUnderWine -LE slow)

    echo "== every test"
    (cd build && ctest --output-on-failure -j"$jobs")
    ;;
*)
    echo "usage: tools/setup.sh sample|test" >&2
    exit 2
    ;;
esac
