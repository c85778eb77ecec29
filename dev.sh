#!/usr/bin/env bash
# Builds and runs Wenlo on Debian. Installs what is missing first (as root, or
# through sudo).
#
#   ./dev.sh run      build and start the desktop program
#   ./dev.sh test     build and run every test
#   ./dev.sh bench    build and run the speed benchmark (bench callgrind: instructions per frame)
#   ./dev.sh sanitize build with AddressSanitizer and UndefinedBehaviorSanitizer
#                     (clang) and run every test and a short run of each fuzz target
#   ./dev.sh package  build the Debian package and the tarball (BUILD_DIR/packages)
#                     and check the package unpacked
#   ./dev.sh check-metadata  validate the desktop file, AppStream data, manual pages
set -euo pipefail
cd "$(dirname "$0")"

PACKAGES=(build-essential cmake pkg-config libgtest-dev qt6-base-dev libgl-dev libpng-dev zlib1g-dev libsdl2-dev libsndfile1-dev sdcc)
# Only for some commands (installed by those):
SANITIZE_PACKAGES=(clang libclang-rt-14-dev)
# qt6-wayland: runs natively on a Wayland desktop instead of through XWayland.
RUN_PACKAGES=(qt6-wayland)
# dpkg-dev: dpkg-shlibdeps works out the package's dependencies; file: the
# package check tells a PNG from anything else.
PACKAGE_PACKAGES=(dpkg-dev file)
METADATA_PACKAGES=(desktop-file-utils appstream groff)
BUILD_DIR=${WENLO_BUILD_DIR:-build}
JOBS=${WENLO_JOBS:-2}

install_missing() {
    local missing=() p
    for p in "${PACKAGES[@]}" "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo=sudo
    echo "Installing: ${missing[*]}"
    $sudo apt-get update
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y "${missing[@]}"
}

build() {
    cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=Release "$@"
    cmake --build "$BUILD_DIR" -j "$JOBS"
}

case "${1:-}" in
    run)
        # Only the desktop program (and the demo cartridge placed beside it).
        install_missing "${RUN_PACKAGES[@]}"
        cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=Release -DWENLO_BUILD_FRONTEND=ON
        cmake --build "$BUILD_DIR" -j "$JOBS" --target wenlo
        exec "$BUILD_DIR/frontend/wenlo"
        ;;
    test)
        install_missing
        build
        QT_QPA_PLATFORM=offscreen ctest --test-dir "$BUILD_DIR" --output-on-failure -j "$JOBS"
        ;;
    bench)
        # ./dev.sh bench            frames per second (median of 5 runs)
        # ./dev.sh bench callgrind  host instructions per emulated frame
        if [ "${2:-}" = callgrind ]; then install_missing valgrind; else install_missing; fi
        cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=Release
        cmake --build "$BUILD_DIR" -j "$JOBS" --target wenlo-run make-bench-rom
        exec tools/bench.sh "$BUILD_DIR" "${2:-}"
        ;;
    sanitize)
        install_missing "${SANITIZE_PACKAGES[@]}"
        BUILD_DIR=${WENLO_BUILD_DIR:-build-sanitize}
        # The desktop program's Qt Test suites too, even where the folder was
        # configured without them before.
        CXX=clang++ build -DWENLO_SANITIZE=ON -DWENLO_FUZZ=ON -DWENLO_BUILD_FRONTEND=ON
        # Qt and the system libraries are not instrumented: leaks inside them are not ours.
        ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp \
            UBSAN_OPTIONS=print_stacktrace=1 QT_QPA_PLATFORM=offscreen \
            ctest --test-dir "$BUILD_DIR" --output-on-failure -j "$JOBS"
        ;;
    package)
        install_missing "${PACKAGE_PACKAGES[@]}"
        build
        rm -rf "$BUILD_DIR/packages"
        (cd "$BUILD_DIR" && cpack -G "DEB;TGZ")
        tools/check-package.sh "$BUILD_DIR"/packages/wenlo_*.deb
        ;;
    check-metadata)
        install_missing "${METADATA_PACKAGES[@]}"
        tools/check-metadata.sh
        ;;
    deps)
        # Everything every command above needs, in one apt-get call (CI).
        install_missing "${SANITIZE_PACKAGES[@]}" "${RUN_PACKAGES[@]}" "${PACKAGE_PACKAGES[@]}" \
            "${METADATA_PACKAGES[@]}" valgrind
        ;;
    *)
        echo "usage: $0 run | test | bench | sanitize | package | check-metadata | deps" >&2
        exit 2
        ;;
esac
