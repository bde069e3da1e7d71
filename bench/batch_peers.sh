#!/usr/bin/env bash
# Batch throughput side by side in one run: N camera JPEGs (13 and 20 MP, with a camera's EXIF
# block) fitted into 1920x1920 (aspect kept) and written as JPEG quality 90, by ormensura-cli and
# by other programs (vipsthumbnail, vips resize, Pillow plain and with draft mode, ImageMagick,
# GraphicsMagick). Every row is the whole job (decode, resize, encode, write) over all N files:
# the median wall time of RUNS runs, MP/s of input, and the cores busy ((user + sys) / wall).
#
#   bench/batch_peers.sh [CLI] [N] [RUNS]     CLI: ormensura-cli (default build/app/ormensura-cli),
#                                             N files (default 12), RUNS (default 3)
#   ROWS="ours-alg4 vips-thumb" bench/...     only those rows
#   ROWS=window bench/...                     only the window's batch beside the command line
#                                             (build/bench/window_batch_bench, when built)
#   BASE_CLI=/path/to/older/ormensura-cli ... adds rows base-alg4 and base-alg4-fast: a before
#                                             and after in the same run
#
# The peers are Debian packages (installed when missing); they are measured here only, never
# linked. The two photos come from Debian's wallpaper packages, fetched once into
# ${BATCH_BENCH_CACHE:-~/.cache/batch-bench}; the EXIF block is copied from the test corpus
# (ORM_CORPUS, default ../shared/corpus or /work/shared/corpus).
set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cli=$(realpath "${1:-$root/build/app/ormensura-cli}"); n=${2:-12}; runs=${3:-3}
py=/usr/bin/python3  # Debian's interpreter: the one python3-pil installs into
[ -x "$cli" ] || { echo "batch_peers: $cli not found (build ormensura-cli first)" >&2; exit 2; }

need=()
for t in vipsthumbnail:libvips-tools mogrify:imagemagick gm:graphicsmagick exiftool:libimage-exiftool-perl \
         bc:bc identify:imagemagick; do
  command -v "${t%%:*}" >/dev/null || need+=("${t#*:}")
