#!/usr/bin/env bash
# Every text the window marks for translation has a finished translation in each .ts file:
# lupdate gathers the texts of today's sources into a copy of the file, which must then hold
# nothing unfinished and nothing the sources no longer use.
# Usage: check-translations.sh LUPDATE SOURCE_DIR TS_FILE...
set -euo pipefail
lupdate=$1 source=$2
shift 2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
# Prints the first line of the source text of each message whose translation matches.
list() {
    awk -v mark="$1" '
        /<source>/ { sub(/^ *<source>/, ""); first = $0 }
        $0 ~ mark { sub(/<\/source>.*/, "", first); print "  " first }
    ' "$2"
}
for ts in "$@"; do
    copy="$work/$(basename "$ts")"
    cp "$ts" "$copy"
    "$lupdate" -silent -locations none "$source/window" -ts "$copy" >/dev/null
    if grep -q 'type="unfinished"' "$copy"; then
        echo "$(basename "$ts"): texts without a translation (run the update_translations target):"
        list 'type="unfinished"' "$copy"
        status=1
    fi
    if grep -q 'type="vanished"\|type="obsolete"' "$copy"; then
        echo "$(basename "$ts"): translations of texts no longer used:"
        list 'type="(vanished|obsolete)"' "$copy"
        status=1
    fi
done
exit $status
