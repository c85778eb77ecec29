#!/usr/bin/env bash
# Assembles the demo cartridge with the sdcc package's tools.
#
#   roms/build-demo.sh OUT.gb           build the cartridge into OUT.gb
#   roms/build-demo.sh --check GB       build it afresh and compare with GB
#                                       (exit 1 and say so when they differ)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

usage() { echo "usage: $0 OUT.gb | --check GB" >&2; exit 2; }
[ $# -ge 1 ] || usage
check=""
if [ "$1" = "--check" ]; then
    [ $# -eq 2 ] || usage
    check=$2
else
    [ $# -eq 1 ] || usage
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Four 16 KiB banks, cartridge type 0x01 (MBC1), title WENLO DEMO; -yN leaves
# the header's logo area blank (this machine never looks at it).
sdasgb -o "$work/demo.rel" "$here/wenlo-demo.s"
sdldgb -n -i "$work/demo.ihx" "$work/demo.rel"
makebin -Z -yN -yt 0x01 -yo 4 -yn "WENLO DEMO" "$work/demo.ihx" "$work/demo.gb"

if [ -n "$check" ]; then
    if ! cmp -s "$work/demo.gb" "$check"; then
        echo "$check differs from what roms/wenlo-demo.s builds to; rebuild it with $0 $check" >&2
        exit 1
    fi
    echo "$check matches roms/wenlo-demo.s"
else
    cp "$work/demo.gb" "$1"
fi
