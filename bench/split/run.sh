#!/usr/bin/env bash
# Times sheetfray-split in every mode on generated workbooks of 10 columns, .xlsx, .csv, .ods
# and .xls, against the floor measured in the same run (getting at the sheet data plus writing
# the same files), and reports each run's peak resident memory (/usr/bin/time -f %M).
# Usage: bench/split/run.sh [BUILD_DIR] [ROWS...]   (defaults: build/release, 100000 1000000)
# FORMATS (default "xlsx csv ods xls") picks the inputs. The .ods and .xls are the .xlsx saved
# by the office suite (soffice, headless), once, into CACHE (default BUILD_DIR/bench-cache);
# an .xls holds at most 65,536 rows, so it is measured once, at that many rows or fewer.
# Works in /dev/shm. A cell split of more rows than CELL_FILES_ROWS (default 200000) would
# write millions of files: it runs with --dry-run (names only, no files), for its memory,
# into DRY_OUTPUT (default /var/tmp), whose free space must seem enough for the files.
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build/release}
shift || true
rows_list=${*:-100000 1000000}
cell_files_rows=${CELL_FILES_ROWS:-200000}
dry_output=${DRY_OUTPUT:-/var/tmp}
formats=${FORMATS:-xlsx csv ods xls}
cache=${CACHE:-$build/bench-cache}
if [ ! -x "$build/cli/sheetfray-split" ]; then
    cmake --preset release -DSHEETFRAY_BENCH=ON -DSHEETFRAY_TESTS=ON >/dev/null
    cmake --build "$build" -j2 --target sheetfray-split sheetfray-bench-workbook sheetfray-bench-floor
fi
split="$build/cli/sheetfray-split"
floor="$build/bench/split/sheetfray-bench-floor"
work=$(mktemp -d /dev/shm/sheetfray-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT

now() { date +%s.%N; }
has() { case " $formats " in *" $1 "*) return 0 ;; *) return 1 ;; esac; }

# The workbook of ROWS rows by 10 columns as FORMAT, saved by the office suite once.
saved_as() {
    local rows=$1 format=$2 saved="$cache/book$1.$2"
    if [ ! -s "$saved" ]; then
        mkdir -p "$cache"
        "$build/bench/split/sheetfray-bench-workbook" "$cache/book$rows.xlsx" "$rows" 10 >/dev/null
        HOME="$work/home" soffice "-env:UserInstallation=file://$work/profile" --headless \
            --convert-to "$format" --outdir "$cache" "$cache/book$rows.xlsx" >/dev/null 2>&1
        [ -s "$saved" ] || { echo "the office suite did not save $saved" >&2; exit 1; }
    fi
    echo "$saved"
}
elapsed() { echo "$2 - $1" | bc -l; }

printf '| rows | input | mode | files | sheetfray s | peak MB | floor s | ratio to floor |\n'
printf '|---|---|---|---|---|---|---|---|\n'
for rows in $rows_list; do
    book="$work/book$rows.xlsx"
    "$build/bench/split/sheetfray-bench-workbook" "$book" "$rows" 10
    # A text workbook of as many rows by 10 columns of words, integers and decimals.
    csv="$work/book$rows.csv"
    python3 - "$csv" "$rows" <<'PY'
import random, sys
random.seed(7)
words = ["word%d" % i for i in range(500)]
with open(sys.argv[1], "w") as out:
    for r in range(int(sys.argv[2])):
        out.write(",".join([random.choice(words), str(random.randint(-100000, 100000)),
                            "%.2f" % random.uniform(-1e4, 1e4), random.choice(words), "",
                            str(r), "%.2f" % random.random(), random.choice(words),
                            str(random.randint(0, 9)), "x"]) + "\n")
PY
    inputs=()
    has xlsx && inputs+=("$book")
    has csv && inputs+=("$csv")
    has ods && inputs+=("$(saved_as "$rows" ods)")
    xls_rows=$((rows < 65536 ? rows : 65536))
    if has xls && [ "${xls_done:-}" != "$xls_rows" ]; then
        inputs+=("$(saved_as "$xls_rows" xls)")
        xls_done=$xls_rows
    fi
    for input in "${inputs[@]}"; do
        input_rows=$rows
        [ "${input##*.}" != xls ] || input_rows=$xls_rows
        for mode in row column cell; do
            dry=()
            if [ "$mode" = cell ] && [ "$input_rows" -gt "$cell_files_rows" ]; then
                dry=(--dry-run)
            fi
            out="$work/out"
            rm -rf "$out" "$work/floor"
            mkdir "$out" "$work/floor"
            t0=$(now)
            target=$out
            [ ${#dry[@]} -eq 0 ] || target=$dry_output
            /usr/bin/time -o "$work/peak" -f %M "$split" --each "$mode" "${dry[@]}" \
                --output "$target" "$input" >/dev/null 2>&1 || true
            peak=$(tail -1 "$work/peak")
            t1=$(now)
            files=$(find "$out" -type f | wc -l)
            took=$(elapsed "$t0" "$t1")
            floor_s=-; ratio=-
            if [ ${#dry[@]} -eq 0 ]; then
                "$floor" pack "$out" "$work/manifest"
                rm -rf "$out"
                t2=$(now)
                "$floor" inflate "$input" >/dev/null
                "$floor" write "$work/manifest" "$work/floor"
                t3=$(now)
                floor_s=$(printf '%.2f' "$(elapsed "$t2" "$t3")")
                ratio=$(printf '%.2f' "$(echo "$took / $(elapsed "$t2" "$t3")" | bc -l)")
            else
                files="(dry run)"
            fi
            printf '| %s | %s | %s | %s | %.2f | %d | %s | %s |\n' "$input_rows" "${input##*.}" "$mode" \
                "$files" "$took" "$((peak / 1024))" "$floor_s" "$ratio"
        done
    done
done
