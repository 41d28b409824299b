#!/usr/bin/env bash
# Builds the access server answer fuzzer with clang in fuzz-build-access/ and runs it.
# Usage: scripts/fuzz-access.sh [seconds]   (default 600)
# Findings are written to fuzz-build-access/ as crash-*, leak-*, timeout-* or oom-* files;
# the corpus the fuzzer grows stays in fuzz-build-access/corpus/.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
seconds="${1:-600}"
build="$root/fuzz-build-access"

cmake -S "$root" -B "$build" -DVEK_ACCESS_CODEC_ONLY=ON \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" --target access_fuzz -j2

mkdir -p "$build/corpus"
# Seeds first, then what earlier runs found; new finds go to the first folder.
"$build/fuzz/access_fuzz" "$build/corpus" "$root/fuzz/corpus-access" \
  -dict="$root/fuzz/json.dict" \
  -max_total_time="$seconds" \
  -rss_limit_mb=2048 \
  -timeout=10 \
  -max_len=16384 \
  -print_final_stats=1 \
  -artifact_prefix="$build/"
