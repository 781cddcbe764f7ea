#!/usr/bin/env bash
# Times the README's xargs batch recipe against a plain shell loop that
# decodes the same files one after another: 40 files of 30 s of generated
# music-like stereo at 128 kbit/s, the packaged (Release, hardened) build,
# runs interleaved, median of RUNS (default 3) each.
#   bench/batch.sh [RUNS]      results also in bench/results-batch.md
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-3}
cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DOPUS2WAV_BENCH=ON >/dev/null
cmake --build build-bench -j"$(nproc)" --target opus2wav make_opus >/dev/null
work=build-bench/batch
mkdir -p "$work/bin" "$work/files"
ln -sf "$PWD/build-bench/opus2wav" "$work/bin/opus2wav"
export PATH="$PWD/$work/bin:$PATH"
for i in $(seq 1 40); do
    f="$work/files/track $i.opus"
    [ -s "$f" ] || build-bench/tools/make_opus "$f" ms=30000 bitrate=128000 signal=music seed="$i"
done
recipe="$(bash tests/recipes/recipe_text.sh README.md batch-convert)
$(bash tests/recipes/recipe_text.sh README.md batch-xargs)"
loop='for f in ./*.opus; do opus2wav "$f" > "${f%.opus}.wav" 2>/dev/null; done'

seconds() { # the wall time of one bash script run in the files' folder
    local start end
    rm -f "$work"/files/*.wav
    start=$(date +%s.%N)
    (cd "$work/files" && bash -c "$1" >/dev/null 2>&1)
    end=$(date +%s.%N)
    echo "$end - $start" | bc
}
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

recipe_times=() loop_times=()
for _ in $(seq 1 "$runs"); do
    recipe_times+=("$(seconds "$recipe")")
    loop_times+=("$(seconds "$loop")")
done
r=$(printf '%s\n' "${recipe_times[@]}" | median)
l=$(printf '%s\n' "${loop_times[@]}" | median)
{
    echo "Made by \`bench/batch.sh $runs\` on $(date -u +%Y-%m-%d): $(nproc) cores, $(. /etc/os-release && echo "$PRETTY_NAME")."
    echo
    echo "| 40 files of 30 s | median wall time | files per second |"
    echo "|---|---|---|"
    printf '| xargs recipe (-P 2) | %.2f s | %.1f |\n' "$r" "$(echo "40 / $r" | bc -l)"
    printf '| shell loop, one at a time | %.2f s | %.1f |\n' "$l" "$(echo "40 / $l" | bc -l)"
} | tee bench/results-batch.md
