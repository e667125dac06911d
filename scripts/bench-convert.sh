#!/usr/bin/env bash
# Times tavrix-convert against an ffmpeg remux of the same transport stream to
# a program stream, and against cat copying the input, on a recording of
# SIZE_MB megabytes (default 320) made with ffmpeg. Prints the median of ROUNDS
# alternating runs, the ratios and tavrix-convert's peak memory. Not a test.
#
#   scripts/bench-convert.sh [path/to/tavrix-convert]
#
# Everything is made in a temporary folder under /tmp and deleted at the end.
set -euo pipefail

convert=${1:-$(dirname "$0")/../build/tools/tavrix-convert}
size_mb=${SIZE_MB:-320}
rounds=${ROUNDS:-5}
[ -x "$convert" ] || { echo "no tavrix-convert at $convert" >&2; exit 2; }
for tool in ffmpeg /usr/bin/time; do
    command -v "$tool" >/dev/null || { echo "$tool is needed" >&2; exit 2; }
done

work=$(mktemp -d /tmp/tavrix-bench-XXXXXX)
trap 'rm -rf "$work"' EXIT

# 48 Mbit/s constant-rate MPEG-2 video and 192 kbit/s MPEG audio.
seconds=$(( (size_mb * 8 + 47) / 48 ))
echo "making a ${size_mb} MB recording (${seconds} s)..." >&2
ffmpeg -nostdin -v error -f lavfi -i "testsrc2=size=720x576:rate=25" \
    -f lavfi -i "sine=frequency=440:sample_rate=48000" -t "$seconds" \
    -c:v mpeg2video -b:v 48M -minrate 48M -maxrate 48M -bufsize 9M -g 12 \
    -c:a mp2 -b:a 192k -f mpegts "$work/rec.ts"
# The 134-byte recording header: the stream offset (134) sits at bytes 8-9.
{ head -c 8 /dev/zero; printf '\000\206'; head -c 124 /dev/zero; cat "$work/rec.ts"; } \
    >"$work/rec.AVR"
ls -l "$work/rec.ts" "$work/rec.AVR" >&2

# One timed run: prints "seconds peak-kB". The wall time comes from the shell's
# microsecond clock: time's own figure has a resolution of 10 ms, too coarse for
# runs of a tenth of a second. Standard output goes to $stdout_to (default
# /dev/null), so that cat needs no shell of its own to write its file.
timed() {
    sync  # every run starts with nothing left to flush
    local start=$EPOCHREALTIME
    /usr/bin/time -f '%M' -o "$work/time.txt" "$@" >"${stdout_to:-/dev/null}" 2>"$work/err.txt" ||
        { cat "$work/err.txt" >&2; exit 1; }
    local end=$EPOCHREALTIME
    echo "$(awk -v s="$start" -v e="$end" 'BEGIN { printf "%.4f", e - s }') $(cat "$work/time.txt")"
}

run_convert() { timed "$convert" --quiet "$work/rec.AVR" "$work/out.avi"; rm -f "$work/out.avi"; }
run_ffmpeg() {
    timed ffmpeg -nostdin -v error -f mpegts -i "$work/rec.ts" -map 0:v:0 -map 0:a:0 -c copy \
        -f vob -y "$work/out.vob"
    rm -f "$work/out.vob"
}
run_cat() { stdout_to="$work/out.cat" timed cat "$work/rec.AVR"; rm -f "$work/out.cat"; }

# A warm-up pass so every run reads from the page cache, and the inputs
# written out, so that the kernel flushing them does not take a core from
# whichever run it overlaps.
cat "$work/rec.AVR" "$work/rec.ts" >/dev/null
sync
# ffmpeg first, then tavrix-convert and cat back to back, their order swapped
# every round, so that each round's pair ran under the same conditions: the
# machine's speed drifts between minutes by more than the margins measured.
conv=() ffm=() cats=() ratios=() peak=0
for ((i = 1; i <= rounds; i++)); do
    read -r t _ < <(run_ffmpeg); ffm+=("$t")
    if ((i % 2)); then
        read -r t m < <(run_convert); conv+=("$t"); ((m > peak)) && peak=$m
        read -r t _ < <(run_cat); cats+=("$t")
    else
        read -r t _ < <(run_cat); cats+=("$t")
        read -r t m < <(run_convert); conv+=("$t"); ((m > peak)) && peak=$m
    fi
    ratios+=("$(awk -v c="${conv[-1]}" -v k="${cats[-1]}" 'BEGIN { printf "%.3f", c / k }')")
    echo "round $i: tavrix-convert ${conv[-1]} s, ffmpeg ${ffm[-1]} s, cat ${cats[-1]} s" >&2
done

median() { printf '%s\n' "$@" | sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
c=$(median "${conv[@]}") f=$(median "${ffm[@]}") k=$(median "${cats[@]}") r=$(median "${ratios[@]}")
echo "median seconds: tavrix-convert $c, ffmpeg remux $f, cat $k"
awk -v c="$c" -v f="$f" -v k="$k" -v r="$r" 'BEGIN {
    printf "ffmpeg / tavrix-convert = %.2fx (target >= 2)\n", f / c
    printf "tavrix-convert / cat    = %.2fx (target <= 1.3); median of the rounds\x27 own ratios %.2fx\n", c / k, r
}'
echo "tavrix-convert peak memory: $((peak / 1024)) MB ($peak kB; target < 16 MB)"
