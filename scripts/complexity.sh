#!/bin/bash
# Lists every function in src/ and tools/ longer than 60 lines or with a
# cyclomatic complexity over 20 (each case of a switch counts), longest
# first, as: complexity, lines, file(line): function. Exits 1 when it lists
# any, so a review can run it as a check. The counts come from pmccabe.
# Usage: scripts/complexity.sh [MAX_LINES [MAX_COMPLEXITY]]
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/packages.sh
command -v pmccabe >/dev/null || InstallMissing pmccabe

max_lines=${1:-60}
max_complexity=${2:-20}

# pmccabe's columns: modified and traditional complexity, statements, first
# line, lines, then "file(line): function". Its parser warnings on stderr
# (templates, lambdas) do not change the counts of the functions around them,
# and it exits non-zero after them, which is not a failure here.
found=$(set +o pipefail; git ls-files -- 'src/*.cpp' 'src/*.h' 'tools/*.cpp' 'tools/*.h' |
  xargs pmccabe 2>/dev/null |
  awk -F'\t' -v l="$max_lines" -v c="$max_complexity" \
    '$2 > c || $5 > l { printf "%4d %5d  %s\n", $2, $5, $6 }' |
  sort -k2,2nr -k1,1nr)

if [ -z "$found" ]; then
  echo "no function over $max_lines lines or complexity $max_complexity"
  exit 0
fi
echo "complexity lines  function (over $max_lines lines or complexity $max_complexity)"
echo "$found"
exit 1
