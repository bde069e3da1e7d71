#!/usr/bin/env bash
# Installs the built project into a temporary prefix (with a space in its name) and checks the
# installed tree: every file in its place, the launcher and the AppStream file valid, the icon
# sizes right, the manual pages readable; then, under Xvfb, the installed program starts, finds
# its help page (F1 hands it to the desktop's opener) and its colour scheme, and a copy of the
# program without its share/ folder says what is missing.
# Usage: installed_tree_test.sh <build folder> <work folder>. Exit 77 (skipped) when a tool is missing.
set -uo pipefail
build=$1
work=$2
for tool in cmake desktop-file-validate appstreamcli identify groff; do
  command -v "$tool" >/dev/null || { echo "$tool missing: skipped"; exit 77; }
done

rm -rf "$work"
mkdir -p "$work"
prefix="$work/my prefix"
status=0
fail() { echo "FAIL: $*"; status=1; }

cmake --install "$build" --prefix "$prefix" > "$work/install.log" 2>&1 || { cat "$work/install.log"; exit 1; }

files=(
  bin/ormensura bin/ormensura-cli
  share/applications/ormensura.desktop
  share/metainfo/com.orvenimaging.mensura.metainfo.xml
  share/icons/hicolor/scalable/apps/ormensura.svg
  share/ormensura/ormensura.html share/ormensura/Res/resourses.ini
  share/man/man1/ormensura.1 share/man/man1/ormensura-cli.1
)
sizes=(16 22 24 32 48 64 128 256)
for s in "${sizes[@]}"; do files+=("share/icons/hicolor/${s}x${s}/apps/ormensura.png"); done
for f in "${files[@]}"; do [ -s "$prefix/$f" ] || fail "$f is not installed"; done
for f in bin/ormensura bin/ormensura-cli; do [ -x "$prefix/$f" ] || fail "$f is not executable"; done
# Nothing else lands in bin/ (the help page used to).
extra=$(ls "$prefix/bin" | grep -v -x -e ormensura -e ormensura-cli)
[ -z "$extra" ] || fail "unexpected files in bin/: $extra"

launcher="$prefix/share/applications/ormensura.desktop"
desktop-file-validate "$launcher" > "$work/validate.log" 2>&1 || { cat "$work/validate.log"; fail "desktop-file-validate"; }
[ -s "$work/validate.log" ] && { cat "$work/validate.log"; fail "desktop-file-validate printed hints"; }
# The launcher starts the installed program by its path (quoted: the prefix has a space).
grep -qxF "Exec=\"$prefix/bin/ormensura\" %F" "$launcher" || fail "Exec line: $(grep ^Exec= "$launcher")"
grep -qx "MimeType=image/jpeg;image/png;image/tiff;image/bmp;image/gif;image/webp;image/heic;image/heif;image/avif;" "$launcher" || fail "MimeType line"
appstreamcli validate --no-net "$prefix/share/metainfo/com.orvenimaging.mensura.metainfo.xml" > "$work/appstream.log" 2>&1 \
  || { cat "$work/appstream.log"; fail "appstreamcli validate"; }

for s in "${sizes[@]}"; do
  got=$(identify -format '%wx%h' "$prefix/share/icons/hicolor/${s}x${s}/apps/ormensura.png" 2>/dev/null)
  [ "$got" = "${s}x${s}" ] || fail "icon ${s}x${s} is $got"
done
for page in ormensura ormensura-cli; do
  warnings=$(groff -ww -z -man "$prefix/share/man/man1/$page.1" 2>&1)
  [ -z "$warnings" ] || fail "man page $page: $warnings"
done
"$prefix/bin/ormensura-cli" --version > /dev/null || fail "the installed ormensura-cli does not run"

if ! command -v xvfb-run >/dev/null || ! command -v xdotool >/dev/null; then
  echo "xvfb-run or xdotool missing: the installed program's start is not checked"
  [ $status -eq 0 ] && exit 77
  exit $status
fi

# The desktop's opener is replaced by one that notes what it was asked to open.
mkdir -p "$work/fakebin" "$work/home" "$work/runtime"
chmod 700 "$work/runtime"
cat > "$work/fakebin/xdg-open" <<OPENER
#!/bin/sh
printf '%s\n' "\$1" >> "$work/opened"
OPENER
chmod +x "$work/fakebin/xdg-open"

# A copy of the program without its share/ folder.
mkdir -p "$work/bare/bin"
cp "$prefix/bin/ormensura" "$work/bare/bin/"

cat > "$work/session.sh" <<SESSION
#!/usr/bin/env bash
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/config" XDG_DATA_HOME="$work/home/data"
export XDG_CACHE_HOME="$work/home/cache" XDG_RUNTIME_DIR="$work/runtime"
export PATH="$work/fakebin:\$PATH"
unset QT_QPA_PLATFORM
result=0

"$prefix/bin/ormensura" > "$work/program.log" 2>&1 &
pid=\$!
wid=\$(timeout 30 xdotool search --sync --onlyvisible --name "^ORVEN Mensura" | head -1)
if [ -z "\$wid" ]; then echo "the installed program shows no window"; result=1; fi
if [ -n "\$wid" ]; then
  for attempt in \$(seq 1 20); do
    xdotool windowfocus --sync "\$wid" 2>/dev/null
    xdotool key F1
    sleep 0.5
    [ -s "$work/opened" ] && break
  done
fi
kill \$pid 2>/dev/null; wait \$pid 2>/dev/null

"$work/bare/bin/ormensura" > "$work/bare.log" 2>&1 &
pid=\$!
for attempt in \$(seq 1 40); do
  grep -q "colour scheme" "$work/bare.log" && break
  sleep 0.5
done
kill \$pid 2>/dev/null; wait \$pid 2>/dev/null
exit \$result
SESSION
chmod +x "$work/session.sh"
xvfb-run -a -s "-screen 0 1280x900x24" "$work/session.sh" || fail "the session under Xvfb"

opened=$(head -1 "$work/opened" 2>/dev/null)
expected="file://$prefix/share/ormensura/ormensura.html"
decoded=$(python3 -c 'import sys, urllib.parse; print(urllib.parse.unquote(sys.argv[1]))' "$opened" 2>/dev/null)
[ "$decoded" = "$expected" ] || fail "F1 opened '$opened', not $expected"
if grep -q "^ormensura: the .* is missing" "$work/program.log"; then cat "$work/program.log"; fail "the installed program misses a file"; fi
grep -q "the help page $work/bare/bin/ormensura.html is missing" "$work/bare.log" || { cat "$work/bare.log"; fail "no word about the missing help page"; }
grep -q "the colour scheme $work/bare/bin/Res/resourses.ini is missing" "$work/bare.log" || fail "no word about the missing colour scheme"
exit $status
