#!/usr/bin/env bash
# MiniJpeg against libjpeg-turbo on the same 1000 x 750 photo: decode and encode throughput in
# megapixels per second, and their ratios (MiniJpeg / libjpeg-turbo).
#   bench/jpeg_bench.sh [build folder]      (default: build/)
# The photo is cropped from the corpus (exiv2-bug937, 1024 x 768); libjpeg-turbo runs as
# djpeg -dct fast -nosmooth and cjpeg -dct fast (its names for the "ifast" AAN transforms), timed
# over many runs with the start-up time of the programs (measured on a 1 x 1 image) taken off.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-$root/build}
bench=$build/bench/jpeg_bench
corpus=${ORM_CORPUS_DIR:-$root/../shared/corpus}
runs=${ORM_BENCH_RUNS:-40}

for tool in djpeg cjpeg python3 awk; do
  command -v "$tool" >/dev/null || { echo "jpeg_bench: $tool is missing" >&2; exit 1; }
done
[ -x "$bench" ] || { echo "jpeg_bench: build $bench first (ninja -C $build jpeg_bench)" >&2; exit 1; }
[ -f "$corpus/exiv2-bug937.ref.ppm" ] || { echo "jpeg_bench: corpus not found at $corpus" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The 1000 x 750 photo, and its JPEG (quality 90, 4:2:0) that both decoders read.
python3 - "$corpus/exiv2-bug937.ref.ppm" "$work/photo.ppm" "$work/one.ppm" <<'PY'
import sys
data = open(sys.argv[1], 'rb').read()
fields, pos = [], 0
while len(fields) < 4:
    while data[pos:pos+1].isspace(): pos += 1
    start = pos
    while not data[pos:pos+1].isspace(): pos += 1
    fields.append(data[start:pos])
pos += 1
w, h = int(fields[1]), int(fields[2])
rows = [data[pos + y*w*3 : pos + y*w*3 + 1000*3] for y in range(750)]
open(sys.argv[2], 'wb').write(b'P6\n1000 750\n255\n' + b''.join(rows))
open(sys.argv[3], 'wb').write(b'P6\n1 1\n255\n' + data[pos:pos+3])
PY
cjpeg -quality 90 -dct fast -outfile "$work/photo.jpg" "$work/photo.ppm"
cjpeg -quality 90 -dct fast -outfile "$work/one.jpg" "$work/one.ppm"

# Seconds per run of a command, start-up included.
per_run() {
  local start end
  start=$(date +%s.%N)
  for ((i = 0; i < runs; i++)); do "$@" >/dev/null; done
  end=$(date +%s.%N)
  awk -v a="$start" -v b="$end" -v n="$runs" 'BEGIN { print (b - a) / n }'
}
calc() { awk "BEGIN { print $1 }"; }
mp=0.75
djpeg_s=$(calc "$(per_run djpeg -dct fast -nosmooth -ppm -outfile /dev/null "$work/photo.jpg") - $(per_run djpeg -dct fast -nosmooth -ppm -outfile /dev/null "$work/one.jpg")")
cjpeg_s=$(calc "$(per_run cjpeg -quality 90 -dct fast -outfile /dev/null "$work/photo.ppm") - $(per_run cjpeg -quality 90 -dct fast -outfile /dev/null "$work/one.ppm")")
djpeg_mps=$(calc "$mp / $djpeg_s")
cjpeg_mps=$(calc "$mp / $cjpeg_s")

out=$(ORM_BENCH_PPM="$work/photo.ppm" ORM_BENCH_JPEG="$work/photo.jpg" "$bench" \
  --benchmark_min_time=1 --benchmark_format=csv 2>/dev/null)
ours_decode=$(echo "$out" | awk -F, '/BM_Decode/ {print $NF}' | tr -d '"')
ours_encode=$(echo "$out" | awk -F, '/BM_Encode/ {print $NF}' | tr -d '"')
# The CSV's last column is the MP/s counter.
printf 'photo: 1000 x 750, quality 90, 4:2:0\n'
printf 'decode  MiniJpeg %7.1f MP/s   djpeg -dct fast -nosmooth %7.1f MP/s   ratio %.2f\n' \
  "$ours_decode" "$djpeg_mps" "$(calc "$ours_decode / $djpeg_mps")"
printf 'encode  MiniJpeg %7.1f MP/s   cjpeg -dct fast           %7.1f MP/s   ratio %.2f\n' \
  "$ours_encode" "$cjpeg_mps" "$(calc "$ours_encode / $cjpeg_mps")"
