#!/usr/bin/env bash
# Times the whole program exporting a large drawing: 10 000 pen strokes of 100 samples (or
# the first STROKES of them), fitted into a 1920 x 1080 view and exported at that size. Start-up, reading the file,
# building every outline, rendering and encoding are all in the figures, which the
# in-process benchmarks (pavo_bench) leave out.
#
#   bench/export_process.sh BUILD_DIR [RUNS] [STROKES]
#
# Builds nothing: BUILD_DIR must already hold src/ui/pavo and bench/pavo_make_large_drawing.
# Runs the PNG export RUNS times (3 by default) and the JPEG and GIF exports once each, and
# prints wall seconds and peak resident memory for each run and the best of the PNG runs; then
# times the 256-pixel thumbnail RUNS times (CPU and wall seconds); then the phases of one more
# thumbnail and one more PNG run (start-up, reading, rendering, encoding, writing).
# Peak memory comes from GNU time's -v report where /usr/bin/time is that; otherwise the
# process's VmHWM is sampled from /proc while it runs (PAVO_BENCH_PROC=1 forces this), which
# can miss growth in the last few milliseconds. Timings are only worth comparing on an idle
# machine: the load average is printed first.

set -euo pipefail

usage() {
    echo "usage: $0 BUILD_DIR [RUNS] [STROKES]" >&2
    exit 2
}

