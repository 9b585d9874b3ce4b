#!/usr/bin/env bash
# The manual page renders without a warning, names every option of the program's usage text,
# and is installed, as is the thumbnailer entry that runs the option it describes.
#
#   man_page_check.sh PAVO MAN_PAGE BUILD_DIR
set -euo pipefail
pavo=$1 page=$2 build=$3
status=0

warnings=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
if [[ -n $warnings ]]; then
    echo "man reports on $page:"; echo "$warnings"; status=1
fi

# In groff source every dash of an option is written \-.
options=$("$pavo" --help | grep -oE '(^|[ [|])--?[a-z][a-z-]*' | sed 's/^[ [|]//' | sort -u)
[[ -n $options ]] || { echo "no options in the usage text"; exit 1; }
for option in $options; do
    grep -qF -- "${option//-/\\-}" "$page" || { echo "$page does not mention $option"; status=1; }
done

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
cmake --install "$build" --prefix "$root" >/dev/null
for installed in share/man/man1/pavo.1 share/thumbnailers/pavo.thumbnailer; do
    [[ -f $root/$installed ]] || { echo "$installed is not installed"; status=1; }
done
grep -qx 'Exec=pavo --thumbnail %i %o %s' "$root/share/thumbnailers/pavo.thumbnailer" ||
    { echo "the thumbnailer entry does not run pavo --thumbnail"; status=1; }
exit $status
