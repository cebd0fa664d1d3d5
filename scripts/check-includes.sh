#!/usr/bin/env bash
# Fails when a source file includes a header from a folder on a higher floor. The floors, bottom
# to top, are kept here and nowhere else; folders of one floor may include each other.
set -euo pipefail
cd "$(dirname "$0")/.."

floors=(
  "common"
  "libtrov log device"
  "settings_model"
  "widgets"
  "pages chartdlg scriptdlg"
  "settingsdlg"
  "mainwindow multiaxis"
  "app"
)

declare -A floor_of
for i in "${!floors[@]}"; do
  for dir in ${floors[$i]}; do
    floor_of[$dir]=$i
  done
done

status=0
while IFS= read -r file; do
  dir=${file%%/*}
  own=${floor_of[$dir]}
  # Quoted includes that name a folder: "folder/Header.h".
  while IFS=: read -r line target; do
    to=${target%%/*}
    [ "$to" = "$dir" ] && continue
    [ -n "${floor_of[$to]+set}" ] || continue
    if [ "${floor_of[$to]}" -gt "$own" ]; then
      echo "$file:$line: includes $target from ${to}/, a floor above ${dir}/"
      status=1
    fi
  done < <(grep -n -E '^[[:space:]]*#[[:space:]]*include[[:space:]]+"[^"]+/' "$file" |
           sed -E 's@^([0-9]+):[^"]*"([^"]+)".*@\1:\2@')
done < <(for dir in "${!floor_of[@]}"; do git ls-files -- "$dir/*.cpp" "$dir/*.h" "$dir/*.c"; done)

[ "$status" -eq 0 ] && echo "includes: no folder includes from a floor above it"
exit "$status"
