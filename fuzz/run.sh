#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (address and undefined-behaviour sanitizers, release
# optimisation) and runs them. Exits non-zero on any finding; the input is kept in
# build/fuzz/findings/. The corpus grows in build/fuzz/corpus/TARGET across runs.
#   fuzz/run.sh TARGET SECONDS    one target (xlsx ods xls csv number-format naming text-forms writers)
#   fuzz/run.sh --all SECONDS     each target in turn, SECONDS each
#   fuzz/run.sh --ci              each target for a few seconds (about a minute in all)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${SHEETFRAY_FUZZ_BUILD:-$root/build/fuzz}
shared=${SHEETFRAY_SHARED_TESTDATA:-$root/../shared/testdata}
targets=(xlsx ods xls csv number-format naming text-forms writers)

usage() { sed -n '2,7p' "$0" >&2; exit 2; }
[ $# -ge 1 ] || usage
case $1 in
--ci) selected=("${targets[@]}"); seconds=8 ;;
--all) [ $# -eq 2 ] || usage; selected=("${targets[@]}"); seconds=$2 ;;
*) [ $# -eq 2 ] || usage; selected=("$1"); seconds=$2 ;;
esac
for target in "${selected[@]}"; do
    [[ " ${targets[*]} " == *" $target "* ]] || { echo "unknown target: $target" >&2; usage; }
done

clang=$(command -v clang++-14 || command -v clang++ || true)
[ -n "$clang" ] || { echo "fuzz/run.sh: clang++ is missing (tools/install-deps.sh)" >&2; exit 1; }
if [ ! -f "$build/CMakeCache.txt" ]; then
    CC=${clang/clang++/clang} CXX=$clang cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DSHEETFRAY_FUZZ=ON -DSHEETFRAY_TESTS=OFF -DSHEETFRAY_BENCH=OFF >/dev/null
fi
mkdir -p "$build"
if ! cmake --build "$build" -j2 --target sheetfray-fuzz-package-text \
    $(printf 'fuzz-%s ' "${selected[@]}") >"$build/build.log" 2>&1; then
    tail -n 40 "$build/build.log" >&2
    exit 1
fi

# Seeds: the hand-made ones, the test workbooks of the target's format (zip packages also as
# package text, which the fuzzer can change without breaking checksums), past findings.
seed() {
    local target=$1 dir=$2 file name
    rm -rf "$dir"; mkdir -p "$dir"
    [ -d "fuzz/seeds/$target" ] && cp fuzz/seeds/"$target"/* "$dir"/
    for file in tests/data/regressions/"$target"-*; do
        [ -f "$file" ] && cp "$file" "$dir"/
    done
    local patterns=()
    case $target in
    xlsx) patterns=('*.xlsx' '*.xlsm' '*.xltx' '*.xltm') ;;
    ods) patterns=('*.ods' '*.fods') ;;
    xls) patterns=('*.xls') ;;
    csv) patterns=('*.csv') ;;
    esac
    for pattern in "${patterns[@]}"; do
        for file in tests/data/$pattern "$shared"/workbooks/$pattern; do
            [ -f "$file" ] || continue
            # Large seeds slow every mutation; the small ones cover the same records.
            [ "$(stat -c %s "$file")" -le 65536 ] || continue
            name=$(basename "$file")
            case $target in
            xlsx | ods)
                cp "$file" "$dir/$name"
                "$build/fuzz/sheetfray-fuzz-package-text" "$file" >"$dir/$name.txt" 2>/dev/null \
                    || rm -f "$dir/$name.txt"
                ;;
            csv) { printf '\0'; cat "$file"; } >"$dir/$name" ;;
            *) cp "$file" "$dir/$name" ;;
            esac
        done
    done
    if [ "$target" = number-format ]; then
        # Eight bytes of value (zero), then a code; each distinct code of the shared cases once.
        local i=0 code
        while IFS= read -r code; do
            { head -c 8 /dev/zero; printf '%s' "$code"; } >"$dir/code-$i"
            i=$((i + 1))
        done < <(cut -f1 "$shared"/numfmt/*.tsv 2>/dev/null | grep -v '^format$' | sort -u | head -n 400)
    fi
}

status=0
for target in "${selected[@]}"; do
    corpus=$build/corpus/$target
    seeds=$build/seeds/$target
    findings=$build/findings
    mkdir -p "$corpus" "$findings"
    seed "$target" "$seeds"
    options=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=262144
             -print_final_stats=1 -artifact_prefix="$findings/$target-")
    [ -f "fuzz/$target.dict" ] && options+=(-dict="fuzz/$target.dict")
    echo "== fuzz-$target for ${seconds}s"
    log=$build/fuzz-$target.log
    if ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1 \
        UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        "$build/fuzz/fuzz-$target" "${options[@]}" "$corpus" "$seeds" >"$log" 2>&1; then
        grep -E '^stat::number_of_executed_units|^stat::peak_rss_mb' "$log" || true
    else
        status=1
        echo "fuzz-$target found a fault; input and log:" >&2
        ls "$findings"/"$target"-* >&2 || true
        grep -E 'ERROR|SUMMARY|==[0-9]+==' "$log" | head -n 20 >&2 || true
        tail -n 40 "$log" >&2
    fi
done
exit $status
