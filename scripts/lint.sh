#!/usr/bin/env bash
# Checks the tree's formatting (C++ with clang-format, the page scripts and
# browser tests with eslint). `scripts/lint.sh --fix` rewrites instead.
set -euo pipefail
cd "$(dirname "$0")/.."

mapfile -t cxx < <(git ls-files '*.cpp' '*.h')
eslint=tests/browser/node_modules/.bin/eslint
js=('src/**/assets/*.js' 'tests/browser/*.mjs')

if [ "${1:-}" = "--fix" ]; then
  clang-format -i "${cxx[@]}"
  "$eslint" --config tests/browser/eslint.config.js --fix "${js[@]}"
else
  clang-format --dry-run --Werror "${cxx[@]}"
  "$eslint" --config tests/browser/eslint.config.js "${js[@]}"
fi
echo "lint: ${#cxx[@]} C++ files and the page scripts are clean"