[[ $# -ge 1 && $# -le 3 ]] || usage
build_dir=$1
runs=${2:-3}
strokes=${3:-10000}
[[ $runs =~ ^[1-9][0-9]*$ && $strokes =~ ^[1-9][0-9]*$ ]] || usage

pavo=$build_dir/src/ui/pavo
maker=$build_dir/bench/pavo_make_large_drawing
for program in "$pavo" "$maker"; do
    if [[ ! -x $program ]]; then
        echo "$0: $program is missing; build it first (pavo, pavo_make_large_drawing)" >&2
        exit 1
    fi
done

work=$(mktemp -d "${TMPDIR:-/tmp}/pavo-export-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
drawing=$work/drawing.pavo

# GNU time has -v and -o; BusyBox's and the shell keyword do not.
gnu_time=
if [[ ${PAVO_BENCH_PROC:-0} != 1 && -x /usr/bin/time ]] &&
    /usr/bin/time -v -o "$work/probe" true 2>/dev/null && grep -q 'Maximum resident' "$work/probe"; then
    gnu_time=/usr/bin/time
fi

# "h:mm:ss" or "m:ss.ss" as seconds.
clock_seconds() {
    awk -F: '{ s = 0; for (i = 1; i <= NF; i++) s = s * 60 + $i; printf "%.3f", s }' <<<"$1"
}

# Runs the command under GNU time; prints "SECONDS KBYTES".
measure_with_gnu_time() {
    local report=$work/time.txt
    "$gnu_time" -v -o "$report" "$@" || return
    local elapsed kbytes
    elapsed=$(sed -n 's/^[[:space:]]*Elapsed (wall clock) time.*): //p' "$report")
    kbytes=$(sed -n 's/^[[:space:]]*Maximum resident set size (kbytes): //p' "$report")
    echo "$(clock_seconds "$elapsed") $kbytes"
}

# Samples the process's high-water mark until it has been reaped.
watch_peak() {
    local pid=$1 out=$2 peak=0 kb
    while [[ -e /proc/$pid ]]; do
        kb=$(awk '/^VmHWM:/ { print $2 }' "/proc/$pid/status" 2>/dev/null || true)
        [[ -n $kb && $kb -gt $peak ]] && peak=$kb && echo "$peak" >"$out"
        sleep 0.005
    done
}

# Starts the command and its watcher; returns the command's status.
run_watched() {
    "$@" &
    local pid=$!
    watch_peak "$pid" "$work/peak.txt" &
    local watcher=$!
    local status=0
    wait "$pid" || status=$?
    wait "$watcher" || true
    return "$status"
}

# Runs the command with bash's time and the /proc watcher; prints "SECONDS KBYTES".
measure_with_proc() {
    echo 0 >"$work/peak.txt"
    local TIMEFORMAT=%3R status=0
    { time run_watched "$@" 2>>"$work/pavo.err"; } 2>"$work/time.txt" || status=$?
    ((status == 0)) || return "$status"
    echo "$(tail -n 1 "$work/time.txt") $(cat "$work/peak.txt")"
}

# One export; prints "SECONDS KBYTES" or fails with the program's messages.
export_once() {
    local out=$1 figures status=0
    rm -f "$out"
    : >"$work/pavo.err"
    if [[ -n $gnu_time ]]; then
        figures=$(measure_with_gnu_time "$pavo" --export "$out" --width 1920 --height 1080 "$drawing" \
            2>>"$work/pavo.err") || status=$?
    else
        figures=$(measure_with_proc "$pavo" --export "$out" --width 1920 --height 1080 "$drawing") || status=$?
    fi
    # An export that fails, or says it worked but wrote nothing, gives no figures.
    if ((status != 0)) || [[ ! -s $out ]]; then
        echo "$0: exporting $(basename "$out") failed (status $status):" >&2
        cat "$work/pavo.err" >&2
        return 1
    fi
    echo "$figures"
}

# Seconds and kilobytes as the line printed for one run.
describe() {
    awk -v s="$1" -v kb="$2" 'BEGIN { printf "%7.3f s  %7.1f MB", s, kb / 1024 }'
}

echo "load average:$(uptime | sed 's/.*load average[s]*://')"
if [[ -n $gnu_time ]]; then
    echo "measured with: $gnu_time -v"
else
    echo "measured with: bash time, VmHWM sampled from /proc"
fi
"$maker" "$drawing" "$strokes" >/dev/null
echo "drawing: $(stat -c %s "$drawing") bytes ($strokes strokes x 100 samples, view 1920 x 1080)"

best_s=''
best_kb=''
for ((i = 1; i <= runs; i++)); do
    read -r s kb < <(export_once "$work/out.png" || echo fail)
    [[ $s != fail ]] || exit 1
    echo "png run $i: $(describe "$s" "$kb")  ($(stat -c %s "$work/out.png") bytes)"
    if [[ -z $best_s ]] || awk -v a="$s" -v b="$best_s" 'BEGIN { exit !(a < b) }'; then best_s=$s; fi
    if [[ -z $best_kb ]] || ((kb < best_kb)); then best_kb=$kb; fi
done
echo "png best:  $(describe "$best_s" "$best_kb")  (fastest run; smallest peak)"

for format in jpg gif; do
    read -r s kb < <(export_once "$work/out.$format" || echo fail)
    [[ $s != fail ]] || exit 1
    echo "$format once:  $(describe "$s" "$kb")  ($(stat -c %s "$work/out.$format") bytes)"
done

# The file manager's thumbnail of the same drawing at 256 pixels: CPU seconds (user + system,
# the fairer figure on a shared machine) and wall seconds, RUNS times and the best of each.
thumb_cpu=''
thumb_wall=''
for ((i = 1; i <= runs; i++)); do
    TIMEFORMAT='%3U %3S %3R'
    { time "$pavo" --thumbnail "$drawing" "$work/thumb.png" 256 2>>"$work/pavo.err"; } 2>"$work/thumb.txt" ||
        { echo "$0: the thumbnail failed:" >&2; cat "$work/pavo.err" >&2; exit 1; }
    read -r user sys wall <"$work/thumb.txt"
    cpu=$(awk -v u="$user" -v s="$sys" 'BEGIN { printf "%.3f", u + s }')
    echo "thumbnail run $i: $cpu s CPU  $wall s wall"
    if [[ -z $thumb_cpu ]] || awk -v a="$cpu" -v b="$thumb_cpu" 'BEGIN { exit !(a < b) }'; then thumb_cpu=$cpu; fi
    if [[ -z $thumb_wall ]] || awk -v a="$wall" -v b="$thumb_wall" 'BEGIN { exit !(a < b) }'; then thumb_wall=$wall; fi
done
echo "thumbnail best: $thumb_cpu s CPU  $thumb_wall s wall"
echo "phases of one more thumbnail:"
PAVO_TIMINGS=1 "$pavo" --thumbnail "$drawing" "$work/thumb.png" 256 2>&1 >/dev/null | sed -n 's/^pavo: /  /p'

# The phases of one more PNG export, as the program itself times them.
echo "phases of one more png run:"
PAVO_TIMINGS=1 "$pavo" --export "$work/out.png" --width 1920 --height 1080 "$drawing" 2>&1 >/dev/null |
    sed -n 's/^pavo: /  /p'
