#!/usr/bin/env bash
# The project's front door: builds what is needed and runs it. See ./run.sh --help.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/deps.sh

usage() {
    cat <<'USAGE'
Usage: ./run.sh [command] [arguments]

  (no command)        build, start the meter simulator on 127.0.0.1 and run the meter example:
                      a headless QML application that reads the meter's report and prints its
                      measurements every second, until Ctrl-C
  --once              the same, but stop after the first full read
  sim ARGS...         run the meter simulator (Modbus/TCP, 127.0.0.1:1502): ./run.sh sim --help
  cli ARGS...         run the command-line client: ./run.sh cli --help
  meter ARGS...       run the meter example against a running meter: ./run.sh meter --help
  keys [ARGS...]      build, start the simulator with a C55 device node whose keypad plays a script
                      of key presses, and run the keys example, which prints them as they arrive
                      (./run.sh keys --count 20 stops after 20 key codes)
  dayrecords          build, start the meter simulator and run the day records example: a headless QML
                      application that reads yesterday's hourly archive records and prints them
  panel [ARGS...]     build, start the meter simulator and open the meter panel on it: live values, their
                      trend, an archive browser and exports; without a display (DISPLAY, WAYLAND_DISPLAY)
                      it runs offscreen and saves a screenshot to build/panel.png (./run.sh panel --help)
  examples            list the example programs
  bench [FILTER]      build and run every benchmark (benchmarks/bench_*; with FILTER, those whose
                      name contains it, e.g. ./run.sh bench tcp)
  soak [--minutes N]  build, then run a QML client with 1000 items against the simulator with faults
                      for N minutes (default 1; --seed, --items, --timeout, --faults too), over
                      Modbus/TCP and a pseudo-terminal serial line, printing a summary line a minute;
                      fails on a crash, a lost or wrong write or a failure no fault explains
                      (see tools/tavrexbus-soak/README.md)
  fuzz [--minutes N]  build the fuzz targets with clang and run each in turn for N minutes (default 1),
                      printing executions, coverage and peak memory per target; findings are kept in
                      build/fuzz/found and crashing inputs in build/fuzz/crash-*
  --help              this text

The programs are built in build/bin; the QML module TavrexBus 1.0 is in build/qml.
USAGE
}

# Installs what is missing, then builds quietly: the build's output goes to build/build.log and is
# shown only when the build fails, so that the programs' own output stands alone.
build() {
    tavrex_install_deps >&2
    local log=build/build.log
    mkdir -p build
    [ -x build/bin/meter ] || echo "building TavrexBus1 (the first build takes a few minutes; progress in $log)" >&2
    if ! tavrex_build build >"$log" 2>&1; then
        tail -n 30 "$log" >&2
        echo "the build failed; the whole output is in $log" >&2
        exit 1
    fi
}

# Qt wants a private runtime directory (XDG_RUNTIME_DIR), which a fresh login or container may lack.
ensure_runtime_dir() {
    [ -n "${XDG_RUNTIME_DIR:-}" ] && return 0
    local dir
    dir="${TMPDIR:-/tmp}/runtime-$(id -u)"
    [ -e "$dir" ] || mkdir -m 0700 "$dir" 2>/dev/null || true
    # Only a real directory of our own will do; anything else gets a fresh one.
    if [ -d "$dir" ] && [ ! -L "$dir" ] && [ -O "$dir" ]; then
        chmod 0700 "$dir"
    else
        dir=$(mktemp -d)
    fi
    export XDG_RUNTIME_DIR="$dir"
}

SIM_PID=""
SIM_LOG=""
stop_simulator() {
    [ -n "$SIM_PID" ] && kill "$SIM_PID" 2>/dev/null && wait "$SIM_PID" 2>/dev/null
    [ -n "$SIM_LOG" ] && rm -f "$SIM_LOG"
    return 0
}

# Starts the simulator with the given arguments in its own session, so that Ctrl-C reaches the
# example first and the simulator is stopped after it; SIM_READY gets what the sed pattern $1 takes
# from its ready line.
SIM_READY=""
start_simulator() {
    local pattern=$1; shift
    SIM_LOG=$(mktemp)
    trap stop_simulator EXIT
    setsid build/bin/tavrexbus-sim "$@" >"$SIM_LOG" 2>&1 &
    SIM_PID=$!
    SIM_READY=""
    for _ in $(seq 100); do
        SIM_READY=$(sed -n "s|$pattern|\1|p" "$SIM_LOG")
        [ -n "$SIM_READY" ] && break
        kill -0 "$SIM_PID" 2>/dev/null || { cat "$SIM_LOG" >&2; exit 1; }
        sleep 0.1
    done
    [ -n "$SIM_READY" ] || { echo "the simulator did not start" >&2; cat "$SIM_LOG" >&2; exit 1; }
}

