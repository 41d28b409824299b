#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test.
#   test.sh --sanitize: the same suite built with AddressSanitizer and UndefinedBehaviorSanitizer in
#   build-sanitize/ (benchmarks left out) and run under them.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
if [ "${1:-}" = "--sanitize" ]; then
  cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVEK_BUILD_BENCH=OFF \
    -DCMAKE_CXX_FLAGS="-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined" \
    >/dev/null
  cmake --build build-sanitize -j"$(nproc)"
  # The client library keeps a few allocations of its own for the whole process (see the file).
  # The leak checker's walk over the dynamic TLS of loaded plugins (the database engine's, curl's)
  # crashes at exit on some of them; their TLS blocks are not tracked, which costs no reports here.
  export ASAN_OPTIONS="detect_leaks=1:intercept_tls_get_addr=0"
  export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0"
  export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
  cd build-sanitize
  ctest --output-on-failure -j2 --timeout 900
  exit
fi
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DVEK_WERROR=ON >/dev/null
cmake --build build -j"$(nproc)"
cd build
ctest --output-on-failure -j2 --timeout 300
