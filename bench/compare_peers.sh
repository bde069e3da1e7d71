#!/usr/bin/env bash
# Runs the engine's 13 MP benchmark and other libraries' resizers (Pillow, OpenCV) on the same
# photo in one run and prints the ratios against the engine's speed targets (algorithms 5 and 7
# enlarging 2x: half of Pillow's LANCZOS time, for resizes one after another and for the first
# resize of a process). Both sides run under nice, so they see the same share of a busy machine.
#   bench/compare_peers.sh [BUILD_DIR] [ROUNDS]
# BUILD_DIR holds bench/engine_bench (default: build). The peers are Debian's python3-pil and
# python3-opencv, installed when missing; they are measured only, never linked.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-$root/build}
rounds=${2:-3}
bench=$build/bench/engine_bench
py=/usr/bin/python3  # Debian's interpreter: the one the Debian packages install into

if [ ! -x "$bench" ]; then
  echo "compare_peers: $bench not found (build the engine_bench target first)" >&2
  exit 2
fi
missing=()
"$py" -c 'import PIL' 2>/dev/null || missing+=(python3-pil)
"$py" -c 'import cv2' 2>/dev/null || missing+=(python3-opencv)
"$py" -c 'import numpy' 2>/dev/null || missing+=(python3-numpy)
if [ ${#missing[@]} -gt 0 ]; then
  sudo=; [ "$(id -u)" -eq 0 ] || sudo=sudo
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$py" "$root/bench/peer_resize.py" make-photo "$work/photo.ppm"
echo "load: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores" >&2

# Peers and engine back to back, twice, so both see the same load; best of all rounds.
for pass in 1 2; do
  nice "$py" "$root/bench/peer_resize.py" time "$work/photo.ppm" "$rounds" >"$work/peers$pass.json"
  ORM_BENCH_IMAGE=$work/photo.ppm nice "$bench" --benchmark_filter='BM_Photo' \
    --benchmark_repetitions="$rounds" --benchmark_format=json >"$work/engine$pass.json" 2>/dev/null
done
"$py" "$root/bench/compare_peers.py" "$work"/peers*.json -- "$work"/engine*.json
