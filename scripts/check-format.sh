#!/usr/bin/env bash
# Fails when a tracked C++ source differs from what clang-format makes of it (.clang-format), or has
# a line longer than its 120 columns that clang-format leaves alone (a comment, a string).
#   check-format.sh [--fix]: --fix formats the files in place instead.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files '*.cpp' '*.h')
if [ "${1:-}" = "--fix" ]; then
  clang-format -i "${files[@]}"
  exit
fi
status=0
clang-format --dry-run -Werror "${files[@]}" || status=1
python3 - "${files[@]}" <<'PY' || status=1
import sys
long = [f"{p}:{n}: {len(l)} columns" for p in sys.argv[1:]
        for n, l in enumerate(open(p, encoding="utf-8").read().split("\n"), 1) if len(l) > 120]
print("\n".join(long)) if long else None
sys.exit(1 if long else 0)
PY
[ $status -eq 0 ] && echo "format clean: ${#files[@]} files"
exit $status