demo() {
    local program=$1; shift
    build
    ensure_runtime_dir
    start_simulator '^listening on tcp://127\.0\.0\.1:\([0-9]*\).*' --tcp 127.0.0.1:0
    echo "simulator listening on 127.0.0.1:$SIM_READY"
    QT_QPA_PLATFORM=offscreen "build/bin/$program" --port "$SIM_READY" "$@"
}

# The simulator's keypad plays this over and over; see tools/tavrexbus-sim/README.md.
KEYS_SCRIPT="1 2 Point 5 Enter Down:1200 Escape:1000 Menu system:3 wait:2000 loop"

keys_demo() {
    build
    ensure_runtime_dir
    start_simulator '^listening on c55://\(.*\)$' --no-tcp --c55 --keys "$KEYS_SCRIPT"
    echo "simulator's C55 device node: $SIM_READY"
    QT_QPA_PLATFORM=offscreen build/bin/keys --device "$SIM_READY" "$@"
}

# With a display the panel opens as a window; without one it runs offscreen until it shows values, a
# trend and an archive, and saves that as a picture.
panel_demo() {
    build
    ensure_runtime_dir
    case " $* " in *" -h "*|*" --help "*) exec build/bin/panel --help ;; esac
    start_simulator '^listening on tcp://127\.0\.0\.1:\([0-9]*\).*' --tcp 127.0.0.1:0
    echo "simulator listening on 127.0.0.1:$SIM_READY"
    local panel=(build/bin/panel --port "$SIM_READY" --connect --read-archive)
    if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
        "${panel[@]}" "$@"
    else
        echo "no display: the panel runs offscreen and saves a screenshot once it shows values, half a minute of trend" \
             "and an archive"
        QT_QPA_PLATFORM=offscreen "${panel[@]}" --export-dir build --screenshot build/panel.png "$@"
    fi
}

examples() {
    cat <<'EXAMPLES'
meter       examples/meter: a QML application polling a heat meter over Modbus/TCP
            (./run.sh starts it with the simulator; ./run.sh meter --help)
dayrecords  examples/dayrecords: a QML application reading a day of hourly archive records through
            ModbusArchReader (./run.sh dayrecords starts it with the simulator)
panel       examples/panel: a desktop QML application showing a meter live, with a trend chart, an
            archive browser and XML/CSV export (./run.sh panel starts it with the simulator)
keys        examples/keys: a QML application printing the key presses of a meter's keypad, which
            arrive as device events over a C55 device node (./run.sh keys starts it with the simulator)
EXAMPLES
}

# Runs every benchmark program (not the build's helper directories beside them); a failing one
# does not stop the others, but makes the exit status 1.
bench() {
    build
    local filter=${1:-} status=0
    for program in build/benchmarks/bench_*; do
        [[ -f $program && -x $program ]] || continue
        case "${program##*/bench_}" in *"$filter"*) ;; *) continue ;; esac
        echo "== ${program##*/}"
        # The USB benchmark's meter sits on an emulated bus that umockdev's preload library provides.
        local runner=()
        [[ $program == *bench_usb ]] && runner=(umockdev-wrapper)
        "${runner[@]}" "$program" --benchmark_min_time=0.5 || { echo "${program##*/} failed" >&2; status=1; }
    done
    return $status
}

soak() {
    build
    ensure_runtime_dir
    QT_QPA_PLATFORM=offscreen exec build/bin/tavrexbus-soak "$@"
}

# Runs every fuzz target for the given minutes each.
fuzz() {
    local minutes=1
    case "${1:-}" in
        --minutes) minutes=${2:?--minutes needs a number} ;;
        "") ;;
        *) echo "unknown fuzz argument: $1" >&2; exit 2 ;;
    esac
    [[ $minutes =~ ^[0-9]+$ && $minutes -gt 0 ]] || { echo "--minutes needs a whole number above 0" >&2; exit 2; }
    build
    FUZZ_SECONDS=$((minutes * 60)) fuzz/run-fuzz-tests.sh build
}

case "${1:-}" in
    "") demo meter ;;
    --once) demo meter --once ;;
    dayrecords) shift; demo dayrecords "$@" ;;
    panel) shift; panel_demo "$@" ;;
    -h|--help|help) usage ;;
    sim) shift; build; exec build/bin/tavrexbus-sim "$@" ;;
    cli) shift; build; exec build/bin/tavrexbus "$@" ;;
    meter) shift; build; ensure_runtime_dir; QT_QPA_PLATFORM=offscreen exec build/bin/meter "$@" ;;
    keys) shift; keys_demo "$@" ;;
    examples) examples ;;
    bench) shift; bench "$@" ;;
    soak) shift; soak "$@" ;;
    fuzz) shift; fuzz "$@" ;;
    *) echo "unknown command: $1" >&2; usage >&2; exit 2 ;;
esac
