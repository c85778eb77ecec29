#!/usr/bin/env bash
# Assembles the handheld's test cartridges with the sdcc package's tools.
#
#   tests/handheld/roms/build.sh            build every cartridge beside its source
#   tests/handheld/roms/build.sh --check    build them afresh and compare with the
#                                           committed ones (exit 1 naming those
#                                           that differ)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

check=0
case "${1-}" in
    "") ;;
    --check) check=1 ;;
    *) echo "usage: $0 [--check]" >&2; exit 2 ;;
esac

# name, cartridge type (header 0x147), 16 KiB ROM banks, 8 KiB RAM banks.
cartridges=(
    "timer      0x00 2  0"
    "interrupts 0x00 2  0"
    "halt       0x00 2  0"
    "serial     0x00 2  0"
    "dma        0x00 2  0"
    "mbc1       0x02 64 1"
    "mbc1_ram   0x02 4  4"
    "mbc2       0x05 8  0"
    "mbc3       0x10 64 4"
    "mbc5       0x1A 8  4"
    "battery    0x03 2  1"
    "ppu_stat   0x00 2  0"
    "ppu_window 0x00 2  0"
    "ppu_sprites 0x00 2 0"
    "ppu_lcd    0x00 2  0"
    "dialogue   0x00 2  0"
    "sound      0x00 2  0"
)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

differ=0
cd "$here"  # the sources include hw.inc and lib.inc from here
for entry in "${cartridges[@]}"; do
    read -r name type banks ram <<<"$entry"
    title=$(echo "WENLO $name" | tr '[:lower:]_' '[:upper:] ' | cut -c1-15)
    sdasgb -o "$work/$name.rel" "$name.s"
    sdldgb -n -i "$work/$name.ihx" "$work/$name.rel"
    # -yN leaves the header's logo area blank (the handheld never looks at it).
    makebin -Z -yN -yt "$type" -yo "$banks" -ya "$ram" -yn "$title" "$work/$name.ihx" "$work/$name.gb"
    if [ $check = 1 ]; then
        if ! cmp -s "$work/$name.gb" "$here/$name.gb"; then
            echo "$name.gb differs from what $name.s builds to; rebuild with $0" >&2
            differ=1
        fi
    else
        cp "$work/$name.gb" "$here/$name.gb"
    fi
done
if [ $check = 1 ]; then
    [ $differ = 0 ] || exit 1
    echo "the committed cartridges match their sources"
fi
