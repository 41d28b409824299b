#!/usr/bin/env bash
# Builds one of the fuzz targets with clang (libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer)
# in a folder of its own and runs it.
# Usage: scripts/fuzz.sh json|access|feed [seconds]   (default 600)
# Findings are written to the build folder as crash-*, leak-*, timeout-* or oom-* files; the corpus
# the fuzzer grows stays in its corpus/ subfolder.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
target="${1:?usage: fuzz.sh json|access|feed [seconds]}"
seconds="${2:-600}"
case "$target" in
  # build folder, build option, seed folder, longest input
  json)   build="$root/fuzz-build";        option=VEK_JSON_ONLY;         seeds=corpus;        max_len=16384 ;;
  access) build="$root/fuzz-build-access"; option=VEK_ACCESS_CODEC_ONLY; seeds=corpus-access; max_len=16384 ;;
  # A datagram is read up to 8192 bytes: longer inputs check that the rest never counts.
  feed)   build="$root/fuzz-build-feed";   option=VEK_JSON_ONLY;         seeds=corpus-feed;   max_len=9000 ;;
  *) echo "fuzz.sh: unknown target '$target' (json, access, feed)" >&2; exit 2 ;;
esac

cmake -S "$root" -B "$build" -D"$option"=ON \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" --target "${target}_fuzz" -j2

mkdir -p "$build/corpus"
# Seeds first, then what earlier runs found; new finds go to the first folder.
"$build/fuzz/${target}_fuzz" "$build/corpus" "$root/fuzz/$seeds" \
  -dict="$root/fuzz/json.dict" \
  -max_total_time="$seconds" \
  -rss_limit_mb=2048 \
  -timeout=10 \
  -max_len="$max_len" \
  -print_final_stats=1 \
  -artifact_prefix="$build/"
