#!/usr/bin/env bash
# Thumbnails of a folder of camera photos: the builder (bench/thumbnail_bench) beside
# vipsthumbnail -s 220x165 and ImageMagick's convert -thumbnail 220x165 on the same files, in one
# run on this machine.
#   bench/thumbnail_bench.sh [BUILD_DIR]       (default: build/)
# Environment: ORM_BENCH_FILES (default 100), ORM_BENCH_RUNS (default 3), ORM_BENCH_CONVERT_FILES
# (files given to convert, default 20: it decodes every photo in full), BATCH_BENCH_CACHE (where
# the two source photos are kept between runs).
#
# Inputs: the two camera photos (13 and 20 megapixels) of Debian's lomiri wallpaper packages,
# re-encoded with cjpeg (quality 92), given a camera's EXIF block and a 160 x 120 EXIF thumbnail
# with exiftool, then copied to ORM_BENCH_FILES files.
#
# The comparison: the builder as the program runs it (two worker threads per stage on this
# two-core machine, stage 2 at nice +5 as its lower priority) against one vipsthumbnail process
# given every file. The two take turns run by run, so a change in the machine's load falls on
# both; the processor time per file (all threads together) is printed beside the wall-clock rates,
# as load inflates it far less. The last line reads
#   thumbnails: stage1 S files/s, final F files/s, vipsthumbnail V files/s, memory M MB per 3000
# where final counts the time until every thumbnail is final (stage 1 included).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-$root/build}
bench=$build/bench/thumbnail_bench
corpus=${ORM_CORPUS_DIR:-$root/../shared/corpus}
files=${ORM_BENCH_FILES:-100}
runs=${ORM_BENCH_RUNS:-3}
convert_files=${ORM_BENCH_CONVERT_FILES:-20}

[ -x "$bench" ] || { echo "thumbnail_bench: build $bench first (ninja -C $build thumbnail_bench)" >&2; exit 1; }

