#!/usr/bin/env bash
# Runs the README's recipes as they are written there: the batch conversions
# (xargs, GNU parallel, GNU parallel across machines through an sshd started
# here on loopback with a throw-away key) over generated files with blanks in
# their names, one damaged file and one with a hole, in an empty folder, under
# SIGTERM and on a full tmpfs; the timed and the background recording of a
# stream from the project's test server; the speech recipe through sox.
#
#   readme_recipes.sh README BIN_DIR MAKE_OPUS HTTP_SERVER [PART]
#
# BIN_DIR holds the opus2wav under test; MAKE_OPUS's folder also holds
# opus_facts, which decodes with the library alone: the WAVs expected are
# built from its samples and a header written here. PART is one of xargs,
# parallel, stopped, speech, remote, record, long (each a test of its own, so that
# they run side by side); all of them without it. long, a capture past
# 3 h 6 min, needs about 2.2 GB of free space and is skipped (status 77)
# where there are less than 3 GB. Exits 77 (skipped) when GNU
# parallel, rsync, sshd or sox is missing.
set -euo pipefail
readme=$1
bin_dir=$2
make_opus=$3
http_server=$4
part=${5:-all}
opus_facts=$(dirname "$make_opus")/opus_facts
here=$(cd "$(dirname "$0")" && pwd)

for tool in parallel rsync ssh ssh-keygen /usr/sbin/sshd sox setsid curl; do
    if ! command -v "$tool" >/dev/null; then
        echo "skipped: $tool is not installed"
        exit 77
    fi
done

work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    if mountpoint -q "$work/full" 2>/dev/null; then umount "$work/full" || true; fi
    for host in host1 host2; do
        if [ -e "$work/ssh_config" ]; then ssh -F "$work/ssh_config" -O exit "$host" 2>/dev/null || true; fi
    done
    if [ -s "$work/sshd.pid" ]; then kill "$(cat "$work/sshd.pid")" 2>/dev/null || true; fi
    if [ -n "${made_run_sshd:-}" ]; then rmdir /run/sshd 2>/dev/null || true; fi
    rm -rf "$work"
}
trap cleanup EXIT
mkdir "$work/bin"
ln -s "$bin_dir/opus2wav" "$work/bin/opus2wav"
export PATH="$work/bin:$PATH"
failures=0
fail() {
    echo "FAIL $*"
    failures=$((failures + 1))
}

# The shell text of the block marked <!-- recipe: NAME --> in the README; a
# batch recipe comes behind the conversion of one file that it uses.
recipe() {
    if [[ $1 == batch-* ]]; then
        bash "$here/recipe_text.sh" "$readme" batch-convert
    fi
    bash "$here/recipe_text.sh" "$readme" "$1"
}

# Three good inputs, two with blanks in their names, one cut off inside its
# first page, one with a page missing (a hole: decoded, with a warning), one
# cut short later (decoded, with a warning), one whose title says "WARNING:"
# (no warning of the program's own), one whose name takes 254 bytes (83
# three-byte characters and .opus), one whose name ends in .OPUS, a
# symbolic link to an input in another folder; two inputs that become one WAV (dup.opus and
# dup.OPUS: both refused), an input whose WAV is the user's own file
# (refused, the file left as it was); a damaged input whose name would
# retitle and clear the terminal, and a cut one with a newline in its name.
fixture() {
    mkdir -p "$1"
    "$make_opus" "$1/note 1.opus" ms=700 >/dev/null
    "$make_opus" "$1/note 10.opus" ms=900 ch=1 >/dev/null
    "$make_opus" "$1/plain.opus" ms=500 >/dev/null
    head -c 30 "$1/plain.opus" >"$1/damaged.opus"
    "$make_opus" "$work/long.opus" ms=3000 pagems=100 >/dev/null
    python3 "$here/../../tools/ogg_rewrite.py" "$work/long.opus" "$1/hole y.opus" drop:10
    head -c 9000 "$work/long.opus" >"$1/cut.opus"
    "$make_opus" "$1/lyrics.opus" ms=300 "tag=TITLE=WARNING: explicit lyrics" >/dev/null
    "$make_opus" "$1/$long_name.opus" ms=300 >/dev/null
    "$make_opus" "$1/LOUD.OPUS" ms=300 >/dev/null
    # Its target lies outside the folder, where a copy of the link itself
    # (rsync -l) would point at nothing on another machine.
    mkdir -p "$1-linked"
    "$make_opus" "$1-linked/target.opus" ms=400 >/dev/null
    ln -s "../$(basename "$1")-linked/target.opus" "$1/link.opus"
    "$make_opus" "$1/dup.opus" ms=5000 >/dev/null
    "$make_opus" "$1/dup.OPUS" ms=300 >/dev/null
    cp "$1/plain.opus" "$1/mine.opus"
    echo "the user's own" >"$1/mine.wav"
    cp "$1/damaged.opus" "$1/$hostile.opus"
    cp "$1/cut.opus" "$1/$newline.opus"
}
hostile=$'bad\e]0;x\a\e[2J'
newline=$'cut\nshort'
long_name=$(printf '\xe9\x9f\xb3%.0s' $(seq 1 83))

