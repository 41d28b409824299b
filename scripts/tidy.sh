#!/usr/bin/env bash
# clang-tidy with the checks of .clang-tidy over the project's sources, on the compile commands of
# build/ (configured here when missing). Not part of the test run: it takes a while.
#   tidy.sh [FILE...]: those files instead of every source of src/.
set -euo pipefail
cd "$(dirname "$0")/.."
command -v run-clang-tidy >/dev/null || { echo "tidy: no run-clang-tidy (bash scripts/setup.sh --tidy)" >&2; exit 1; }
[ -f build/compile_commands.json ] || cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
# The moc and configure outputs are generated; the first build makes them.
cmake --build build -j"$(nproc)" >/dev/null
if [ $# -gt 0 ]; then
  files=("$@")
else
  mapfile -t files < <(git ls-files 'src/*.cpp')
fi
run-clang-tidy -quiet -p build -j "$(nproc)" "${files[@]}"
