#!/bin/sh
# The shipped systemd unit keeps its sandbox: systemd-analyze rates its
# exposure at 3.0 or below, and the unit parses without warnings about
# unknown settings. Exits 77 (skipped) where systemd-analyze is missing.
set -eu
unit_in="$1"
command -v systemd-analyze >/dev/null 2>&1 || exit 77
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
unit="$dir/tembrel-server.service"
sed 's|@CMAKE_INSTALL_FULL_BINDIR@|/usr/bin|' "$unit_in" > "$unit"
systemd-analyze security --offline=true "$unit" | tail -n 1
systemd-analyze security --offline=true --threshold=30 "$unit" > /dev/null
if systemd-analyze verify "$unit" 2>&1 | grep -E 'Unknown (key|section)|Invalid'; then
    echo "the unit has settings systemd does not understand" >&2
    exit 1
fi
