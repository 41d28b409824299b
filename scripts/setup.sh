#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the station need.
#   setup.sh --bench: also what scripts/bench.sh needs beyond that (the scanner_pace benchmark's X
#   server, window manager and key typer); the tests never use them.
#   setup.sh --tidy: also clang-tidy, for scripts/tidy.sh.
# Idempotent: when everything is present it only checks and returns.
set -euo pipefail

PACKAGES=(
  cmake g++ make pkg-config dpkg-dev libsqlite3-dev python3
  qt6-base-dev libgl-dev
  firebird-dev libfbclient2 firebird3.0-server-core firebird3.0-server firebird3.0-utils
  libcurl4-openssl-dev zlib1g-dev libssl-dev libasound2-dev libcpp-httplib-dev
  libgtest-dev libgmock-dev
  fonts-liberation
  clang-format git
)
BENCH_PACKAGES=(xvfb xdotool openbox x11-utils)
# scripts/tidy.sh, run by hand.
TIDY_PACKAGES=(clang-tidy)

case "${1:-}" in
  "") ;;
  --bench) PACKAGES+=("${BENCH_PACKAGES[@]}") ;;
  --tidy) PACKAGES+=("${TIDY_PACKAGES[@]}") ;;
  *) echo "usage: bash scripts/setup.sh [--bench|--tidy]" >&2; exit 2 ;;
esac

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "setup: missing packages (${missing[*]}); run as root" >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  # The server package asks for a SYSDBA password; tests set their own.
  echo "firebird3.0-server shared/firebird/enabled boolean false" | debconf-set-selections 2>/dev/null || true
  echo "firebird3.0-server shared/firebird/sysdba_password/first_install password masterkey" | debconf-set-selections 2>/dev/null || true
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
