#!/usr/bin/env bash
# Lists the functions defined at namespace scope in src/ that are longer than
# LIMIT lines (default 80), longest first. The layout the repository keeps
# (.clang-format) puts such a function's first and last line in column 0.
set -euo pipefail
cd "$(dirname "$0")/.."
limit=${1:-80}
find src -name '*.cpp' | sort | while IFS= read -r file; do
  awk -v file="$file" -v limit="$limit" '
    /^[A-Za-z].*[)] (const )?(override )?[{]$/ || /^[A-Za-z].*[)] : / { start = NR; name = $0; next }
    /^[A-Za-z].*[)]$/ && !start { start = NR; name = $0; next }
    /^}/ && start { len = NR - start + 1; if (len > limit) printf "%5d %s:%d %s\n", len, file, start, name; start = 0 }
  ' "$file"
done | sort -rn
