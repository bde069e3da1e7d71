#!/usr/bin/env bash
# The journeys of journeys.sh, inside the X session. Every wait is for a condition (a window, a
# file), bounded; nothing waits a fixed time.
set -uo pipefail
program=$1
work=$2
failures=0
pid=

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# Waits (at most ~20 s) for condition "$@" to hold.
wait_for() {
  for _ in $(seq 1 200); do
    "$@" && return 0
    sleep 0.1
  done
  return 1
}

# Prints a visible window whose name matches $1 and that is not in $known.
new_window() {
  local id
  for id in $(xdotool search --onlyvisible --name "$1" 2>/dev/null); do
    case " $known " in *" $id "*) ;; *) echo "$id"; return 0 ;; esac
  done
  return 1
}

# Waits for a new window named like $1, gives it the focus and sets $win.
take_window() {
  win=
  for _ in $(seq 1 200); do
    win=$(new_window "$1") && break
    sleep 0.1
  done
  [ -n "$win" ] || return 1
  known="$known $win"
  xdotool windowfocus --sync "$win" 2>/dev/null
  return 0
}

# Presses key $1 until a new window named like $2 appears (a window that has just opened may
# not take keys yet), then gives it the focus and sets $win.
press_for_window() {
  local tries
  win=
  for tries in $(seq 1 20); do
    xdotool key "$1"
    for _ in $(seq 1 20); do
      win=$(new_window "$2") && break 2
      sleep 0.1
    done
  done
  [ -n "$win" ] || return 1
  known="$known $win"
  xdotool windowfocus --sync "$win" 2>/dev/null
  return 0
}

# Starts the program in a fresh home with the given files; sets $pid and $known.
start() {
  local home=$work/home-$1
  shift
  mkdir -p "$home/runtime"
  chmod 700 "$home/runtime"
  known=
  HOME=$home XDG_CONFIG_HOME=$home/.config XDG_DATA_HOME=$home/.local/share \
    XDG_CACHE_HOME=$home/.cache XDG_RUNTIME_DIR=$home/runtime QT_QPA_PLATFORM=xcb \
    "$program" "$@" >"$work/program.log" 2>&1 &
  pid=$!
  take_window "ORVEN Mensura"
}

stop() {
  kill "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
}

photos() {  # three photos in folder $1
  mkdir -p "$1"
  /usr/bin/convert -size 120x80 gradient:red-blue "$1/a.png"
  /usr/bin/convert -size 90x60 plasma:fractal -seed 3 "$1/b.jpg"
  /usr/bin/convert -size 64x64 gradient:green-white "$1/c.png"
}

count_files() { [ "$(ls "$1" 2>/dev/null | wc -l)" -eq "$2" ]; }

journey_b() {
  photos "$work/b"
  start b "$work/b/a.png" "$work/b/b.jpg" "$work/b/c.png" || { fail "b: no window"; return; }
  local out=$work/home-b/Pictures/Resized_Images
  press_for_window ctrl+r "Batch Settings" || { fail "b: Ctrl+R opened no Batch Settings"; stop; return; }
  xdotool key Return                        # OK
  take_window "ORVEN Mensura" && xdotool key Return   # "Create this folder?": Yes
  wait_for count_files "$out" 3 || fail "b: not three outputs in $out: $(ls "$out" 2>&1)"
  stop
}

journey_d() {
  photos "$work/d"
  (cd "$work/d" && md5sum a.png b.jpg c.png) >"$work/d.md5"
  start d "$work/d/a.png" "$work/d/b.jpg" "$work/d/c.png" || { fail "d: no window"; return; }
  local main=$win
  for answer in Escape Return; do
    xdotool windowfocus --sync "$main" 2>/dev/null
    press_for_window ctrl+r "Batch Settings" || { fail "d: no Batch Settings"; break; }
    xdotool key ctrl+a
    xdotool type --delay 5 "$work/d"
    xdotool key Return
    take_window "ORVEN Mensura" || { fail "d: no question before replacing the originals"; break; }
    xdotool key "$answer"
    if [ "$answer" = Escape ]; then
      # Cancel: nothing runs. The window answers Ctrl+R again only once the question is gone.
      continue
    fi
    wait_for count_files "$work/d" 6 || fail "d: no outputs with new names: $(ls "$work/d")"
  done
  (cd "$work/d" && md5sum -c --quiet "$work/d.md5") || fail "d: an original changed"
  [ "$(ls "$work/d" | grep -c _RESIZED_TO_)" -eq 3 ] || fail "d: $(ls "$work/d")"
  stop
}

# Prints the width of image $1 (Debian's ImageMagick), or nothing.
width_of() { /usr/bin/identify -format '%w' "$1" 2>/dev/null; }

journey_a() {
  photos "$work/a"
  start a || { fail "a: no window"; return; }
  local main=$win
  press_for_window ctrl+o "Open" || { fail "a: Ctrl+O opened no Open dialog"; stop; return; }
  xdotool type --delay 5 "$work/a/a.png"
  xdotool key Return
  xdotool windowfocus --sync "$main" 2>/dev/null
  wait_for sh -c "xdotool search --onlyvisible --name '^a.png' >/dev/null" ||
    { fail "a: the image did not open"; stop; return; }
  xdotool key alt+w ctrl+a
  xdotool type --delay 5 "60"
  xdotool key Return                        # confirms the field
  press_for_window ctrl+s "Save" || { fail "a: Ctrl+S opened no Save dialog"; stop; return; }
  xdotool key ctrl+a
  xdotool type --delay 5 "$work/a/small.png"
  xdotool key Return
  wait_for test -s "$work/a/small.png" || { fail "a: nothing saved: $(ls "$work/a")"; stop; return; }
  wait_for sh -c "[ \"\$(/usr/bin/identify -format '%w' '$work/a/small.png' 2>/dev/null)\" = 60 ]" ||
    fail "a: saved $(width_of "$work/a/small.png") pixels wide, not 60"
  stop
}

journey_a
journey_d
journey_b
[ $failures -eq 0 ] && echo "journeys passed"
exit $((failures > 0))
