#!/usr/bin/env bash
# Prints the shell text of the block marked <!-- recipe: NAME --> in a
# README, so that scripts run the recipes exactly as they are written there.
#   recipe_text.sh README NAME
set -euo pipefail
text=$(awk -v marker="<!-- recipe: $2 -->" '
    $0 == marker { found = 1; next }
    found == 1 && /^```/ { found = 2; next }
    found == 2 && /^```/ { exit }
    found == 2 { print }' "$1")
if [ -z "$text" ]; then
    echo "the README has no recipe named $2" >&2
    exit 1
fi
printf '%s\n' "$text"
