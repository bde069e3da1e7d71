#!/usr/bin/env bash
# Each module folder includes only the modules it may depend on (the rule at the top of its
# CMakeLists.txt), and the modules without widgets include no Qt Widgets or printing header.
set -euo pipefail
root=${1:?source folder}
declare -A allowed=(
  [engine]=""
  [jpeg]=""
  [metadata]="jpeg"
  [imageio]="engine metadata jpeg"
  [settings]="engine imageio"
  [document]="engine imageio metadata settings"
  [batch]="engine imageio metadata settings"
  [browser]="engine jpeg imageio metadata settings"
)
no_qt=(engine jpeg)
status=0
for module in "${!allowed[@]}"; do
  [ -d "$root/$module" ] || continue
  while IFS= read -r line; do
    file=${line%%:*}
    dep=$(sed -E 's/.*#include "([a-z_]+)\/.*/\1/' <<<"$line")
    [ "$dep" = "$module" ] && continue
    if ! grep -qw -- "$dep" <<<"${allowed[$module]}"; then
      echo "$file includes $dep/, which $module/ may not depend on"
      status=1
    fi
  done < <(grep -rHE '^#include "[a-z_]+/' "$root/$module" --include='*.h' --include='*.cpp' || true)
  if grep -rlE '^#include <(QtWidgets/|QtPrintSupport/)?Q(Widget|Dialog|Application|MessageBox|Printer|PrinterInfo|AbstractScrollArea|MainWindow|Label|LineEdit|PushButton)\b' \
      "$root/$module" --include='*.h' --include='*.cpp'; then
    echo "$module/ includes a widget or printing header"
    status=1
  fi
done
for module in "${no_qt[@]}"; do
  if grep -rlE '^#include <Q' "$root/$module" --include='*.h' --include='*.cpp'; then
    echo "$module/ includes Qt"
    status=1
  fi
done
exit $status
