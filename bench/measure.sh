# Sourced by the benchmark scripts: how one run is measured.

seconds() { # wall seconds of one run, output to /dev/null
    local start end
    start=$(date +%s.%N)
    "$@" >/dev/null 2>&1
    end=$(date +%s.%N)
    awk -v s="$start" -v e="$end" 'BEGIN { printf "%.4f\n", e - s }'
}
median() { printf '%s\n' "$@" | sort -g | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2}'; }
count() { # instructions of one run, counted by callgrind
    valgrind --tool=callgrind --callgrind-out-file=/dev/null "$@" 2>&1 >/dev/null |
        awk '/Collected :/ {print $4}'
}
rss() { /usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -n 1; }
