#!/usr/bin/env bash
# Builds the JSON fuzzer with clang in fuzz-build/ and runs it.
# Usage: scripts/fuzz-json.sh [seconds]   (default 600)
# Findings are written to fuzz-build/ as crash-*, leak-*, timeout-* or oom-* files;
# the corpus the fuzzer grows stays in fuzz-build/corpus/.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
seconds="${1:-600}"
build="$root/fuzz-build"

cmake -S "$root" -B "$build" -DVEK_JSON_ONLY=ON \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" --target json_fuzz -j2

mkdir -p "$build/corpus"
# Seeds first, then what earlier runs found; new finds go to the first folder.
"$build/fuzz/json_fuzz" "$build/corpus" "$root/fuzz/corpus" \
  -dict="$root/fuzz/json.dict" \
  -max_total_time="$seconds" \
  -rss_limit_mb=2048 \
  -timeout=10 \
  -max_len=16384 \
  -print_final_stats=1 \
  -artifact_prefix="$build/"
