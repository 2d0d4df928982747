#!/bin/sh
# Installs the build into a temporary prefix and checks what a desktop, a
# software centre, man and the shells find there.
# Usage: install_test.sh BUILD_DIR
set -eu
build="$1"
prefix="$(mktemp -d)"
trap 'rm -rf "$prefix"' EXIT
app=org.orvanik.TembrelServer
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}
present() {
    [ -f "$prefix/$1" ] || fail "missing $1"
}

cmake --install "$build" --prefix "$prefix" --strip >/dev/null

for program in tembrel-server tembrel-remote; do
    [ -x "$prefix/bin/$program" ] || fail "missing bin/$program"
done

desktop="$prefix/share/applications/$app.desktop"
metainfo="$prefix/share/metainfo/$app.metainfo.xml"
present "share/applications/$app.desktop"
present "share/metainfo/$app.metainfo.xml"
desktop-file-validate "$desktop" || fail "desktop-file-validate $app.desktop"
appstreamcli validate --no-net "$metainfo" >&2 || fail "appstreamcli validate $app.metainfo.xml"

# The icon the desktop entry names, as SVG and in every usual PNG size.
icon="$(sed -n 's/^Icon=//p' "$desktop")"
present "share/icons/hicolor/scalable/apps/$icon.svg"
for size in 16 22 24 32 48 64 128 256 512; do
    png="share/icons/hicolor/${size}x${size}/apps/$icon.png"
    present "$png"
    # Width and height are the big-endian words at bytes 16 and 20 of a PNG.
    dims="$(od -An -tu1 -j16 -N8 "$prefix/$png" 2>/dev/null |
        awk '{ print $1*16777216 + $2*65536 + $3*256 + $4 "x" $5*16777216 + $6*65536 + $7*256 + $8 }')"
    [ "$dims" = "${size}x${size}" ] || fail "$png is $dims, not ${size}x${size}"
done

# One version everywhere: both programs, the man pages, the AppStream release.
server_version="$("$prefix/bin/tembrel-server" --version | sed 's/.* //')"
remote_version="$("$prefix/bin/tembrel-remote" --version | sed 's/.* //')"
[ -n "$server_version" ] || fail "tembrel-server --version printed no version"
[ "$server_version" = "$remote_version" ] ||
    fail "versions differ: server $server_version, remote $remote_version"
grep -q "<release version=\"$server_version\"" "$metainfo" || fail "metainfo release is not $server_version"

for page in tembrel-server tembrel-remote; do
    man="share/man/man1/$page.1"
    present "$man"
    grep -q "$server_version" "$prefix/$man" || fail "$man does not name version $server_version"
    grep -q '^\.SH' "$prefix/$man" || fail "$man is not a man page"
done

for program in tembrel-server tembrel-remote; do
    present "share/bash-completion/completions/$program"
    present "share/zsh/site-functions/_$program"
    present "share/fish/vendor_completions.d/$program.fish"
done

# The bash completion offers a command's arguments.
completions="$(bash -c '
    . "$1/share/bash-completion/completions/tembrel-remote"
    COMP_WORDS=(tembrel-remote --port 6001 vol "")
    COMP_CWORD=4
    _tembrel_remote
    echo "${COMPREPLY[*]}"
    COMP_WORDS=(tembrel-remote sh)
    COMP_CWORD=1
    _tembrel_remote
    echo "${COMPREPLY[*]}"
' sh "$prefix")"
[ "$completions" = "$(printf 'up down mute\nshuffle')" ] ||
    fail "bash completion offered: $completions"

unit="$(find "$prefix" -name tembrel-server.service)"
[ -n "$unit" ] || fail "missing the systemd user unit"
[ -z "$unit" ] || grep -q "^ExecStart=$prefix/bin/tembrel-server " "$unit" ||
    fail "the unit does not start $prefix/bin/tembrel-server"

if [ "$failures" -ne 0 ]; then
    echo "$failures install check(s) failed" >&2
    exit 1
fi
echo "installed and validated in $prefix"
