#!/usr/bin/env bash
# ormensura-cli runs where no desktop is installed: it must not load Qt Widgets or PrintSupport.
set -euo pipefail
libs=$(ldd "${1:?path of ormensura-cli}")
if grep -E 'libQt6(Widgets|PrintSupport)' <<<"$libs"; then
  echo "ormensura-cli links widgets or printing support"
  exit 1
fi
grep -q 'libQt6Gui' <<<"$libs" || { echo "ldd did not list the Qt libraries"; exit 1; }
