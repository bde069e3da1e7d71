#!/usr/bin/env bash
# Journeys through the real program as a new user makes them: a real X server (Xvfb), real key
# presses (xdotool, XTEST) sent to the window that has the focus, and the files on disk checked.
#   a: open, size and save by keyboard only: Ctrl+O, the path, Alt+W, 60, Enter, Ctrl+S, a
#      name, Enter: a 60-pixel-wide file.
#   b: three photos on the command line, Run (Ctrl+R), Enter, Enter: three outputs in the
#      default folder ~/Pictures/Resized_Images (Enter creates it: Yes is the default).
#   d: a batch into the photos' own folder asks once; Esc (Cancel) leaves every original byte
#      for byte, and Enter (Save with new names) writes beside them.
# Usage: journeys.sh <ormensura> <work folder>. Exit 77 (skipped) without the X tools.
set -uo pipefail
program=$1
work=$2
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
for tool in xvfb-run xdotool /usr/bin/convert; do
  command -v "$tool" >/dev/null || { echo "$tool missing: skipped"; exit 77; }
done
rm -rf "$work"
mkdir -p "$work"
cat > "$work/session.sh" <<SESSION
#!/usr/bin/env bash
exec "$here/journeys_session.sh" "$program" "$work"
SESSION
chmod +x "$work/session.sh"
xvfb-run -a -s "-screen 0 1280x900x24" "$work/session.sh"
