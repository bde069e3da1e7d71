#!/usr/bin/env bash
# The Debian package as a user gets it: unpacked into a temporary root (dpkg-deb -x), its
# ormensura-cli prints its version and resizes a photo, and its control data names the
# libraries the binaries need. Skipped (exit 77) until scripts/package has built the package.
# Usage: package_test.sh <build folder> <work folder>
set -uo pipefail
build=$1
work=$2
deb=$(ls -t "$build"/ormensura_*_*.deb 2>/dev/null | head -n 1)
[ -n "$deb" ] || { echo "no package in $build (scripts/package makes it): skipped"; exit 77; }
for tool in dpkg-deb convert identify; do
  command -v "$tool" >/dev/null || { echo "$tool missing: skipped"; exit 77; }
done
# A package older than the programs would test yesterday's build.
if [ "$build/app/ormensura-cli" -nt "$deb" ]; then
  echo "the package is older than the build (run scripts/package again): skipped"
  exit 77
fi

status=0
fail() { echo "FAIL: $*"; status=1; }
rm -rf "$work"
mkdir -p "$work/root"
dpkg-deb -x "$deb" "$work/root" || { echo "FAIL: dpkg-deb -x $deb"; exit 1; }
cli="$work/root/usr/bin/ormensura-cli"

for f in usr/bin/ormensura usr/bin/ormensura-cli usr/share/applications/ormensura.desktop \
  usr/share/metainfo/com.orvenimaging.mensura.metainfo.xml \
  usr/share/icons/hicolor/scalable/apps/ormensura.svg usr/share/ormensura/ormensura.html \
  usr/share/man/man1/ormensura.1.gz usr/share/man/man1/ormensura-cli.1.gz \
  usr/share/doc/ormensura/copyright; do
  [ -s "$work/root/$f" ] || fail "$f is not in the package"
done
grep -q '^Exec=/usr/bin/ormensura ' "$work/root/usr/share/applications/ormensura.desktop" ||
  fail "the launcher does not start /usr/bin/ormensura"

version=$("$cli" --version) || fail "ormensura-cli --version"
pkgversion=$(dpkg-deb -f "$deb" Version)
[[ "$version" == *"$pkgversion"* ]] || fail "ormensura-cli says '$version', the package $pkgversion"

export HOME="$work/home" XDG_CONFIG_HOME="$work/home/config" XDG_DATA_HOME="$work/home/data"
mkdir -p "$HOME"
input="$work/in.jpg"
convert -size 300x200 gradient:red-blue "$input" || fail "convert could not make the input"
"$cli" resize "$input" --width 150 -o "$work/out.png" --quiet || fail "ormensura-cli resize"
size=$(identify -format '%wx%h' "$work/out.png" 2>/dev/null)
[ "$size" = "150x100" ] || fail "the resized file is '$size', not 150x100"

depends=$(dpkg-deb -f "$deb" Depends)
for lib in libqt6core6 libqt6gui6 libqt6widgets6 libexiv2 libc6; do
  [[ "$depends" == *"$lib"* ]] || fail "Depends lacks $lib: $depends"
done
exit $status
