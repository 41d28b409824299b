#!/usr/bin/env bash
# Builds the station (Release, without tests and benchmarks) in build-package/ and makes its Debian
# package there with CPack; prints the package's path.
#   package.sh --test: then installs it into a scratch root and runs it (tests/package/package_test.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
TEST=0
[ "${1:-}" = "--test" ] && TEST=1
bash scripts/setup.sh
# dpkg-shlibdeps finds the run-time dependencies of the binaries.
command -v dpkg-shlibdeps >/dev/null || { echo "package: dpkg-shlibdeps missing (apt-get install dpkg-dev)" >&2; exit 1; }
BUILD="$PWD/build-package"
cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DVEK_BUILD_TESTS=OFF -DVEK_BUILD_BENCH=OFF >/dev/null
cmake --build "$BUILD" -j"$(nproc)" >/dev/null
rm -f "$BUILD"/vek-station_*.deb
(cd "$BUILD" && cpack -G DEB >/dev/null)
DEB=$(ls "$BUILD"/vek-station_*.deb)
echo "$DEB"
if [ "$TEST" = 1 ]; then
  bash tests/package/package_test.sh "$DEB"
fi
