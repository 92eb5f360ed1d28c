#!/usr/bin/env bash
# The project's front door: builds what is needed and runs it. See ./run.sh --help.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/deps.sh

usage() {
    cat <<'USAGE'
Usage: ./run.sh [command] [arguments]

  (no command)        build, then show the command-line client at work
  cli ARGS...         run the command-line client: ./run.sh cli --help
  bench [FILTER]      build and run the benchmarks (benchmarks/bench_*), one line per figure
  --help              this text

The programs are built in build/bin; the QML module TavrexBus 1.0 is in build/qml.
USAGE
}

build() {
    tavrex_install_deps
    tavrex_build build
}

demo() {
    build
    local cli=build/bin/tavrexbus
    "$cli" --help
    echo
    echo "\$ tavrexbus crc 01 03 00 00 00 0A"
    "$cli" crc 01 03 00 00 00 0A
    echo "\$ tavrexbus encode float 21.5"
    "$cli" encode float 21.5
    echo "\$ tavrexbus decode int32 FF FF FF FE"
    "$cli" decode int32 FF FF FF FE
}

bench() {
    build
    local filter=${1:-}
    for program in build/benchmarks/bench_*; do
        [ -x "$program" ] || continue
        case "$program" in *"$filter"*) ;; *) continue ;; esac
        echo "== ${program##*/}"
        "$program" --benchmark_min_time=0.5
    done
}

case "${1:-}" in
    ""|--once) demo ;;
    -h|--help|help) usage ;;
    cli) shift; build >/dev/null; exec build/bin/tavrexbus "$@" ;;
    bench) shift; bench "$@" ;;
    *) echo "unknown command: $1" >&2; usage >&2; exit 2 ;;
esac
