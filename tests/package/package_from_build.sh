#!/usr/bin/env bash
# Makes the Debian package from an already built tree (the install rules only take the station's own
# binaries, not its tests) and runs the package's test on it, so the test run checks the package too.
#   package_from_build.sh BUILD_DIR
set -euo pipefail
BUILD=$(realpath "${1:?usage: package_from_build.sh BUILD_DIR}")
OUT=$(mktemp -d)
trap 'rm -rf "$OUT"' EXIT
(cd "$OUT" && cpack -G DEB --config "$BUILD/CPackConfig.cmake" -B "$OUT" >/dev/null)
bash "$(dirname "$0")/package_test.sh" "$(ls "$OUT"/vek-station_*.deb)"
