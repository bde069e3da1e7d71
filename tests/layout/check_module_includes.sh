#!/usr/bin/env bash
# Every folder of the tree includes only what the module rules (cmake/module_rules.txt) let it:
# the folders of its row and its own, no Qt where the row says none, no widget or printing header
# where it says core. A file belongs to the longest folder of the rules that holds it; an
# included path is looked up from the tree's root and from app/ (the command line's own include
# folder), and belongs to the longest folder of the rules that holds what it names.
set -euo pipefail
root=${1:?source folder}
rules=$root/cmake/module_rules.txt

folders=()
declare -A qt uses
while read -r folder library level rest; do
  [[ -z "$folder" || "$folder" == \#* ]] && continue
  folders+=("$folder")
  qt[$folder]=$level
  uses[$folder]=" $rest "
done <"$rules"
# Longest first, so app/cli is found before app.
mapfile -t folders < <(printf '%s\n' "${folders[@]}" | awk '{ print length, $0 }' | sort -rn | cut -d' ' -f2-)

owner() {  # sets $owned to the folder of the rules that holds a path (relative to the root)
  owned=
  local f
  for f in "${folders[@]}"; do
    if [[ "$1" == "$f"/* ]]; then
      owned=$f
      return
    fi
  done
}

widget='^#include <(QtWidgets/|QtPrintSupport/)?Q(Widget|Dialog|Application|MessageBox|Printer|PrinterInfo|AbstractScrollArea|MainWindow|Label|LineEdit|PushButton)\b'
status=0
for top in $(printf '%s\n' "${folders[@]}" | cut -d/ -f1 | sort -u); do
  [ -d "$root/$top" ] || continue
  while IFS= read -r -d '' path; do
    file=${path#"$root"/}
    owner "$file"
    module=$owned
    while IFS= read -r included; do
      target=$included
      [ -e "$root/$included" ] || { [ -e "$root/app/$included" ] && target=app/$included; }
      owner "$target"
      dep=$owned
      [ -z "$dep" ] || [ "$dep" = "$module" ] && continue
      if [[ "${uses[$module]}" != *" * "* && "${uses[$module]}" != *" $dep "* ]]; then
        echo "$file includes $included ($dep/), which $module/ may not use"
        status=1
      fi
    done < <(sed -nE 's/^#include "([^"]+)".*/\1/p' "$path")
    case ${qt[$module]} in
      none) grep -qE '^#include <Q' "$path" && { echo "$file includes Qt ($module/ may not)"; status=1; } ;;
      core) grep -qE "$widget" "$path" && { echo "$file includes a widget or printing header ($module/ may not)"; status=1; } ;;
    esac
  done < <(find "$root/$top" \( -name '*.h' -o -name '*.cpp' \) -print0)
done
exit $status
