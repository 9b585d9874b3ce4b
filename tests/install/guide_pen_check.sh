#!/bin/bash
# The worked example of the guide's page on writing pens, copied as a reader would into the
# data folder, loads without an error, draws when chosen, and the guide's indexes link the page.
#   guide_pen_check.sh SOURCE_DIR PAVO
set -u
source_dir=$1 pavo=$2
page=$source_dir/resources/Help/writing-pens.html
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0

mkdir -p "$work/data/Pavo/Pavo/Pens"
# The example is the page's only <pre> block that sets a name.
sed -n '/<pre>name = /,/<\/pre>/p' "$page" | sed -e 's/<pre>//' -e 's/<\/pre>//' \
    -e 's/&lt;/</g' -e 's/&gt;/>/g' -e 's/&amp;/\&/g' >"$work/data/Pavo/Pavo/Pens/beads.lua"
grep -q '^name = "Beads"' "$work/data/Pavo/Pavo/Pens/beads.lua" || { echo "no example found in $page"; exit 1; }

{
    echo "set pen.type Beads"
    echo "down 20 50 0.5"
    for x in 30 40 50 60 70 80 90 100 110 120 130 140 150 160 170 180; do echo "move $x 50 0.8"; done
    echo "up 180 50"
    echo "export beads.png"
    echo "export beads.svg"
} >"$work/s.txt"
errors=$(cd "$work" && XDG_DATA_HOME="$work/data" "$pavo" --replay s.txt 2>&1) ||
    { echo "the example's replay failed: $errors"; status=1; }
[[ -z $errors ]] || { echo "the example reported: $errors"; status=1; }
# Beads are separate circles: more than three of them in the exported vectors.
beads=$(grep -o '<path' "$work/beads.svg" 2>/dev/null | wc -l)
(( beads > 3 )) || { echo "the example drew $beads shapes, not a string of beads"; status=1; }

for index in "$source_dir/resources/Help/index.html" "$source_dir/resources/Help/de/index.html"; do
    grep -q 'href="\(\.\./\)\?writing-pens.html"' "$index" || { echo "$index does not link the page"; status=1; }
done
exit $status
