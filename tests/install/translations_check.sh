#!/usr/bin/env bash
# Every text the program translates has an entry in the English tables and a German
# translation, the tables are installed, the German user's guide has every section of the
# English one, and the program speaks German when LANG says so. Prints exactly which keys lack
# an entry, table by table.
#
#   translations_check.sh SOURCE_DIR BUILD_DIR PAVO
set -euo pipefail
source_dir=$1 build=$2 pavo=$3
resources=$source_dir/resources
here=$(dirname "$0")
status=0

# The keys of a table, one a line, read as the program reads them.
keys_of() {
    perl -CSD -ne 'next if /^\s*(#|$)/; next unless /^(.*?)=/; my $k = $1;
                   $k =~ s/^\s+|\s+$//g; $k =~ s/^"(.*)"$/$1/; print "$k\n"' "$1" | sort -u
}
# Reports the keys of the first list that the table lacks.
expect_entries() {  # WHAT TABLE < KEYS
    local missing
    missing=$(comm -23 - <(keys_of "$2"))
    if [[ -n $missing ]]; then
        echo "$2 lacks $1:"; sed 's/^/    /' <<<"$missing"; status=1
    fi
}

export LC_ALL=C.UTF-8
mapfile -t sources < <(find "$source_dir/src" -name '*.cpp' -o -name '*.h')
texts=$(perl "$here/translatable_texts.pl" "${sources[@]}" | sort -u)
[[ -n $texts ]] || { echo "no translated texts found in the sources"; exit 1; }
expect_entries "texts used in the program" "$resources/Localizable.strings" <<<"$texts"
expect_entries "German translations" "$resources/de/Localizable.strings" < <(keys_of "$resources/Localizable.strings")

# Pen type names, submenus and custom parameters of the pen scripts, and the name the
# tablet's eraser end looks for.
pen_texts=$( { echo Eraser
    perl -CSD -ne 'print "$1\n" if /^\s*(?:name|submenu)\s*=\s*"([^"]*)"/;
                   if (/^\s*parameters\s*=\s*\{(.*)\}/) { print "$_\n" for $1 =~ /"([^"]*)"/g }' \
        "$resources"/Pens/*.lua; } | sort -u)
expect_entries "pen script texts" "$resources/Lua.strings" <<<"$pen_texts"
expect_entries "German translations" "$resources/de/Lua.strings" < <(keys_of "$resources/Lua.strings")

# The German guide keeps the English one's anchors, which the program and the pages link to.
anchors() { grep -o 'id="[^"]*"' "$1" | sort -u; }
if ! diff <(anchors "$resources/Help/index.html") <(anchors "$resources/Help/de/index.html") >/dev/null; then
    echo "the German guide's sections differ from the English guide's"; status=1
fi

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
cmake --install "$build" --prefix "$root" >/dev/null
for installed in share/pavo/Localizable.strings share/pavo/de/Localizable.strings \
                 share/pavo/de/Lua.strings share/pavo/Help/de/index.html; do
    [[ -f $root/$installed ]] || { echo "$installed is not installed"; status=1; }
done

# A replay under each language: a pen type answers to its German name only in German and to its
# script's own name in both, and the failed place is reported in the language of the session.
cat >"$root/lang.events" <<'EVENTS'
set pen.type Stift
action setPenType: Pen
place no-such-picture.png
EVENTS
replay() { env LANG="$1" LANGUAGE= LC_ALL= LC_MESSAGES= "$pavo" --replay "$root/lang.events" 2>&1 && echo "exit 0" || echo "exit $?"; }
german=$(replay de_DE.UTF-8)
grep -q 'wurde nicht platziert' <<<"$german" && grep -q '^exit 1$' <<<"$german" ||
    { echo "LANG=de_DE.UTF-8 did not give German:"; echo "$german"; status=1; }
english=$(replay C.UTF-8)
grep -q 'no pen type is named "Stift"' <<<"$english" && grep -q '^exit 2$' <<<"$english" ||
    { echo "LANG=C.UTF-8 did not give English:"; echo "$english"; status=1; }
exit $status