# The WAV file expected for an input: the samples as the library alone
# decodes them, behind a header written here (16-bit stereo at 48 kHz, exact
# sizes).
expected_wav() {
    "$opus_facts" decode "$1" "$work/expected.pcm" >/dev/null 2>&1 || return 1
    python3 - "$work/expected.pcm" "$work/expected.wav" <<'PY'
import struct, sys
pcm = open(sys.argv[1], "rb").read()
header = (b"RIFF" + struct.pack("<I", 36 + len(pcm)) + b"WAVEfmt " +
          struct.pack("<IHHIIHH", 16, 1, 2, 48000, 192000, 4, 16) + b"data" + struct.pack("<I", len(pcm)))
open(sys.argv[2], "wb").write(header + pcm)
PY
}

# Header sizes that match the file: RIFF = size - 8, data = size - 44.
true_header() {
    local size riff data
    size=$(stat -c %s "$1")
    riff=$(od -An -tu4 -j4 -N4 "$1" | tr -d ' ')
    data=$(od -An -tu4 -j40 -N4 "$1" | tr -d ' ')
    [ "$size" -gt 44 ] && [ "$riff" -eq $((size - 8)) ] && [ "$data" -eq $((size - 44)) ]
}

check_batch() {
    local name=$1 expected=$2 dir="$work/$1" status=0 before=$failures
    local script
    script=$(recipe "$name")
    # Every remote job through ssh, none on this machine (":"), so that each
    # file takes the path through rsync.
    script=${script//2\/host2,:/2\/host2}
    fixture "$dir"
    (cd "$dir" && bash -c "$script") >"$work/$name.out" 2>"$work/$name.err" || status=$?
    [ "$status" -eq "$expected" ] || fail "$name: status $status, expected $expected"
    for base in "note 1" "note 10" plain "hole y" cut lyrics "$long_name" "$newline"; do
        expected_wav "$dir/$base.opus"
        cmp -s "$dir/$base.wav" "$work/expected.wav" || fail "$name: $base.wav differs or is missing"
    done
    expected_wav "$dir/LOUD.OPUS"
    cmp -s "$dir/LOUD.wav" "$work/expected.wav" || fail "$name: LOUD.OPUS was not converted"
    expected_wav "$dir-linked/target.opus"
    cmp -s "$dir/link.wav" "$work/expected.wav" || fail "$name: the symbolic link was not converted"
    [ ! -e "$dir/damaged.wav" ] || fail "$name: the failed output was left behind"
    [ ! -e "$dir/dup.wav" ] || fail "$name: dup.opus or dup.OPUS became dup.wav"
    [ "$(cat "$dir/mine.wav")" = "the user's own" ] || fail "$name: the user's mine.wav was replaced"
    if [ -n "$(find "$dir" -mindepth 1 ! -iname '*.opus' ! -name '*.wav' ! -name convert.log -print -quit)" ]; then
        fail "$name: something was left behind: $(ls "$dir")"
    fi
    # Every line that names a file, as the program shows names.
    for line in "./damaged.opus: Failed to open file './damaged.opus': -132" \
        "./bad?]0;x??[2J.opus: Failed to open file './bad?]0;x??[2J.opus': -132" \
        "./dup.opus: not converted: another input also becomes ./dup.wav" \
        "./dup.OPUS: not converted: another input also becomes ./dup.wav" \
        "./mine.opus: not converted: ./mine.wav is there already (OPUS2WAV_REPLACE=1 replaces it)"; do
        grep -qxF "$line" "$work/$name.err" || fail "$name: no line '$line': $(cat "$work/$name.err")"
    done
    if LC_ALL=C grep -q $'[\x01-\x08\x0b-\x1f\x7f]' "$work/$name.err"; then
        fail "$name: a control character on standard error: $(cat -v "$work/$name.err")"
    fi
    sed -n '/^Decoded with warnings (holes, gaps, a length mismatch or a cut-short input):$/,$p' \
        "$work/$name.err" | LC_ALL=C sort | tr '\n' '|' |
        grep -qxF "./cut.opus|./cut?short.opus|./hole y.opus|Decoded with warnings (holes, gaps, a length mismatch or a cut-short input):|" ||
        fail "$name: not exactly the cut files and the file with a hole listed at the end: $(cat "$work/$name.err")"
    if [ -e "$dir/convert.log" ]; then
        grep -qP '\tconvert \./plain\.opus$' "$dir/convert.log" ||
            fail "$name: the job log does not name the job readably: $(cat "$dir/convert.log")"
    fi

    # Told to replace, the user's file goes; the inputs that collide stay
    # refused (in a folder of their own, so that nothing else runs again).
    mkdir "$dir-replace"
    mv "$dir/mine.opus" "$dir/dup.opus" "$dir/dup.OPUS" "$dir-replace/"
    cp "$dir/mine.wav" "$dir-replace/"
    (cd "$dir-replace" && OPUS2WAV_REPLACE=1 bash -c "$script") >/dev/null 2>&1 || true
    expected_wav "$dir-replace/mine.opus"
    cmp -s "$dir-replace/mine.wav" "$work/expected.wav" || fail "$name: OPUS2WAV_REPLACE=1 did not replace mine.wav"
    [ ! -e "$dir-replace/dup.wav" ] || fail "$name: with OPUS2WAV_REPLACE=1, dup.opus or dup.OPUS became dup.wav"

    # An empty folder: nothing is run and nothing is made.
    mkdir "$dir-empty"
    status=0
    (cd "$dir-empty" && bash -c "$script") >/dev/null 2>&1 || status=$?
    [ "$status" -eq 0 ] || fail "$name: status $status in an empty folder"
    [ -z "$(ls -A "$dir-empty")" ] || fail "$name: made $(ls -A "$dir-empty") in an empty folder"
    [ "$failures" -ne "$before" ] || echo "ok   $name"
}

wanted() { [ "$part" = all ] || [ "$part" = "$1" ]; }

if wanted xargs; then
check_batch batch-xargs 123
fi
if wanted parallel; then
check_batch batch-parallel 5
fi

if wanted stopped; then
# SIGTERM to a running batch's process group: whatever has a final name is
# whole, no .part file is left, and nothing in the temporary folder.
before=$failures
dir="$work/stopped"
mkdir -p "$dir"
for i in 1 2 3 4; do "$make_opus" "$dir/track $i.opus" ms=120000 >/dev/null; done
# One input is a FIFO that holds the start of a file and is kept open: the
# batch cannot be over before the signal, however fast or slow it runs.
mkfifo "$dir/track 0.opus"
exec 3<>"$dir/track 0.opus"
head -c 20000 "$dir/track 1.opus" >&3
script=$(recipe batch-xargs)
mkdir "$work/tmp"
(cd "$dir" && TMPDIR="$work/tmp" exec setsid bash -c "$script") >/dev/null 2>&1 &
batch=$!
for _ in $(seq 1 200); do
    [ "$(du -sk "$dir" | cut -f1)" -gt 8000 ] && break
    sleep 0.05
done
kill -TERM -- -"$batch" 2>/dev/null || fail "batch-xargs under SIGTERM: the batch ended before the signal"
wait "$batch" || true
exec 3>&-
# Every process of the batch's session has ended, its cleanup included.
for _ in $(seq 1 200); do pgrep -s "$batch" >/dev/null || pgrep -f "$dir" >/dev/null || break; sleep 0.05; done
for wav in "$dir"/*.wav; do
    [ -e "$wav" ] || continue
    expected_wav "${wav%.wav}.opus"
    cmp -s "$wav" "$work/expected.wav" || fail "batch-xargs under SIGTERM: $wav is partial"
done
! ls "$dir" | grep -q '\.part$' || fail "batch-xargs under SIGTERM: left $(ls "$dir")"
[ -z "$(ls -A "$work/tmp")" ] || fail "batch-xargs under SIGTERM: left $(ls -A "$work/tmp") in the temporary folder"
[ "$failures" -ne "$before" ] || echo "ok   batch-xargs under SIGTERM"

# A full disk: every run fails, every failure line names its input, and the
# status says so. Only root can mount the tmpfs.
if [ "$(id -u)" -eq 0 ]; then
    before=$failures
    dir="$work/full"
    mkdir -p "$dir"
    mount -t tmpfs -o size=400k tmpfs "$dir"
    for i in 1 2 3; do "$make_opus" "$dir/track $i.opus" ms=5000 >/dev/null; done
    status=0
    (cd "$dir" && bash -c "$script") >/dev/null 2>"$work/full.err" || status=$?
    [ "$status" -eq 123 ] || fail "batch-xargs on a full disk: status $status, expected 123"
    grep -q "No space left on device" "$work/full.err" || fail "batch-xargs on a full disk: no error shown"
    if grep -v "^\./track [123]\.opus: " "$work/full.err" | grep -q .; then
        fail "batch-xargs on a full disk: a line without its file: $(cat "$work/full.err")"
    fi
    ! ls "$dir" | grep -q '\.part$\|\.wav$' || fail "batch-xargs on a full disk: left $(ls "$dir")"
    umount "$dir"
    [ "$failures" -ne "$before" ] || echo "ok   batch-xargs on a full disk"
fi

fi

if wanted speech; then
# A 16 kHz mono file for a speech recogniser, through sox.
before=$failures
mkdir -p "$work/speech"
"$make_opus" "$work/speech/note.opus" ms=1500 >/dev/null
(cd "$work/speech" && bash -c "$(recipe speech-16k)") 2>/dev/null || fail "speech-16k: status $?"
[ "$(soxi -r "$work/speech/note16k.wav" 2>/dev/null)" = 16000 ] &&
    [ "$(soxi -c "$work/speech/note16k.wav" 2>/dev/null)" = 1 ] &&
    [ "$(soxi -s "$work/speech/note16k.wav" 2>/dev/null)" = 24000 ] ||
    fail "speech-16k: not 1.5 s of 16 kHz mono"
[ "$failures" -ne "$before" ] || echo "ok   speech-16k"

# The manual page's example of a pipe into sox, as written there but for the
# URL: from a server on loopback, through curl; sox must not warn.
before=$failures
python3 "$http_server" "$work/speech/note.opus" >"$work/note-server" &
pids+=($!)
for _ in $(seq 1 50); do [ -s "$work/note-server" ] && break; sleep 0.1; done
example=$(grep '| sox' "$(dirname "$readme")/docs/opus2wav.1.in" | sed 's/\\-/-/g')
example=${example//https:\/\/example.org\/a.opus/http://127.0.0.1:$(cut -d' ' -f1 "$work/note-server")/a.opus}
(cd "$work/speech" && bash -c "$example") 2>"$work/sox.err" || fail "manual's sox example: status $?"
! grep -q 'sox WARN' "$work/sox.err" || fail "manual's sox example warns: $(grep 'sox WARN' "$work/sox.err")"
[ "$(soxi -s "$work/speech/out.flac" 2>/dev/null)" = 72000 ] ||
    fail "manual's sox example: not the 1.5 s of the input"
[ "$failures" -ne "$before" ] || echo "ok   the manual page's sox example"

fi

if wanted remote; then
# Two "machines", host1 and host2, both this one through an sshd on a free
# loopback port; the remote shell finds the opus2wav under test first.
ssh-keygen -q -t ed25519 -N '' -f "$work/host_key"
ssh-keygen -q -t ed25519 -N '' -f "$work/user_key"
cp "$work/user_key.pub" "$work/authorized_keys"
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
cat >"$work/sshd_config" <<CONFIG
Port $port
ListenAddress 127.0.0.1
HostKey $work/host_key
AuthorizedKeysFile $work/authorized_keys
PasswordAuthentication no
KbdInteractiveAuthentication no
UsePAM no
PermitRootLogin prohibit-password
StrictModes no
# GNU parallel opens many connections at once; on a busy machine sshd's
# default would drop some of them before they log in.
MaxStartups 100:30:200
PidFile $work/sshd.pid
# SHLVL=1: bash, started by sshd, skips the user's .bashrc (whatever it
# sets up would slow every job down).
SetEnv PATH=$work/bin:/usr/local/bin:/usr/bin:/bin TMPDIR=${TMPDIR:-/tmp} SHLVL=1
CONFIG
cat >"$work/ssh_config" <<CONFIG
Host host1 host2
  HostName 127.0.0.1
  Port $port
  User $(id -un)
  IdentityFile $work/user_key
  IdentitiesOnly yes
  StrictHostKeyChecking no
  UserKnownHostsFile /dev/null
  LogLevel ERROR
  BatchMode yes
  # One connection a host, shared by every job and transfer of the batch.
  ControlMaster auto
  ControlPath $work/c-%n
  ControlPersist 60
CONFIG
# sshd wants its privilege separation folder; one made here goes again.
if [ "$(id -u)" -eq 0 ] && [ ! -d /run/sshd ]; then
    mkdir /run/sshd
    made_run_sshd=yes
fi
/usr/sbin/sshd -f "$work/sshd_config" -E "$work/sshd.log"
# The first login to each host opens the connection that the jobs share.
for host in host1 host2; do
    for _ in $(seq 1 50); do
        ssh -F "$work/ssh_config" "$host" true 2>/dev/null && break
        sleep 0.1
    done
done
export PARALLEL_SSH="ssh -F $work/ssh_config"
check_batch batch-remote 5
grep -q "host1\|host2" "$work/batch-remote/convert.log" || fail "batch-remote: no job ran remotely"

fi

if wanted record; then
# Recording: a live stream that stalls after its first pages, as a station
# that keeps the connection open does.
"$make_opus" "$work/live.opus" ms=10000 pagems=100 >/dev/null
python3 "$http_server" "$work/live.opus" --live --stall 40000 >"$work/server" &
pids+=($!)
for _ in $(seq 1 50); do [ -s "$work/server" ] && break; sleep 0.1; done
url="http://127.0.0.1:$(cut -d' ' -f1 "$work/server")/live.opus"

mkdir "$work/record"
before=$failures
script=$(recipe record-timeout)
script=${script//https:\/\/radio.example\/live.opus/$url}
script=${script//timeout 1h/timeout 2}
status=0
(cd "$work/record" && bash -c "$script") 2>/dev/null || status=$?
[ "$status" -eq 124 ] || fail "record-timeout: status $status, expected 124"
true_header "$work/record/show.wav" || fail "record-timeout: the header is not true"
[ "$failures" -ne "$before" ] || echo "ok   record-timeout"

before=$failures
script=$(recipe background-capture)
script=${script//https:\/\/radio.example\/live.opus/$url}
script=${script//sleep 600/sleep 2}
status=0
(cd "$work/record" && bash -c "$script") || status=$?
[ "$status" -eq 143 ] || fail "background-capture: status $status, expected 143"
true_header "$work/record/capture.wav" || fail "background-capture: the header is not true"
grep -q "Interrupted: played" "$work/record/capture.log" || fail "background-capture: no summary"
[ "$failures" -ne "$before" ] || echo "ok   background-capture"
fi

if wanted long; then
# A capture past 3 h 6 min through sox into Wave64: 10 min of silence played
# 19 times over by the page rewriter (3 h 10 min), as a file for the URL.
free_kb=$(df -Pk "$work" | awk 'NR == 2 { print $4 }')
if [ "$free_kb" -lt $((3 * 1024 * 1024)) ]; then
    echo "skipped: long-capture needs about 2.2 GB of free space; $((free_kb / 1024)) MB are free in $work"
    [ "$part" = long ] && exit 77
else
    before=$failures
    mkdir "$work/long"
    "$make_opus" "$work/long/ten.opus" ms=600000 signal=silence frame=120 ch=1 bitrate=6000 >/dev/null
    python3 "$here/../../tools/ogg_rewrite.py" "$work/long/ten.opus" "$work/long/live.opus" repeat:19
    script=$(recipe long-capture)
    script=${script//https:\/\/radio.example\/live.opus/live.opus}
    (cd "$work/long" && bash -c "$script") 2>"$work/long.err" || fail "long-capture: status $?"
    decoded=$(tr '\r' '\n' <"$work/long.err" | sed -n 's/^Done: played .* (\([0-9]*\) samples @ 48 kHz)\.$/\1/p')
    kept=$(soxi -s "$work/long/capture.w64" 2>/dev/null || echo none)
    echo "long-capture: the program decoded ${decoded:-no} samples; capture.w64 holds $kept"
    [ "${decoded:-0}" -gt 536870902 ] || fail "long-capture: not past 3 h 6 min: $(tail -c 300 "$work/long.err")"
    [ "$kept" = "$decoded" ] || fail "long-capture: capture.w64 holds $kept samples, the program decoded $decoded"
    rm -rf "$work/long"
    [ "$failures" -ne "$before" ] || echo "ok   long-capture"
fi
fi

[ "$failures" -eq 0 ]
