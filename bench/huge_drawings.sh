#!/usr/bin/env bash
# Times and measures drawings far larger than anyone draws: 25 000, 50 000 and 100 000 pen
# strokes of 100 samples, and one pen stroke of 250 000, 500 000 and 1 000 000 samples, each
# written, opened, rendered, saved, cleared and undone, exported and reopened by
# pavo_huge_drawing. Prints each run's phases, then a table of the memory the open drawing
# holds (resident after opening, less the empty program's) per stroke or per sample, which
# stays about the same as the drawing grows when memory grows linearly.
#
#   bench/huge_drawings.sh BUILD_DIR [strokes|samples]
#
# Builds nothing: BUILD_DIR must hold bench/pavo_huge_drawing. Needs about 4 GB of memory.

set -euo pipefail
[[ $# -ge 1 && $# -le 2 ]] || { echo "usage: $0 BUILD_DIR [strokes|samples]" >&2; exit 2; }
program=$1/bench/pavo_huge_drawing
[[ -x $program ]] || { echo "$0: $program is missing; build it first" >&2; exit 1; }
work=$(mktemp -d "${TMPDIR:-/tmp}/pavo-huge.XXXXXX")
trap 'rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=offscreen

echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
table=$work/table
for kind in ${2:-strokes samples}; do
    if [[ $kind == strokes ]]; then sizes="25000 50000 100000"; else sizes="250000 500000 1000000"; fi
    for n in $sizes; do
        echo "== $n $kind"
        "$program" "$kind" "$n" "$work" | tee "$work/run"
        awk -v n="$n" -v kind="$kind" '
            $1 == "start" { base = $4 }
            $1 == "open" { held = $4 - base }
            $1 == "reopen" { peak = $7 }
            END { printf "%-8s %8d  held %8.1f MB  %8.2f KB each  peak %8.1f MB\n", kind, n, held, held * 1024 / n, peak }
        ' "$work/run" >> "$table"
    done
done
echo "== memory the open drawing holds"
cat "$table"
