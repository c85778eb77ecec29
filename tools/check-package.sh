#!/usr/bin/env bash
# Checks a built Debian package as a user would meet it, without installing
# it: lists it, unpacks it into a scratch folder, and runs the unpacked
# wenlo-run on the unpacked demo cartridge and the unpacked wenlo --help.
#
#   tools/check-package.sh build/packages/wenlo_0.1.0_amd64.deb
set -euo pipefail
deb=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

dpkg-deb -c "$deb"
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
# Worked out by dpkg-shlibdeps: the Qt and PNG libraries the programs link.
for lib in libqt6widgets6 libpng16-16 libc6; do
    grep -q "$lib" <<<"$depends" || { echo "check-package: $lib missing from Depends" >&2; exit 1; }
done

dpkg-deb -x "$deb" "$scratch/root"
usr=$scratch/root/usr
for f in bin/wenlo bin/wenlo-run share/wenlo/wenlo-demo.gb share/man/man6/wenlo.6 share/man/man6/wenlo-run.6 \
         share/applications/org.example.wenlo.desktop share/metainfo/org.example.wenlo.metainfo.xml; do
    [ -e "$usr/$f" ] || { echo "check-package: usr/$f is not in the package" >&2; exit 1; }
done

"$usr/bin/wenlo-run" --frames 120 --png "$scratch/demo.png" "$usr/share/wenlo/wenlo-demo.gb"
# (Not through tee /dev/stderr: that reopens a log file that stderr goes to,
# and truncates it.)
kind=$(file "$scratch/demo.png")
echo "$kind"
grep -q "PNG image data, 160 x 144" <<<"$kind"
# Needs no display: the command line is read before any window exists.
env -u DISPLAY -u WAYLAND_DISPLAY "$usr/bin/wenlo" --help | grep -q "^usage: wenlo \[ROM\]"
"$usr/bin/wenlo" --version
echo "check-package: $deb is fine"
