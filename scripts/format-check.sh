#!/usr/bin/env bash
# Fails when a source file is not laid out as the repository's .clang-format
# says; prints the first differences. Run `clang-format -i <file>` to mend one.
set -euo pipefail
cd "$(dirname "$0")/.."
command -v clang-format >/dev/null || { echo "format-check: clang-format is not installed" >&2; exit 1; }
mapfile -d '' files < <(find src tests bench tools \( -name '*.cpp' -o -name '*.h' -o -name '*.c' \) -print0 | sort -z)
bad=0
for f in "${files[@]}"; do
  if ! clang-format --dry-run --Werror "$f" >/dev/null 2>&1; then
    echo "format-check: $f is not formatted:" >&2
    diff -u "$f" <(clang-format "$f") | head -n 20 >&2 || true
    bad=1
  fi
done
[[ $bad -eq 0 ]] && echo "format-check: ${#files[@]} files laid out as .clang-format says"
exit $bad
