#!/usr/bin/env bash
# minijpeg end to end: encode a PPM and a PGM, decode them back, and refuse a progressive JPEG
# with "Jpeg error", the file name and a non-zero exit status; refuse a folder, a named pipe and
# a device as input with a message (no abort, no hang), and leave no temporary file behind.
#   minijpeg_smoke_test.sh MINIJPEG
set -euo pipefail
tool=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A 19 x 11 colour gradient and a 5 x 3 grey ramp.
{ printf 'P6\n19 11\n255\n'; for ((y = 0; y < 11; y++)); do for ((x = 0; x < 19; x++)); do
    printf "\\$(printf %03o $((x * 13)))\\$(printf %03o $((y * 23)))\\$(printf %03o 128)"; done; done; } >"$work/c.ppm"
{ printf 'P5\n5 3\n255\n'; for ((i = 0; i < 15; i++)); do printf "\\$(printf %03o $((i * 17)))"; done; } >"$work/g.pgm"

"$tool" encode "$work/c.ppm" "$work/c.jpg" --quality 80 --422 --single-dqt --dpi 300
info=$("$tool" decode "$work/c.jpg" "$work/c2.ppm")
grep -qx 'width 19' <<<"$info"
grep -qx 'height 11' <<<"$info"
grep -qx 'components 3' <<<"$info"
grep -qx 'density unit 2 (dpi)' <<<"$info"
grep -qx 'x density 300' <<<"$info"
head -c 2 "$work/c2.ppm" | grep -q P6

"$tool" encode "$work/g.pgm" "$work/g.jpg"
info=$("$tool" decode "$work/g.jpg" "$work/g2.pgm")
grep -qx 'components 1' <<<"$info"
head -c 2 "$work/g2.pgm" | grep -q P5

# A progressive stream: the frame marker of the baseline file turned into 0xC2.
python3 - "$work/c.jpg" "$work/p.jpg" <<'PY'
import sys
b = bytearray(open(sys.argv[1], 'rb').read())
b[b.index(b'\xff\xc0') + 1] = 0xC2
open(sys.argv[2], 'wb').write(b)
PY
if "$tool" decode "$work/p.jpg" "$work/p.ppm" 2>"$work/err"; then
  echo "progressive JPEG was not refused" >&2; exit 1
fi
grep -q "Jpeg error: $work/p.jpg" "$work/err"
[ ! -e "$work/p.ppm" ]
# Not files: a folder, a named pipe without a writer, a device. Each is refused at once with
# exit status 3 and a reason; nothing is written.
mkfifo "$work/pipe.jpg"
ln -s /dev/zero "$work/zero.jpg"
for input in "$work" "$work/pipe.jpg" "$work/zero.jpg"; do
  set +e
  timeout 20 "$tool" decode "$input" "$work/x.ppm" 2>"$work/err"
  status=$?
  set -e
  [ "$status" -eq 3 ] || { echo "decode $input: exit $status" >&2; cat "$work/err" >&2; exit 1; }
  grep -q "minijpeg: cannot read $input: it is a" "$work/err" || { cat "$work/err" >&2; exit 1; }
  [ ! -e "$work/x.ppm" ]
done

# The output replaces a link at its name (never the file the link points to), and the writer
# leaves no temporary file.
echo keep >"$work/target.txt"
ln -s "$work/target.txt" "$work/linked.ppm"
"$tool" decode "$work/c.jpg" "$work/linked.ppm" >/dev/null
[ "$(cat "$work/target.txt")" = keep ]
[ ! -L "$work/linked.ppm" ] && head -c 2 "$work/linked.ppm" | grep -q P6
if ls -A "$work" | grep -q 'tmp'; then echo "temporary file left" >&2; ls -A "$work" >&2; exit 1; fi
echo "minijpeg smoke test passed"
