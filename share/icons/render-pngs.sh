#!/usr/bin/env bash
# Renders the application icon's PNG sizes from its SVG (needs rsvg-convert, Debian's
# librsvg2-bin). Run after changing hicolor/scalable/apps/ormensura.svg and commit the PNGs.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
svg=$here/hicolor/scalable/apps/ormensura.svg
for size in 16 22 24 32 48 64 128 256; do
  mkdir -p "$here/hicolor/${size}x${size}/apps"
  rsvg-convert -w "$size" -h "$size" "$svg" -o "$here/hicolor/${size}x${size}/apps/ormensura.png"
done
