#!/usr/bin/env bash
# CPU cost of playing a 44.1 kHz stereo 192 kbit/s MP3 through the silent
# output: whole-process user+sys time over a real-time playback, next to
# ffmpeg decoding the same file to nothing as a reference.
#
#   bench/playback_cpu.sh [BUILD_DIR] [SECONDS]
set -euo pipefail

build_dir=${1:-build}
seconds=${2:-20}
player="$build_dir/bench/bench_play_file"
if [[ ! -x $player ]]; then
    echo "missing $player: build the bench_play_file target first" >&2
    exit 1
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
file="$work/music.mp3"
# Pink noise with a tone: a full, busy bitstream like music at 192 kbit/s.
short="$work/short.mp3"
make_mp3() { # duration, file
    ffmpeg -nostdin -loglevel error -y -f lavfi -i "anoisesrc=color=pink:amplitude=0.3:duration=$1" \
        -f lavfi -i "sine=frequency=440:duration=$1" -filter_complex amix=inputs=2 \
        -ac 2 -ar 44100 -c:a libmp3lame -b:a 192k "$2"
}
make_mp3 "$seconds" "$file"
make_mp3 1 "$short"

# Runs a command and prints its user and system CPU seconds and its wall
# seconds (bash's own timer, millisecond resolution).
cpu_times() {
    local TIMEFORMAT='%3U %3S %3R'
    { time "$@" > "$work/out" 2>&1; } 2>&1
}

measure() { # label, audio seconds, command...
    local label=$1 audio=$2
    shift 2
    local times
    times=$(cpu_times "$@") || {
        cat "$work/out" >&2
        return 1
    }
    read -r user sys wall <<< "$times"
    last_cpu=$(awk -v u="$user" -v s="$sys" 'BEGIN { print u + s }')
    awk -v l="$label" -v u="$user" -v s="$sys" -v w="$wall" -v a="$audio" 'BEGIN {
        cpu = u + s
        printf "%-28s cpu %.4f s (user %.4f sys %.4f) wall %.2f s = %.3f%% of one core per second of audio\n",
               l, cpu, u, s, w, 100 * cpu / a }'
    grep -v '^$' "$work/out" | sed 's/^/    /' || true
}

echo "file: $seconds s, 44.1 kHz stereo, 192 kbit/s MP3"
measure "tembrel play (silent out)" "$seconds" "$player" "$file" $((seconds + 1))
full=$last_cpu
measure "tembrel play, 1 s file" 1 "$player" "$short" 2
once=$last_cpu
awk -v f="$full" -v o="$once" -v a="$seconds" 'BEGIN {
    printf "%-28s %.3f%% of one core (whole-process difference of the two runs over %d s)\n",
           "tembrel steady playback", 100 * (f - o) / (a - 1), a - 1 }'
measure "ffmpeg -f null (decode)" "$seconds" ffmpeg -nostdin -loglevel error -i "$file" -f null -
