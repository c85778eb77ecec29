#!/usr/bin/env bash
# The speed benchmark, run by `./dev.sh bench [callgrind]`.
#
#   tools/bench.sh BUILD_DIR              frames per second, median of 5 runs
#   tools/bench.sh BUILD_DIR callgrind    host instructions per emulated frame
#
# For each variant of the benchmark cartridge: the busy loop in the cartridge
# (rom), copied to work RAM (wram), or calling a routine in high RAM (hram),
# each with 0 and with 10 sprites on every line. Goals on the 2-core
# development machine: at least 40,000 frames per second; at most 200,000 host
# instructions per frame for rom, 220,000 for wram and hram, 250,000 for any
# of them with 10 sprites. Each variant runs on both machines (machine=wenlo,
# the default; machine=handheld, the complete handheld: at most 400,000 host
# instructions per frame, 480,000 with 10 sprites, at least 15,000 frames per
# second); WENLO_BENCH_MACHINES chooses. WENLO_BENCH_SOUND=1 runs each with
# its sound written too (--wav /dev/null: synthesised, filtered and handed to
# the WAV writer, then thrown away); with sound a frame may cost at most 15%
# more host instructions than without.
set -euo pipefail
build=${1:?usage: tools/bench.sh BUILD_DIR [callgrind]}
mode=${2:-}
run=$build/tools/wenlo-run
make_rom=$build/tools/make-bench-rom
frames=${WENLO_BENCH_FRAMES:-20000}
runs=5
# The handheld's frame rate, from the one header that holds it.
rate=$(sed -n 's/.*kFramesPerSecond = \([0-9.]*\);.*/\1/p' "$(dirname "$0")/../core/timing.h")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

machines=${WENLO_BENCH_MACHINES:-wenlo handheld}
sound=()
[ "${WENLO_BENCH_SOUND:-0}" = 1 ] && sound=(--wav /dev/null)

for machine in $machines; do
for loop in rom wram hram; do
    for sprites in 0 10; do
        rom=$work/bench-$machine-$loop-$sprites.gb
        # The handheld copies sprites through high RAM, as its DMA needs.
        dma=rom
        [ "$machine" = handheld ] && dma=hram
        "$make_rom" --sprites "$sprites" --loop "$loop" --dma "$dma" "$rom"

        if [ "$mode" = callgrind ]; then
            # Two runs of different length: their difference leaves out loading
            # and start-up, so the figure is the cost of one frame.
            total() {
                valgrind --tool=callgrind --callgrind-out-file="$work/cg.out" "$run" --machine "$machine" "${sound[@]}" --frames "$1" "$rom" \
                    >/dev/null 2>&1
                awk '/^(summary|totals):/ { print $2; exit }' "$work/cg.out"
            }
            short=$(total 200)
            long=$(total 1200)
            echo "machine=$machine loop=$loop sprites=$sprites sound=${WENLO_BENCH_SOUND:-0} instructions_per_frame=$(((long - short) / 1000))"
            continue
        fi

        fps=()
        for _ in $(seq "$runs"); do
            line=$("$run" --machine "$machine" "${sound[@]}" --bench --frames "$frames" "$rom")
            fps+=("$(sed -n 's/.* fps=\([0-9.]*\) .*/\1/p' <<<"$line")")
        done
        median=$(printf '%s\n' "${fps[@]}" | sort -g | sed -n "$(((runs + 1) / 2))p")
        speed=$(awk -v f="$median" -v r="$rate" 'BEGIN { printf "%.1f", f / r }')
        echo "machine=$machine loop=$loop sprites=$sprites sound=${WENLO_BENCH_SOUND:-0} frames=$frames runs=$runs median_fps=$median speed=${speed}x (all: ${fps[*]})"
    done
done
done
