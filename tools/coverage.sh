#!/usr/bin/env bash
# Measures how much of the program the test suite reaches: a coverage build
# (gcov counters, written out also by runs that end by a signal or _exit),
# every test but the Windows check, then gcovr over src/ only, per file, with
# lines and branches. CI does not run it. The tests lower only the soft file
# size limit, which a coverage build lifts before it writes its counters.
#   tools/coverage.sh        report in build-coverage/coverage.txt
set -euo pipefail
cd "$(dirname "$0")/.."
if ! command -v gcovr >/dev/null; then
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends gcovr
fi
cmake -S . -B build-coverage -DOPUS2WAV_COVERAGE=ON -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build build-coverage -j"$(nproc)" >/dev/null
find build-coverage -name '*.gcda' -delete
(cd build-coverage && ctest -j"$(nproc)" -E WindowsStartupUnderWine >/dev/null) ||
    echo "some tests failed; the figures below are still those of the runs" >&2
# Branches the compiler adds for exception unwinding are left out: src/ throws none.
# Only the coverage build is searched for counters: other build folders of a
# used clone hold a Wine prefix whose drive links lead to /.
report() {
    gcovr --root . --object-directory build-coverage --filter 'src/' --exclude 'src/coverage/coverage_dump.h' \
        --exclude-throw-branches "$@" build-coverage >/dev/null
}
report --txt build-coverage/coverage.txt --branches
report --txt build-coverage/lines.txt
cat build-coverage/lines.txt build-coverage/coverage.txt
