#!/usr/bin/env bash
# Builds the recent-entries datagram fuzzer with clang in fuzz-build-feed/ and runs it.
# Usage: scripts/fuzz-feed.sh [seconds]   (default 600)
# Findings are written to fuzz-build-feed/ as crash-*, leak-*, timeout-* or oom-* files;
# the corpus the fuzzer grows stays in fuzz-build-feed/corpus/.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
seconds="${1:-600}"
build="$root/fuzz-build-feed"

cmake -S "$root" -B "$build" -DVEK_JSON_ONLY=ON \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" --target feed_fuzz -j2

mkdir -p "$build/corpus"
# Seeds first, then what earlier runs found; new finds go to the first folder. A datagram is read
# up to 8192 bytes: longer inputs check that the rest never counts.
"$build/fuzz/feed_fuzz" "$build/corpus" "$root/fuzz/corpus-feed" \
  -dict="$root/fuzz/json.dict" \
  -max_total_time="$seconds" \
  -rss_limit_mb=2048 \
  -timeout=10 \
  -max_len=9000 \
  -print_final_stats=1 \
  -artifact_prefix="$build/"