# The peers and the tools that make the inputs, installed when missing.
need=()
command -v vipsthumbnail >/dev/null || need+=(libvips-tools)
command -v convert >/dev/null || need+=(imagemagick)
command -v cjpeg >/dev/null || need+=(libjpeg-turbo-progs)
command -v exiftool >/dev/null || need+=(libimage-exiftool-perl)
command -v bc >/dev/null || need+=(bc)
[ -x /usr/bin/time ] || need+=(time)
if ((${#need[@]})); then
  sudo=""
  if [ "$(id -u)" -ne 0 ]; then sudo=sudo; fi
  echo "thumbnail_bench: installing ${need[*]}"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get install -y --no-install-recommends "${need[@]}" >/dev/null ||
    { $sudo apt-get update >/dev/null && $sudo apt-get install -y --no-install-recommends "${need[@]}" >/dev/null; }
fi

work=$(mktemp -d /tmp/thumbbench.XXXX)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/in" "$work/vips" "$work/convert"

cache=${BATCH_BENCH_CACHE:-$HOME/.cache/batch-bench}
mkdir -p "$cache"
if [ ! -f "$cache/photo-13mp.jpg" ] || [ ! -f "$cache/photo-20mp.jpg" ]; then
  (cd "$cache" && apt-get download lomiri-wallpapers-16.04 lomiri-wallpapers-20.04 >/dev/null &&
   for d in ./*.deb; do dpkg-deb -x "$d" x; done &&
   cp x/usr/share/backgrounds/Dragonfly_by_Bolly.jpg photo-13mp.jpg &&
   cp x/usr/share/backgrounds/Kleiber_by_Lukas_Baubkus.jpg photo-20mp.jpg && rm -rf x ./*.deb) ||
   { echo "thumbnail_bench: could not fetch the wallpaper packages" >&2; exit 2; }
fi
for s in photo-13mp photo-20mp; do
  djpeg -ppm "$cache/$s.jpg" >"$work/$s.ppm"
  cjpeg -quality 92 -outfile "$work/$s.jpg" "$work/$s.ppm"
  convert "$work/$s.ppm" -resize 160x120 "$work/$s-thumb.ppm"
  cjpeg -quality 85 -outfile "$work/$s-thumb.jpg" "$work/$s-thumb.ppm"
  rm -f "$work/$s.ppm" "$work/$s-thumb.ppm"
  if [ -f "$corpus/Canon_40D.jpg" ]; then
    exiftool -q -overwrite_original -tagsFromFile "$corpus/Canon_40D.jpg" -all:all \
      --ImageWidth --ImageHeight --ExifImageWidth --ExifImageHeight --ThumbnailImage "$work/$s.jpg" 2>/dev/null || true
  fi
  size=$(identify -format '%w %h' "$work/$s.jpg")
  exiftool -q -overwrite_original "-ExifImageWidth=${size% *}" "-ExifImageHeight=${size#* }" \
    "-ThumbnailImage<=$work/$s-thumb.jpg" "$work/$s.jpg"
done
for i in $(seq 1 "$files"); do
  if ((i % 2)); then src=photo-13mp; else src=photo-20mp; fi
  cp "$work/$src.jpg" "$(printf '%s/in/IMG_%04d.JPG' "$work" "$i")"
done
mp=$(for f in "$work"/in/*.JPG; do identify -format '%w*%h\n' "$f"; done | paste -sd+ | bc)
thumbs=$(for f in "$work"/in/*.JPG; do exiftool -s3 -ThumbnailLength "$f"; done | grep -c .)
echo "# $files JPEGs, $(echo "scale=1; $mp / $files / 1000000" | bc) MP each on average, $thumbs with an EXIF thumbnail; $(nproc) cores; median of $runs runs"

# Seconds of one command (wall clock).
seconds() {
  local start end
  start=$(date +%s.%N)
  "$@" >/dev/null 2>&1
  end=$(date +%s.%N)
  echo "$end - $start" | bc -l
}
median() { sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

ours=()
vips=()
vips_cpu=()
for r in $(seq 1 "$runs"); do
  out=$("$bench" "$work/in" 1)
  echo "$out" | grep '^run ' | sed "s/^run 1:/run $r:/"
  ours+=("$(echo "$out" | grep '^ours:')")
  rm -f "$work"/vips/*
  /usr/bin/time -o "$work/time" -f '%e %U %S' \
    vipsthumbnail -s 220x165 -o "$work/vips/%s.jpg" "$work"/in/*.JPG >/dev/null 2>&1
  read -r wall user sys <"$work/time"
  echo "run $r: vipsthumbnail $wall s ($(echo "$user + $sys" | bc -l) s of processor time)"
  vips+=("$wall")
  vips_cpu+=("$(echo "($user + $sys) * 1000 / $files" | bc -l)")
done
echo "$out" | grep -E '^(peak memory|cache file|memory of)'
field() { printf '%s\n' "${ours[@]}" | awk -v f="$1" '{print $f}' | median; }
stage1=$(field 3)
stage2=$(field 5)
final=$(field 7)
memory=$(field 9)
ours_cpu=$(field 11)
vips_s=$(printf '%s\n' "${vips[@]}" | median)
vips_ms=$(printf '%s\n' "${vips_cpu[@]}" | median)
[ "$(ls "$work/vips" | wc -l)" -eq "$files" ] || { echo "thumbnail_bench: vipsthumbnail made $(ls "$work/vips" | wc -l) of $files" >&2; exit 1; }
subset=("$work"/in/*.JPG)
subset=("${subset[@]:0:$convert_files}")
convert_s=$(seconds bash -c 'for f in "$@"; do convert "$f" -thumbnail 220x165 "'"$work"'/convert/$(basename "$f")"; done' _ "${subset[@]}")

vips_fps=$(echo "$files / $vips_s" | bc -l)
convert_fps=$(echo "${#subset[@]} / $convert_s" | bc -l)
printf 'vipsthumbnail -s 220x165: %.1f files/s (%.2f s for %d files)\n' "$vips_fps" "$vips_s" "$files"
printf 'convert -thumbnail 220x165: %.2f files/s (%.2f s for %d files, one process each)\n' "$convert_fps" "$convert_s" "${#subset[@]}"
printf 'ratios: final / vipsthumbnail %.2f, stage 2 / vipsthumbnail %.2f, final / convert %.1f, stage 1 / 500 files/s %.2f\n' \
  "$(echo "$final / $vips_fps" | bc -l)" "$(echo "$stage2 / $vips_fps" | bc -l)" "$(echo "$final / $convert_fps" | bc -l)" \
  "$(echo "$stage1 / 500" | bc -l)"
printf 'processor time per file: builder %.1f ms, vipsthumbnail %.1f ms (%.2f)\n' "$ours_cpu" "$vips_ms" \
  "$(echo "$vips_ms / $ours_cpu" | bc -l)"
printf 'thumbnails: stage1 %.1f files/s, final %.1f files/s, vipsthumbnail %.1f files/s, memory %.1f MB per 3000\n' \
  "$stage1" "$final" "$vips_fps" "$memory"
