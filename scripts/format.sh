#!/usr/bin/env bash
# Checks that the C++ sources keep the layout .clang-format gives them; --fix rewrites them to it.
# Usage: bash scripts/format.sh [--fix]
set -uo pipefail
cd "$(dirname "$0")/.."
mapfile -t sources < <(git ls-files '*.cpp' '*.h' '*.c')
if [ "${1:-}" = --fix ]; then
    exec clang-format -i "${sources[@]}"
fi
report=$(mktemp)
trap 'rm -f "$report"' EXIT
if ! clang-format --dry-run --Werror "${sources[@]}" 2>"$report"; then
    grep -oE '^[^ :]+\.(cpp|h|c):[0-9]+' "$report" | awk '!seen[$0]++' | head -20
    echo "Format: the lines above differ from .clang-format (bash scripts/format.sh --fix rewrites them)"
    exit 1
fi
echo "Format: ${#sources[@]} files laid out as .clang-format says"
