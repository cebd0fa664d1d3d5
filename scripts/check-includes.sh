#!/usr/bin/env bash
# Fails when a source file includes a header from a folder on a higher floor. The floors, bottom
# to top, are kept here and nowhere else; folders of one floor may include each other.
# Every spelling counts: "folder/Header.h", <folder/Header.h>, "../folder/Header.h", and a
# form's generated "ui_form.h", which belongs to the folder of the class the form is for.
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

sources=$(for dir in "${!floor_of[@]}"; do git ls-files -- "$dir/*.cpp" "$dir/*.h" "$dir/*.c"; done)

status=0

# forms/x.ui is compiled into ui_x.h; its <class> (less a "Class" ending) names the widget
# class whose header places the form in a folder.
declare -A header_folder
while IFS= read -r header; do
  name=${header##*/}
  header_folder[${name,,}]=${header%%/*}
done < <(grep -E '^[^/]+/[^/]+\.h$' <<<"$sources")
declare -A form_folder
for form in forms/*.ui; do
  [ -e "$form" ] || continue
  class=$(grep -m 1 -o '<class>[^<]*</class>' "$form" || true)
  class=${class#<class>}
  class=${class%</class>}
  class=${class%Class}
  folder=${header_folder[${class,,}.h]:-}
  if [ -z "$folder" ]; then
    echo "$form: no header found for its class '${class}'"
    status=1
    continue
  fi
  name=${form##*/}
  form_folder[${name%.ui}]=$folder
done

# One line per include: file, line, quote character, target.
while IFS=$'\t' read -r file line quote target; do
  dir=${file%%/*}
  own=${floor_of[$dir]}
  to=
  base=${target##*/}
  if [ "$target" = "$base" ] && [[ "$base" == ui_*.h ]]; then
    form=${base#ui_}
    to=${form_folder[${form%.h}]:-}
  elif [ "$quote" = '"' ] && [[ "$target" == ./* || "$target" == ../* ]]; then
    resolved=$(realpath -m --relative-to=. "$(dirname "$file")/$target")
    to=${resolved%%/*}
  elif [[ "$target" == */* ]]; then
    to=${target%%/*}
  fi
  [ -n "$to" ] && [ "$to" != "$dir" ] && [ -n "${floor_of[$to]+set}" ] || continue
  if [ "${floor_of[$to]}" -gt "$own" ]; then
    echo "$file:$line: includes $target from ${to}/, a floor above ${dir}/"
    status=1
  fi
done < <(xargs grep -n -H -E '^[[:space:]]*#[[:space:]]*include[[:space:]]*["<][^">]+[">]' <<<"$sources" |
         sed -E $'s@^([^:]+):([0-9]+):[^"<]*(["<])([^">]+)[">].*@\\1\t\\2\t\\3\t\\4@')

[ "$status" -eq 0 ] && echo "includes: no folder includes from a floor above it"
exit "$status"
