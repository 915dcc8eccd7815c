#!/usr/bin/env bash
# Checks the tree's formatting (C++ with clang-format, the page scripts and
# browser tests with eslint). `scripts/lint.sh --fix` rewrites instead.
set -euo pipefail
cd "$(dirname "$0")/.."

mapfile -t cxx < <(git ls-files '*.cpp' '*.h')
eslint=(tests/browser/node_modules/.bin/eslint --config tests/browser/eslint.config.js)
# Scripts holding %MARKER% placeholders (filled when the page is written) are
# linted with each marker read as a plain value; they are never rewritten.
mapfile -t templated < <(git grep -lE '%[A-Z_]+%' -- 'src/**/assets/*.js')
js=('src/**/assets/*.js' 'tests/browser/*.mjs')
ignore=()
for f in "${templated[@]}"; do ignore+=(--ignore-pattern "$f"); done

if [ "${1:-}" = "--fix" ]; then
  clang-format -i "${cxx[@]}"
  "${eslint[@]}" --fix "${ignore[@]}" "${js[@]}"
else
  clang-format --dry-run --Werror "${cxx[@]}"
  "${eslint[@]}" "${ignore[@]}" "${js[@]}"
fi
for f in "${templated[@]}"; do
  sed -E 's/%[A-Z_]+%/0/g' "$f" | "${eslint[@]}" --stdin --stdin-filename "$f"
done
echo "lint: ${#cxx[@]} C++ files and the page scripts are clean"
