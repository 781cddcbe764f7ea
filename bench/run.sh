#!/usr/bin/env bash
# Measures opus2wav against the bare decoding loop (bench/bare_decode.cpp) on
# music-like stereo inputs at 128 kbit/s made by the project's generator:
#   - paired wall-time runs on the 10-minute input (order alternating), median
#     of the per-pair ratios;
#   - instruction counts with callgrind (perf counters are used when the
#     machine has them);
#   - peak RSS for 1-, 10- and 60-minute inputs;
# The audio data must be byte-identical to the baseline's.
#   bench/run.sh [PAIRS]     (default 9 pairs); results also in bench/results.md
# The per-process mode measures what each process costs on short files (voice
# notes converted by the thousand):
#   - 0.5 s, 1 s and 30 s mono clips at 16 kbit/s, paired runs of 40 processes
#     each, order alternating, median of the per-pair ratios;
#   - callgrind instruction counts and peak RSS on the 1 s clip;
#   - the report of a 10 MB comment of control characters against one of
#     plain text of the same size.
#   bench/run.sh per-process [PAIRS]   results also in bench/results-per-process.md
set -euo pipefail
cd "$(dirname "$0")/.."
mode=all
if [ "${1:-}" = per-process ]; then
    mode=per-process
    shift
fi
pairs=${1:-9}
work=build-bench/work
mkdir -p "$work"

packages=(g++ cmake make pkg-config libopusfile-dev libopusenc-dev libgtest-dev python3 valgrind time)
if ! dpkg -s "${packages[@]}" >/dev/null 2>&1; then
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${packages[@]}"
fi

cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DOPUS2WAV_BENCH=ON >/dev/null
cmake --build build-bench -j"$(nproc)" --target opus2wav bare_decode make_opus >/dev/null
o2w=build-bench/opus2wav
bare=build-bench/bench/bare_decode

. bench/measure.sh
many() { # 40 processes one after another
    local i
    for i in $(seq 1 40); do "$@" >/dev/null 2>&1; done
}

if [ "$mode" = per-process ]; then
    rows=""
    for clip in 500 1000 30000; do
        f="$work/voice-${clip}ms.opus"
        [ -s "$f" ] || build-bench/tools/make_opus "$f" ms=$clip ch=1 bitrate=16000 signal=music
        cmp <($o2w "$f" 2>/dev/null | tail -c +45) <($bare "$f")
        ratios=()
        for i in $(seq 1 "$pairs"); do
            if ((i % 2)); then
                b=$(seconds many $bare "$f")
                o=$(seconds many $o2w "$f")
            else
                o=$(seconds many $o2w "$f")
                b=$(seconds many $bare "$f")
            fi
            ratios+=("$(awk -v o="$o" -v b="$b" 'BEGIN { printf "%.5f\n", o / b }')")
        done
        rows+="$(printf '| paired wall-time ratio, %s ms clip, 40 processes (%s pairs) | %.4f | 1 |' \
            "$clip" "$pairs" "$(median "${ratios[@]}")")"$'\n'
    done
    one="$work/voice-1000ms.opus"
    o2w_ins=$(count $o2w "$one")
    bare_ins=$(count $bare "$one")
    rows+="| instructions, 1 s clip (callgrind) | $o2w_ins | $bare_ins |"$'\n'
    rows+="$(awk -v o="$o2w_ins" -v b="$bare_ins" 'BEGIN { printf "| instruction ratio, 1 s clip | %.4f | 1 |", o / b }')"$'\n'
    rows+="| peak RSS, 1 s clip | $(rss $o2w "$one") KiB | $(rss $bare "$one") KiB |"$'\n'
    # The report of a long comment costs about the same whatever it holds.
    plain="$work/comment-plain.opus"
    controls="$work/comment-controls.opus"
    [ -s "$plain" ] || build-bench/tools/make_opus "$plain" ms=500 filltag=COMMENT=61:10000000
    [ -s "$controls" ] || build-bench/tools/make_opus "$controls" ms=500 filltag=COMMENT=01:10000000
    plain_times=()
    control_times=()
    for i in $(seq 1 "$pairs"); do
        plain_times+=("$(seconds $o2w "$plain")")
        control_times+=("$(seconds $o2w "$controls")")
    done
    p=$(median "${plain_times[@]}")
    c=$(median "${control_times[@]}")
    rows+="$(awk -v p="$p" -v c="$c" 'BEGIN { printf "| report of a 10 MB comment: control characters / plain text | %.3f s / %.3f s = %.2f | |", c, p, c / p }')"$'\n'
    {
        echo "Made by \`bench/run.sh per-process $pairs\` on $(date -u +%Y-%m-%d): $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(. /etc/os-release && echo "$PRETTY_NAME"), libopusfile $(pkg-config --modversion opusfile)."
        echo
        echo "| measure | opus2wav | bare loop |"
        echo "|---|---|---|"
        printf '%s' "$rows"
    } | tee bench/results-per-process.md
    exit 0
