#!/usr/bin/env bash
# End-to-end: starts the real program under Xvfb with a corpus image, takes screenshots of the
# X screen and checks that the window shows the image at 100 % and the settings panel beside it,
# then that Ctrl+2 shows it at 200 %.
# Usage: e2e_screenshot.sh <ormensura> <corpus folder> <work folder>
# Exit 77 (skipped) when the corpus or the X tools are missing.
set -uo pipefail
program=$1
corpus=$2
work=$3
image_name=shira_bird8.bmp   # a 24-bit photo stored without loss: the preview must hold its exact pixels
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

if [ -z "$corpus" ] || [ ! -f "$corpus/$image_name" ]; then
  echo "corpus image $image_name not found: skipped"; exit 77
fi
for tool in xvfb-run import convert python3 xdotool; do
  command -v "$tool" >/dev/null || { echo "$tool missing: skipped"; exit 77; }
done

rm -rf "$work"
mkdir -p "$work/home" "$work/config" "$work/data" "$work/cache" "$work/runtime"
chmod 700 "$work/runtime"
cp "$corpus/$image_name" "$work/$image_name"
convert "$work/$image_name" "$work/source.ppm"
convert "$work/source.ppm" -scale 200% "$work/source200.ppm"   # each pixel repeated

cat > "$work/session.sh" <<SESSION
#!/usr/bin/env bash
export HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data"
export XDG_CACHE_HOME="$work/cache" XDG_RUNTIME_DIR="$work/runtime"
unset QT_QPA_PLATFORM
"$program" "$work/$image_name" > "$work/program.log" 2>&1 &
pid=\$!
status=1
for attempt in \$(seq 1 40); do
  sleep 0.5
  if ! kill -0 \$pid 2>/dev/null; then echo "the program ended early"; break; fi
  import -window root "$work/screen.png" 2>/dev/null || continue
  convert "$work/screen.png" "$work/screen.ppm" || continue
  if python3 "$here/e2e_check.py" "$work/screen.ppm" "$work/source.ppm" > "$work/check.log" 2>&1; then
    status=0; break
  fi
done
cat "$work/check.log"
# Ctrl+2 (typed on the real keyboard of the X server) zooms to 200 %: every pixel a 2 x 2 block.
if [ \$status -eq 0 ]; then
  status=1
  window=\$(xdotool search --pid \$pid --name "$image_name" | head -1)
  [ -n "\$window" ] && xdotool windowfocus --sync \$window 2>/dev/null
  xdotool key ctrl+2
  for attempt in \$(seq 1 20); do
    sleep 0.5
    import -window root "$work/zoom.png" 2>/dev/null || continue
    convert "$work/zoom.png" "$work/zoom.ppm" || continue
    if python3 "$here/e2e_check.py" --picture "$work/zoom.ppm" "$work/source200.ppm" > "$work/zoom.log" 2>&1; then
      status=0; break
    fi
  done
  echo "200 %:"; cat "$work/zoom.log"
fi
kill \$pid 2>/dev/null
wait \$pid 2>/dev/null
exit \$status
SESSION
chmod +x "$work/session.sh"

xvfb-run -a -s "-screen 0 1280x900x24" "$work/session.sh"
status=$?
echo "screenshot: $work/screen.png"
[ $status -eq 0 ] || { echo "program output:"; cat "$work/program.log"; }
exit $status
