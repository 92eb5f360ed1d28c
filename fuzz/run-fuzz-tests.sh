#!/usr/bin/env bash
# Builds the fuzz targets with clang into <build-dir>/fuzz and runs every one of them over its seed
# corpus and its regression inputs. Exit code 77 means clang is missing.
# FUZZ_RUNS sets the executions per target (default 20000); FUZZ_SECONDS, when set, runs each target
# for that long instead and keeps what it finds in <build-dir>/fuzz/found/<target>.
set -euo pipefail
build=${1:?usage: run-fuzz-tests.sh <build-dir>}
here=$(cd "$(dirname "$0")" && pwd)
runs=${FUZZ_RUNS:-20000}
seconds=${FUZZ_SECONDS:-}
compiler=$(command -v clang++-14 || command -v clang++ || true)
if [ -z "$compiler" ]; then
    echo "clang is not installed: fuzz targets skipped"
    exit 77
fi

out="$build/fuzz"
cmake -S "$here" -B "$out" -DCMAKE_CXX_COMPILER="$compiler" >/dev/null
cmake --build "$out" -j "${TAVREX_JOBS:-2}" >"$out.log" 2>&1 || { tail -n 50 "$out.log"; exit 1; }

# AddressSanitizer holds 256 MB of freed blocks by default to catch late use; with the many small
# buffers a stream target makes per input, that alone grows a run to about 1 GB and halves its speed.
# A smaller quarantine still catches use right after free, and the memory a run prints is its own.
export ASAN_OPTIONS=${ASAN_OPTIONS:-quarantine_size_mb=32}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
if [ -n "$seconds" ]; then
    limit=(-max_total_time="$seconds")
    found="$out/found"
else
    limit=(-runs="$runs")
    found="$work"
fi

# One line per target from libFuzzer's final statistics.
summary() {
    local target=$1 log=$2
    awk -v target="$target" '
        /^#[0-9]+.*(DONE|pulse|NEW|REDUCE).*cov: / { for (i = 1; i <= NF; ++i) if ($i == "cov:") cov = $(i + 1) }
        /^stat::number_of_executed_units:/ { execs = $2 }
        /^stat::average_exec_per_sec:/ { rate = $2 }
        /^stat::peak_rss_mb:/ { rss = $2 }
        END { printf "%s: %s execs, %s execs/s, coverage %s edges, peak memory %s MB\n", target, execs, rate, cov, rss }
    ' "$log"
}

status=0
for program in "$out"/fuzz_*; do
    [[ -f $program && -x $program ]] || continue
    target=${program##*/}
    regressions=("$here/regressions/$target"/*)
    if [ -e "${regressions[0]}" ]; then
        echo "== $target: ${#regressions[@]} regression inputs"
        if ! "$program" "${regressions[@]}" >"$work/$target.log" 2>&1; then
            tail -n 30 "$work/$target.log"
            status=1
        fi
    fi
    echo "== $target: ${limit[0]#-}"
    mkdir -p "$found/$target"
    # New inputs go to a directory of their own, never into the committed corpus.
    # An XML document needs room; frames and records fit in 300 bytes.
    maxlen=300
    [ "$target" = fuzz_xml_import ] && maxlen=4096
    if ! "$program" "${limit[@]}" -max_len="$maxlen" -timeout=10 -print_final_stats=1 \
            -artifact_prefix="$out/crash-$target-" "$found/$target" "$here/corpus/$target" \
            >"$work/$target.log" 2>&1; then
        tail -n 30 "$work/$target.log"
        echo "$target failed; the input is in $out/crash-$target-*"
        status=1
    fi
    summary "$target" "$work/$target.log"
done
exit $status
