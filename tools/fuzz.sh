#!/usr/bin/env bash
# Builds the libFuzzer target with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer, seeds it from the project's own generator and
# runs it for the given number of seconds (default 60).
#   tools/fuzz.sh [SECONDS] [extra libFuzzer options...]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
jobs=$(nproc 2>/dev/null || echo 2)

cmake -S . -B build-fuzz -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DOPUS2WAV_FUZZ=ON -DOPUS2WAV_SANITIZE=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-fuzz -j"$jobs" --target fuzz_opus2wav make_opus

seeds=build-fuzz/seeds
corpus=build-fuzz/corpus
rm -rf "$seeds"
mkdir -p "$seeds" "$corpus"
gen=build-fuzz/tools/make_opus
rewrite="python3 tools/ogg_rewrite.py"
$gen "$seeds/plain.opus" ms=200 pagems=40
$gen "$seeds/mono.opus" ms=100 ch=1 rate=44100 frame=10
$gen "$seeds/chained.opus" ms=100 pagems=40 tag=TITLE=a -- ms=60 ch=1 -- ms=40 ch=6
$gen "$seeds/pictures.opus" ms=60 pic=png pic=palette pic=url pic=bad \
    pictag=metadata_block_picture tag=X=y
$gen "$seeds/long_frames.opus" ms=360 frame=120
$rewrite "$seeds/plain.opus" "$seeds/hole.opus" drop:3
$rewrite "$seeds/plain.opus" "$seeds/gap.opus" granule-gap:3:960
$rewrite "$seeds/plain.opus" "$seeds/cut.opus" truncate:-300
$rewrite "$seeds/plain.opus" "$seeds/flipped.opus" corrupt:700
# Positions near 2^63 - 1, for the progress and continuity arithmetic.
$rewrite "$seeds/plain.opus" "$seeds/huge_granule.opus" granule-gap:3:9223372036854700000
$rewrite "$seeds/chained.opus" "$seeds/suffix.opus" suffix:7 input-rate:0
$rewrite "$seeds/chained.opus" "$seeds/badlink.opus" poke:6:0:88
$rewrite "$seeds/plain.opus" "$seeds/noskip.opus" pre-skip:0 granule-add:-48
: > "$seeds/empty.opus"

# Standard error carries the program's report; libFuzzer keeps its own.
export LSAN_OPTIONS=suppressions=$PWD/tests/fuzz/lsan.supp
build-fuzz/tests/fuzz/fuzz_opus2wav "$corpus" "$seeds" -max_total_time="$seconds" \
    -close_fd_mask=2 -print_final_stats=1 -timeout=20 -rss_limit_mb=1024 \
    -artifact_prefix=build-fuzz/ "$@"
