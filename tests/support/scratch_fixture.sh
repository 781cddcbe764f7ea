#!/bin/sh
# Makes or removes the run's scratch folder (the generated inputs, every
# test's TMPDIR) and the folder for what a server reads and writes as the
# user it drops to (Icecast started as root runs as nobody). That one lies
# in /tmp, mode 0755, so that nobody can reach it wherever the clone lies
# (a clone under /root is closed to every other user); its name is kept in
# the scratch folder as servers-root.
#   scratch_fixture.sh made|removed SCRATCH
set -eu
scratch=$2
if [ -f "$scratch/servers-root" ]; then
    rm -rf "$(cat "$scratch/servers-root")"
fi
rm -rf "$scratch"
if [ "$1" = made ]; then
    mkdir -p "$scratch/tmp"
    servers=$(mktemp -d /tmp/opus2wav-servers.XXXXXX)
    chmod 755 "$servers"
    echo "$servers" >"$scratch/servers-root"
fi
