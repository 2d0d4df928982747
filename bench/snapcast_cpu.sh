#!/usr/bin/env bash
# CPU cost of playing into a Snapcast pipe against the silent output, in the
# same run: a 44.1 kHz stereo 192 kbit/s MP3 played in real time through
# each output, with a reader draining the pipe as snapserver would. Each
# output is timed over a long and a 1 s run and the difference is taken, so
# start-up costs cancel out; the rounds alternate the outputs and the medians
# are compared.
#
#   bench/snapcast_cpu.sh [BUILD_DIR] [SECONDS] [ROUNDS]
#
# READER=snapserver reads the pipe with a real snapserver (loopback ports,
# no HTTP) instead of cat; FIFO_DIR puts the pipe in another folder (a pipe
# on a disk file system has its times updated on every write, one on tmpfs
# such as /run or /dev/shm does not).
set -euo pipefail

build_dir=${1:-build}
seconds=${2:-20}
rounds=${3:-3}
target_percent=0.05
player="$build_dir/bench/bench_play_file"
if [[ ! -x $player ]]; then
    echo "missing $player: build the bench_play_file target first" >&2
    exit 1
fi

work=$(mktemp -d)
reader= fifo_dir=
cleanup() {
    [[ -n $reader ]] && kill "$reader" 2> /dev/null
    rm -rf "$work" "${fifo_dir:-}"
}
trap cleanup EXIT

make_mp3() { # duration, file
    ffmpeg -nostdin -loglevel error -y -f lavfi -i "anoisesrc=color=pink:amplitude=0.3:duration=$1" \
        -f lavfi -i "sine=frequency=440:duration=$1" -filter_complex amix=inputs=2 \
        -ac 2 -ar 44100 -c:a libmp3lame -b:a 192k "$2"
}
make_mp3 "$seconds" "$work/long.mp3"
make_mp3 1 "$work/short.mp3"

fifo_dir=$(mktemp -d "${FIFO_DIR:-$work}/snapcast-bench.XXXXXX")
fifo="$fifo_dir/snapfifo"
mkfifo "$fifo"
if [[ ${READER:-cat} == snapserver ]]; then
    # Snapcast's pipe reader, as in a real set-up: it takes the data in real
    # time on its own timer.
    : > "$work/snapserver.conf"
    snapserver --config "$work/snapserver.conf" --server.datadir="$work" \
        --stream.source="pipe://$fifo?name=Tembrel" --stream.port=$((20000 + RANDOM % 20000)) \
        --stream.bind_to_address=127.0.0.1 --tcp.port=$((40000 + RANDOM % 20000)) \
        --tcp.bind_to_address=127.0.0.1 --http.enabled=false --logging.sink=null &
    reader=$!
    sleep 1
else
    # A reader that drains the pipe for the whole run: opened for reading and
    # writing, so it never sees the end of the pipe between two players.
    exec 3<> "$fifo"
    cat <&3 > /dev/null &
    reader=$!
    exec 3>&-
fi
echo "reader: ${READER:-cat}; pipe in $(df --output=fstype "$fifo_dir" | tail -1)"

cpu_seconds() { # command... ; prints user+sys CPU seconds of the command
    local TIMEFORMAT='%3U %3S'
    local times
    times=$({ time "$@" > "$work/out" 2>&1; } 2>&1) || {
        cat "$work/out" >&2
        return 1
    }
    awk '{ print $1 + $2 }' <<< "$times"
}

# Percent of one core per second of steady playback through one output.
steady_percent() { # audio flags...
    local long short
    long=$(cpu_seconds "$player" "$work/long.mp3" $((seconds + 1)) "$@")
    grep -q "ended yes" "$work/out" || { cat "$work/out" >&2; return 1; }
    short=$(cpu_seconds "$player" "$work/short.mp3" 2 "$@")
    awk -v l="$long" -v s="$short" -v a="$seconds" 'BEGIN { printf "%.4f", 100 * (l - s) / (a - 1) }'
}

median() {
    tr ' ' '\n' | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

echo "file: $seconds s, 44.1 kHz stereo, 192 kbit/s MP3; $rounds rounds; % of one core"
silent_all=() pipe_all=() extra_all=()
for ((round = 1; round <= rounds; round++)); do
    silent=$(steady_percent --audio null)
    pipe=$(steady_percent --audio "snapcast:$fifo")
    grep -q "a reader opened" "$work/out" || { echo "the pipe had no reader" >&2; exit 1; }
    extra=$(awk -v s="$silent" -v p="$pipe" 'BEGIN { printf "%.4f", p - s }')
    silent_all+=("$silent") pipe_all+=("$pipe") extra_all+=("$extra")
    printf "round %d: silent output %.4f%%, snapcast pipe %.4f%%, difference %+.4f%%\n" \
        "$round" "$silent" "$pipe" "$extra"
done
silent=$(median <<< "${silent_all[*]}")
pipe=$(median <<< "${pipe_all[*]}")
extra=$(median <<< "${extra_all[*]}")
awk -v s="$silent" -v p="$pipe" -v e="$extra" -v t="$target_percent" 'BEGIN {
    printf "median silent output            %.4f%% of one core\n", s
    printf "median snapcast pipe            %.4f%% of one core\n", p
    printf "median of the rounds difference %+.4f%% of one core (target: at most +%.2f%%)\n", e, t
}'

# The pipe output's own added work (resampling and writing), measured on its
# thread alone: far less noisy than whole processes on a busy machine.
micro="$build_dir/bench/bench_snapcast_pipe"
if [[ -x $micro ]]; then
    "$micro" --benchmark_filter=BM_ConvertAndWritePeriod --benchmark_repetitions=3 \
        --benchmark_report_aggregates_only=true 2> /dev/null |
        awk '/_median/ { for (i = 1; i <= NF; i++) if ($i ~ /^cpu_us_per_audio_s=/) {
                 split($i, kv, "="); v = kv[2]
                 if (v ~ /k$/) { sub(/k$/, "", v); v *= 1000 }
                 printf "added work on the output thread %+.4f%% of one core (%.0f us per second of audio)\n",
                        v / 10000, v } }'
fi
