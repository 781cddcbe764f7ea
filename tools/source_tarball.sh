#!/usr/bin/env bash
# Makes the canonical source tarball, OUTDIR/opus2wav-VERSION.tar.gz, the
# same byte for byte for the same sources: names sorted, owner and group 0,
# every time the commit's (or, outside a repository, NEWS.md's), gzip without
# a name or time. It holds the files the repository tracks (outside one,
# everything but build folders, samples and caches).
#   tools/source_tarball.sh [OUTDIR]      (default: the current folder)
set -euo pipefail
out=$(cd "${1:-.}" && pwd)
cd "$(dirname "$0")/.."
version=$(sed -n 's/^  VERSION \([0-9][0-9.]*\)$/\1/p' CMakeLists.txt | head -n 1)
name=opus2wav-$version
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    stamp=$(git log -1 --format=%ct)
    list() { git ls-files; }
else
    stamp=$(stat -c %Y NEWS.md)
    list() {
        find . -type f ! -path './build*' ! -path './sample/*' ! -path '*/__pycache__/*' \
            ! -path './.git/*' ! -name '*.wav' ! -name '*.opus' | sed 's|^\./||'
    }
fi
list | LC_ALL=C sort |
    tar --create --no-recursion --files-from=- --transform "s|^|$name/|" \
        --sort=name --owner=0 --group=0 --numeric-owner --mode='go-w,a+rX' \
        --mtime="@$stamp" --format=gnu |
    gzip -9 -n >"$out/$name.tar.gz"
echo "$out/$name.tar.gz"
