#!/usr/bin/env bash
# Renders the PNG icons from flashloader.svg (rsvg-convert, Debian package
# librsvg2-bin). The PNGs are checked in; run this after changing the SVG.
set -euo pipefail
cd "$(dirname "$0")"
for size in 48 256; do
  rsvg-convert --width "$size" --height "$size" flashloader.svg --output "flashloader-$size.png"
done
