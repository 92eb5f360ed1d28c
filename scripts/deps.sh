# Sourced by run.sh and test.sh: the one list of Debian packages the project needs, installed only when missing.
TAVREX_PACKAGES=(
    build-essential cmake pkg-config
    qt6-base-dev qt6-declarative-dev qt6-declarative-dev-tools qt6-serialport-dev libgl-dev
    qml6-module-qtqml qml6-module-qtqml-models qml6-module-qtqml-workerscript
    qml6-module-qtquick qml6-module-qtquick-window qml6-module-qttest
    qt6-serialbus-dev qml6-module-qtquick-controls qml6-module-qtquick-layouts qml6-module-qtcharts
    libbenchmark-dev clang libclang-rt-14-dev
    python3 python3-pymodbus python3-serial python3-serial-asyncio mbpoll libmodbus-dev tftp-hpa
    libusb-1.0-0-dev umockdev libumockdev-dev
    doxygen
)

tavrex_install_deps() {
    local missing=() package
    for package in "${TAVREX_PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing missing packages: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo apt-get update -q
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
}

# Configures (once) and builds the tree in $1 with the settings taken from the environment; with
# TAVREX_TARGETS, only those targets (e.g. "tests_client tests_tcp").
tavrex_build() {
    local dir=$1; shift
    cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE="${CMAKE_BUILD_TYPE:-RelWithDebInfo}" \
        -DTAVREX_WERROR="${TAVREX_WERROR:-OFF}" -DTAVREX_SANITIZE="${TAVREX_SANITIZE:-}" \
        -DTAVREX_BUILD_BENCHMARKS="${TAVREX_BUILD_BENCHMARKS:-ON}" "$@" >/dev/null
    local targets=() target
    for target in ${TAVREX_TARGETS:-}; do
        targets+=(--target "$target")
    done
    cmake --build "$dir" -j "${TAVREX_JOBS:-2}" "${targets[@]}"
}
