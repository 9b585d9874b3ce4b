#!/bin/bash
# The pavo executable as a shell runs it: exit status 0, 1 for a failed file, 2 for a usage
# error or a malformed script; --export with one side keeps the saved view's proportions,
# rounded half up; PAVO_TIMINGS=1 says where an export's time went; and a shared recording
# writes only inside its own folder (or the one given) unless --allow-any-path trusts it.
#   command_line_check.sh PAVO
set -u
pavo=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
status=0
fail() { echo "$*"; status=1; }

# The width and height a PNG's header gives, or nothing.
png_size() {
    [[ -f $1 ]] || return
    local b
    read -ra b < <(od -An -tu1 -j16 -N8 "$1")
    echo "$(((b[0] << 24) + (b[1] << 16) + (b[2] << 8) + b[3]))x$(((b[4] << 24) + (b[5] << 16) + (b[6] << 8) + b[7]))"
}

# Drawings saved from views of these sizes, one cut short, and a malformed script.
for drawing in "300 201 d" "300 200 e" "3000 100 wide"; do
    read -r width height name <<<"$drawing"
    printf 'size %s %s\nsave %s.pavo\n' "$width" "$height" "$name" >make.txt
    "$pavo" --replay make.txt || { echo "cannot make $name.pavo"; exit 1; }
done
head -c $(($(wc -c <d.pavo) - 20)) d.pavo >damaged.pavo
printf 'down 1 2\nmove 3\n' >bad.txt

# status | what the output (status 0) or the errors say | out.png's size, when written |
# the arguments, between commas
rows=(
    "0|--export OUT [--width W] [--height H] DOCUMENT||--help"
    "0|--print-pdf OUT DOCUMENT||--help"
    "0|Pavo ||--version"
    "0||300x201|--export,out.png,d.pavo"
    "0||100x67|--export,out.png,--width,100,d.pavo"
    "0||150x101|--export,out.png,--width,150,d.pavo"
    "0||149x100|--export,out.png,--height,100,d.pavo"
    "0||5x3|--export,out.png,--height,3,e.pavo"
    "0||1x1|--export,out.png,--width,1,wide.pavo"
    "1|too large||--export,out.png,--height,30000,wide.pavo"
    "1|missing.pavo||--export,out.png,missing.pavo"
    "1|out.bmp||--export,out.bmp,d.pavo"
    "2|--width||--export,out.png,--width,0,d.pavo"
    "2|line 2: ||--replay,bad.txt"
    "0|||--print-pdf,o.pdf,d.pavo"
    "1|missing.pavo||--print-pdf,o.pdf,missing.pavo"
    "1|no folder/o.pdf||--print-pdf,no folder/o.pdf,d.pavo"
    "0||100x67|--thumbnail,d.pavo,out.png,100"
    "0||256x9|--thumbnail,wide.pavo,out.png,256"
    "0||300x200|--thumbnail,e.pavo,out.png,1000"
    "1|damaged.pavo||--thumbnail,damaged.pavo,out.png,100"
    "2|--thumbnail||--thumbnail,d.pavo,out.png,0"
)
for row in "${rows[@]}"; do
    IFS='|' read -r want says size arguments <<<"$row"
    rm -f out.png
    IFS=, read -ra args <<<"$arguments"
    "$pavo" "${args[@]}" >stdout.txt 2>stderr.txt
    got=$?
    ((got == want)) || fail "$arguments: status $got, not $want: $(cat stderr.txt)"
    said=stderr.txt
    ((want == 0)) && said=stdout.txt
    [[ -z $says ]] || grep -qF -- "$says" "$said" || fail "$arguments: does not say '$says': $(cat stdout.txt stderr.txt)"
    [[ $(png_size out.png) == "$size" ]] || fail "$arguments: wrote '$(png_size out.png)', not '$size'"
done
[[ -f o.pdf ]] || fail "--print-pdf wrote no PDF"
[[ -z $(ls out* 2>/dev/null) ]] || fail "a failed write left $(ls out*)"

# Where an export's time went, a phase a line, and only when asked.
"$pavo" --export out.png d.pavo 2>stderr.txt
! grep -q 'pavo: ' stderr.txt || fail "timings without PAVO_TIMINGS: $(cat stderr.txt)"
PAVO_TIMINGS=1 "$pavo" --export out.png d.pavo 2>stderr.txt
for phase in start-up reading rendering encoding writing; do
    grep -q "pavo: $phase " stderr.txt || fail "PAVO_TIMINGS=1 does not time $phase: $(cat stderr.txt)"
done

# A shared recording is someone else's input: refused before anything runs when it would write
# outside its folder, through a link or to an absolute path; reading is free.
mkdir s out elsewhere
ln -s "$work/elsewhere" s/link
ln -s "$work/elsewhere/new.pavo" s/dangling.pavo
cp e.pavo elsewhere/read.pavo
first=$'open ../elsewhere/read.pavo\nsave first.pavo'
# name | status | what it leaves, relative to the folder | flags | lines
rows=(
    "absolute|2|||$first"$'\n'"save $work/elsewhere/a.pavo"
    "climbing|2|||$first"$'\nexport ../elsewhere/b.png'
    "link|2|||$first"$'\nsave link/c.pavo'
    "dangling link|2|||$first"$'\nsave dangling.pavo'
    "absolute trusted|0|elsewhere/a.pavo|--allow-any-path|save $work/elsewhere/a.pavo"
    "climbing trusted|0|elsewhere/b.png|--allow-any-path|export ../elsewhere/b.png"
    "link trusted|0|elsewhere/c.pavo|--allow-any-path|save link/c.pavo"
    "inside|0|s/first.pavo||$first"
    "output folder|0|out/first.pavo|--output-dir $work/out|$first"
)
for row in "${rows[@]}"; do
    IFS='|' read -r -d '' name want written flags lines <<<"$row"
    printf '%s\n' "${lines%$'\n'}" >"s/$name.txt"
    read -ra extra <<<"$flags"
    "$pavo" --replay "s/$name.txt" "${extra[@]}" 2>stderr.txt
    got=$?
    ((got == want)) || fail "$name: status $got, not $want: $(cat stderr.txt)"
    ((want != 2)) || grep -q 'line 3: ' stderr.txt || fail "$name: the refusal names no line: $(cat stderr.txt)"
    made=$(find s out elsewhere -maxdepth 1 -type f \( -name '*.pavo' -o -name '*.png' \) ! -name 'read*' | sort | tr '\n' ' ')
    [[ $made == "${written:+$written }" ]] || fail "$name: left '$made', not '$written'"
    [[ -z $made ]] || rm -f $made
done
exit $status
