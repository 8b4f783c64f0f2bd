#!/usr/bin/env bash
# Fails when a source file includes a header from a layer above its own, or
# when anything but the main window and its layout includes MainForm.h, or
# when two headers outside the core share a name.
# Layers, lowest first: src/core; the back ends and widgets (src/engine,
# src/capture, src/ui); the Qt layer's folders (src/app/recorder, capture,
# post, shell) and Stampel; the main window and its wiring (src/app); the
# programs. A file may include headers of its own layer and those below.
set -euo pipefail
cd "$(dirname "$0")/.."

rank_of() {
  case "$1" in
    src/core*) echo 0 ;;
    src/engine|src/capture|src/ui) echo 1 ;;
    src/app/recorder|src/app/capture|src/app/post|src/app/shell|src/stampel) echo 2 ;;
    src/app) echo 3 ;;
    src/programs*) echo 4 ;;
    *) echo 9 ;;
  esac
}

# The folder of every header outside the core, by its file name. Headers are
# included by name alone there, so two of one name would be taken for each
# other (and two classes of one name break the program that links both).
bad=0
declare -A home
while IFS= read -r header; do
  name=$(basename "$header")
  if [[ -n "${home[$name]:-}" ]]; then
    echo "layer-check: $header and ${home[$name]}/$name share a name" >&2
    bad=1
  fi
  home[$name]=$(dirname "$header")
done < <(find src/engine src/capture src/ui src/app src/stampel src/programs -name '*.h' | sort)

while IFS= read -r file; do
  folder=$(dirname "$file")
  own=$(rank_of "$folder")
  while IFS= read -r included; do
    target=${home[$included]:-}
    [[ -z "$target" ]] && continue  # the core, Qt, the system
    theirs=$(rank_of "$target")
    if (( theirs > own )); then
      echo "layer-check: $file includes $included from $target, a layer above its own" >&2
      bad=1
    fi
  done < <(sed -n 's/^#include "\([^"]*\)".*/\1/p' "$file" | xargs -rn1 basename)
done < <(find src -name '*.cpp' -o -name '*.h' | sort)

# The form is laid out by the window alone; collaborators get their groups.
while IFS= read -r file; do
  case "$file" in
    src/app/MainForm.cpp|src/app/MainForm.h|src/app/MainWindow.cpp) ;;
    *) echo "layer-check: $file includes MainForm.h" >&2; bad=1 ;;
  esac
done < <(grep -rl '#include "MainForm.h"' src | sort)

[[ $bad -eq 0 ]] && echo "layer-check: no include reaches a layer above its own"
exit $bad
