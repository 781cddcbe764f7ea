#!/usr/bin/env bash
# Compares opus2wav with the tools a user would otherwise pick to turn Ogg
# Opus into WAV (ffmpeg, opus-tools' opusdec, sox), each where it is
# installed, on the inputs of bench/run.sh: paired wall-time runs (order
# alternating, median of the per-pair ratios of the peer to opus2wav) on the
# 10-minute input and on a batch of 40 one-second clips, and peak RSS on the
# 10-minute input. Each writes a WAV file to standard output, to /dev/null.
#   bench/peers.sh [PAIRS]      (default 5 pairs); results also in bench/results-peers.md
set -euo pipefail
cd "$(dirname "$0")/.."
pairs=${1:-5}
work=build-bench/work
mkdir -p "$work"
cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DOPUS2WAV_BENCH=ON >/dev/null
cmake --build build-bench -j"$(nproc)" --target opus2wav make_opus >/dev/null
o2w=$PWD/build-bench/opus2wav
long="$work/music-10min.opus"
clip="$work/voice-1000ms.opus"
[ -s "$long" ] || build-bench/tools/make_opus "$long" ms=600000 bitrate=128000 signal=music
[ -s "$clip" ] || build-bench/tools/make_opus "$clip" ms=1000 ch=1 bitrate=16000 signal=music

. bench/measure.sh
batch() { # 40 processes one after another: batch TOOL
    local i
    for i in $(seq 1 40); do decode "$1" "$clip"; done
}
decode() { # decode TOOL INPUT: a WAV file on standard output
    case $1 in
    opus2wav) "$o2w" "$2" 2>/dev/null ;;
    ffmpeg) ffmpeg -nostdin -v error -i "$2" -f wav - ;;
    opusdec) opusdec --quiet "$2" - ;;
    sox) sox -q "$2" -t wav - ;;
    esac
}
paired() { # paired PEER WHAT: median of peer/opus2wav over the pairs
    local ratios=() i o p
    for i in $(seq 1 "$pairs"); do
        if ((i % 2)); then
            p=$(seconds "${@:2}" "$1")
            o=$(seconds "${@:2}" opus2wav)
        else
            o=$(seconds "${@:2}" opus2wav)
            p=$(seconds "${@:2}" "$1")
        fi
        ratios+=("$(awk -v o="$o" -v p="$p" 'BEGIN { printf "%.5f\n", p / o }')")
    done
    median "${ratios[@]}"
}
one_long() { decode "$1" "$long"; }

rows="| opus2wav | 1 | 1 | $(rss "$o2w" "$long") KiB |"$'\n'
for peer in ffmpeg opusdec sox; do
    if ! command -v "$peer" >/dev/null || ! decode "$peer" "$clip" >/dev/null 2>&1; then
        echo "$peer: not installed or cannot read Ogg Opus, left out" >&2
        continue
    fi
    case $peer in
    ffmpeg) version=$(ffmpeg -version 2>&1 | head -n 1 | sed 's/ Copyright.*//') ;;
    *) version=$("$peer" --version 2>&1 | head -n 1 | sed 's/^sox: *//') ;;
    esac
    long_ratio=$(paired "$peer" one_long)
    batch_ratio=$(paired "$peer" batch)
    peak=$(rss bash -c "$(declare -f decode); o2w=$o2w; decode $peer $long")
    rows+="| $peer ($version) | $(printf '%.2f' "$long_ratio") | $(printf '%.2f' "$batch_ratio") | $peak KiB |"$'\n'
done
{
    echo "Made by \`bench/peers.sh $pairs\` on $(date -u +%Y-%m-%d): $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(. /etc/os-release && echo "$PRETTY_NAME")."
    echo
    echo "| tool | wall time, 10-minute input, times opus2wav's | wall time, 40 one-second clips, times opus2wav's | peak RSS, 10-minute input |"
    echo "|---|---|---|---|"
    printf '%s' "$rows"
} | tee bench/results-peers.md
