#!/usr/bin/env bash
# Builds the fuzz targets with clang into <build-dir>/fuzz and runs each for a bounded number of
# executions over its seed corpus and its regression inputs. Exit code 77 means clang is missing.
# FUZZ_RUNS overrides the executions per target (default 20000).
set -euo pipefail
build=${1:?usage: run-fuzz-tests.sh <build-dir>}
here=$(cd "$(dirname "$0")" && pwd)
runs=${FUZZ_RUNS:-20000}
compiler=$(command -v clang++-14 || command -v clang++ || true)
if [ -z "$compiler" ]; then
    echo "clang is not installed: fuzz targets skipped"
    exit 77
fi

out="$build/fuzz"
cmake -S "$here" -B "$out" -DCMAKE_CXX_COMPILER="$compiler" >/dev/null
cmake --build "$out" -j "${TAVREX_JOBS:-2}" >"$out.log" 2>&1 || { tail -n 50 "$out.log"; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
for target in fuzz_pdu_request fuzz_pdu_response fuzz_rtu_frame fuzz_tcp_frame fuzz_tcp_stream fuzz_arch_records \
        fuzz_arch_answers fuzz_sites_table fuzz_xml_import; do
    regressions=("$here/regressions/$target"/*)
    if [ -e "${regressions[0]}" ]; then
        echo "== $target: ${#regressions[@]} regression inputs"
        if ! "$out/$target" "${regressions[@]}" >"$work/$target.log" 2>&1; then
            tail -n 30 "$work/$target.log"
            status=1
        fi
    fi
    echo "== $target: $runs runs"
    mkdir -p "$work/$target"
    # New inputs go to the scratch directory, never into the committed corpus.
    # An XML document needs room; frames and records fit in 300 bytes.
    maxlen=300
    [ "$target" = fuzz_xml_import ] && maxlen=4096
    if ! "$out/$target" -runs="$runs" -max_len="$maxlen" -timeout=10 -print_final_stats=1 \
            -artifact_prefix="$out/crash-$target-" "$work/$target" "$here/corpus/$target" \
            >"$work/$target.log" 2>&1; then
        tail -n 30 "$work/$target.log"
        echo "$target failed; the input is in $out/crash-$target-*"
        status=1
    fi
    grep -E 'stat::number_of_executed_units' "$work/$target.log" || true
done
exit $status