done
"$py" -c 'import PIL' 2>/dev/null || need+=(python3-pil)
if [ ${#need[@]} -gt 0 ]; then
  sudo=; [ "$(id -u)" -eq 0 ] || sudo=sudo
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${need[@]}"
fi

corpus=${ORM_CORPUS:-}
for c in "$root/../shared/corpus" /work/shared/corpus; do
  [ -z "$corpus" ] && [ -f "$c/Canon_40D.jpg" ] && corpus=$c
done
[ -n "$corpus" ] || { echo "batch_peers: no corpus with Canon_40D.jpg (set ORM_CORPUS)" >&2; exit 2; }

work=$(mktemp -d /tmp/batchbench.XXXX)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/in"
cache=${BATCH_BENCH_CACHE:-$HOME/.cache/batch-bench}
mkdir -p "$cache"
if [ ! -f "$cache/photo-13mp.jpg" ] || [ ! -f "$cache/photo-20mp.jpg" ]; then
  (cd "$cache" && apt-get download lomiri-wallpapers-16.04 lomiri-wallpapers-20.04 >/dev/null &&
   for d in ./*.deb; do dpkg-deb -x "$d" x; done &&
   cp x/usr/share/backgrounds/Dragonfly_by_Bolly.jpg photo-13mp.jpg &&
   cp x/usr/share/backgrounds/Kleiber_by_Lukas_Baubkus.jpg photo-20mp.jpg && rm -rf x ./*.deb) ||
   { echo "batch_peers: could not fetch the wallpaper packages" >&2; exit 2; }
fi
for s in photo-13mp photo-20mp; do
  cp "$cache/$s.jpg" "$work/$s.jpg"
  exiftool -q -overwrite_original -tagsFromFile "$corpus/Canon_40D.jpg" \
    -all:all --ImageWidth --ImageHeight --ExifImageWidth --ExifImageHeight --ThumbnailImage \
    "$work/$s.jpg" 2>/dev/null
done
for i in $(seq 1 "$n"); do
  if (( i % 2 )); then cp "$work/photo-13mp.jpg" "$work/in/img$i.jpg"; else cp "$work/photo-20mp.jpg" "$work/in/img$i.jpg"; fi
done
mp=$(for f in "$work"/in/*.jpg; do identify -format '%w %h\n' "$f"; done |
     awk '{t += $1 * $2} END {printf "%.1f", t / 1e6}')
echo "# $(date -u +%F) $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)"
echo "# batch of $n JPEGs ($mp MP in all) -> fit 1920x1920, JPEG q90; median of $runs runs"
echo "tool | s | MP/s | cores busy | note"
echo "---|---|---|---|---"

declare -A seconds cores
run() {  # name note command
  local name=$1 note=$2; shift 2
  if [ -n "${ROWS:-}" ] && [[ " $ROWS " != *" $name "* ]]; then return; fi
  local times=() cpus=()
  for r in $(seq 1 "$runs"); do
    rm -rf "$work/out"; mkdir -p "$work/out"
    local t0=$(date +%s.%N)
    /usr/bin/time -f '%U %S' -o "$work/time.txt" bash -c "$*" >/dev/null 2>"$work/err.txt" ||
      { echo "$name | FAILED | | | $(tail -1 "$work/err.txt")"; return; }
    local t1=$(date +%s.%N)
    local wall=$(echo "$t1 - $t0" | bc -l)
    times+=("$wall"); cpus+=("$(awk -v w="$wall" '{print ($1 + $2) / w}' "$work/time.txt")")
  done
  local cnt=$(ls "$work/out" | wc -l)
  local med=$(printf '%s\n' "${times[@]}" | sort -g | awk '{a[NR]=$1} END{print a[int((NR+1)/2)]}')
  local cpu=$(printf '%s\n' "${cpus[@]}" | sort -g | awk '{a[NR]=$1} END{print a[int((NR+1)/2)]}')
  local size=$(identify -format '%wx%h' "$(ls -d "$work"/out/* | head -1)" 2>/dev/null)
  seconds[$name]=$med; cores[$name]=$cpu
  printf '%s | %.2f | %.1f | %.2f | %s (%d files, first %s)\n' "$name" "$med" \
    "$(echo "$mp / $med" | bc -l)" "$cpu" "$note" "$cnt" "$size"
}
in="$work/in"; out="$work/out"
ours="$cli resize $in/*.jpg -o $out/ --width 1920 --height 1920 --quality 90 --quiet"
run ours-alg4 "HQ bicubic (default), full decode" "$ours --algorithm 4"
run ours-alg6 "Smart for Natural Scenes, full decode" "$ours --algorithm 6"
run ours-alg4-fast "HQ bicubic, --fast-decode" "$ours --algorithm 4 --fast-decode"
if [ -n "${BASE_CLI:-}" ]; then
  base="$BASE_CLI resize $in/*.jpg -o $out/ --width 1920 --height 1920 --quality 90 --quiet"
  run base-alg4 "older build: HQ bicubic, full decode" "$base --algorithm 4"
  run base-alg4-fast "older build: HQ bicubic, --fast-decode" "$base --algorithm 4 --fast-decode"
fi
run ours-alg4-par "HQ bicubic, two processes side by side" \
  "ls $in/*.jpg | xargs -P2 -n $(( (n + 1) / 2 )) sh -c '$cli resize \"\$@\" -o $out/ --width 1920 --height 1920 --algorithm 4 --quality 90 --quiet' sh"
run vips-thumb "vipsthumbnail (shrinks on load)" "vipsthumbnail -s 1920x1920 -o $out/%s.jpg[Q=90] $in/*.jpg"
run vips-full "vips resize (full decode, Lanczos 3)" \
  "for f in $in/*.jpg; do w=\$(vipsheader -f width \$f); h=\$(vipsheader -f height \$f); s=\$(echo \"1920 / \$(( w > h ? w : h ))\" | bc -l); vips resize \$f $out/\$(basename \$f)[Q=90] \$s; done"
run pillow "Pillow LANCZOS, EXIF kept" "$py $root/bench/batch_pillow.py $out 0 $in/*.jpg"
run pillow-draft "Pillow draft mode (shrinks on load) + LANCZOS" "$py $root/bench/batch_pillow.py $out 1 $in/*.jpg"
run im-1f "ImageMagick mogrify -resize (Lanczos)" "mogrify -path $out -resize 1920x1920 -quality 90 $in/*.jpg"
run gm-1f "GraphicsMagick mogrify" "cd $in && gm mogrify -output-directory $out -resize 1920x1920 -quality 90 *.jpg"

# The window's batch (offscreen, through its dialogs) beside the command line on the same files,
# run by run; it also says when their outputs differ. Target: at most 1.10.
wbench=$(dirname "$cli")/../bench/window_batch_bench
if [ -x "$wbench" ] && { [ -z "${ROWS:-}" ] || [[ " $ROWS " == *" window "* ]]; }; then
  echo
  "$wbench" --cli "$cli" --runs "$runs" --quality 90 "$in"/*.jpg 2>/dev/null | tail -1 | sed 's/^/window batch: /'
fi

# The targets: ours at most 0.45 of vipsthumbnail's time, --fast-decode at most 0.3, both
# cores busy (1.9).
v=${seconds[vips-thumb]:-}
if [ -n "$v" ]; then
  echo
  for r in ours-alg4 ours-alg4-fast base-alg4 base-alg4-fast; do
    [ -n "${seconds[$r]:-}" ] && printf '%s / vips-thumb = %.2f (target %s), cores busy %.2f (target 1.9)\n' \
      "$r" "$(echo "${seconds[$r]} / $v" | bc -l)" "$([[ $r = *fast ]] && echo '<= 0.3' || echo '<= 0.45')" "${cores[$r]}"
  done
fi