fi

for minutes in 1 10 60; do
    f="$work/music-${minutes}min.opus"
    [ -s "$f" ] || build-bench/tools/make_opus "$f" ms=$((minutes * 60000)) bitrate=128000 signal=music
done
in10="$work/music-10min.opus"

echo "== byte-identical audio"
$o2w "$in10" 2>/dev/null | tail -c +45 > "$work/o2w.pcm"
$bare "$in10" > "$work/bare.pcm"
cmp "$work/o2w.pcm" "$work/bare.pcm"
identical="yes ($(stat -c %s "$work/bare.pcm") bytes)"
rm -f "$work/o2w.pcm" "$work/bare.pcm"

echo "== $pairs paired runs on the 10-minute input"
ratios=()
o2w_times=()
bare_times=()
for i in $(seq 1 "$pairs"); do
    if ((i % 2)); then
        b=$(seconds $bare "$in10")
        o=$(seconds $o2w "$in10")
    else
        o=$(seconds $o2w "$in10")
        b=$(seconds $bare "$in10")
    fi
    o2w_times+=("$o")
    bare_times+=("$b")
    ratios+=("$(awk -v o="$o" -v b="$b" 'BEGIN { printf "%.5f\n", o / b }')")
done
wall_ratio=$(median "${ratios[@]}")
o2w_wall=$(median "${o2w_times[@]}")
bare_wall=$(median "${bare_times[@]}")

echo "== instructions"
if perf stat -e instructions true 2>&1 | grep -q '<not supported>' || ! command -v perf >/dev/null; then
    counter="callgrind"
else
    count() {
        perf stat -x, -e instructions "$@" 2>&1 >/dev/null | awk -F, '/instructions/ {print $1}'
    }
    counter="perf stat"
fi
o2w_ins=$(count $o2w "$in10")
bare_ins=$(count $bare "$in10")
ins_ratio=$(awk -v o="$o2w_ins" -v b="$bare_ins" 'BEGIN { printf "%.5f\n", o / b }')

echo "== peak RSS"
rss_rows=""
for minutes in 1 10 60; do
    f="$work/music-${minutes}min.opus"
    rss_rows+="| peak RSS, ${minutes}-minute input | $(rss $o2w "$f") KiB | $(rss $bare "$f") KiB |"$'\n'
done

{
    echo "Made by \`bench/run.sh $pairs\` on $(date -u +%Y-%m-%d): $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(free -g | awk '/Mem:/ {print $2}') GiB, $(. /etc/os-release && echo "$PRETTY_NAME"), libopusfile $(pkg-config --modversion opusfile)."
    echo
    echo "| measure | opus2wav | bare loop |"
    echo "|---|---|---|"
    printf '| median wall time, 10-minute input (%s pairs) | %.3f s | %.3f s |\n' "$pairs" "$o2w_wall" "$bare_wall"
    printf '| median of paired wall-time ratios | %.4f | 1 |\n' "$wall_ratio"
    printf '| instructions, 10-minute input (%s) | %s | %s |\n' "$counter" "$o2w_ins" "$bare_ins"
    printf '| instruction ratio | %.4f | 1 |\n' "$ins_ratio"
    printf '%s' "$rss_rows"
    echo "| audio data identical to the bare loop | $identical | |"
} | tee bench/results.md
