#!/usr/bin/env bash
# Sets up and runs the station on its demo databases (a small shoe factory), in-process.
# With a display the station opens its window; without one it runs offscreen, feeds it the bundled
# demo scans and prints what the screen shows after each one (one JSON object per line).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$(nproc)" --target vek-station vek-mkdb >/dev/null

DEMO="$PWD/.demo"
rm -rf "$DEMO"
mkdir -p "$DEMO"
build/src/db/vek-mkdb "$DEMO/main.fdb" schema/main.sql schema/demo.sql
build/src/db/vek-mkdb "$DEMO/catalogue.fdb" schema/catalogue.sql schema/demo_catalogue.sql
build/src/db/vek-mkdb "$DEMO/access.fdb" schema/access.sql schema/demo_access.sql
cat > "$DEMO/vek-station.INI" <<INI
[ESTEIRA]
BDADOS=$DEMO/main.fdb
BDADOS_CATALOGO=$DEMO/catalogue.fdb
BDADOS_ACESSO=$DEMO/access.fdb
CODESTEIRA=01
FUNCIONARIO=000101
SETOR=40
SETOR_ATU_PRODUCAO_SETOR=40
TEMPO_ESPERA=60000
INI

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ "${QT_QPA_PLATFORM:-}" != "offscreen" ]; then
  exec build/src/app/vek-station --settings "$DEMO/vek-station.INI" --locale pt_BR
fi
echo "No display: running the demo scans offscreen (schema/demo_scan.txt)." >&2
QT_QPA_PLATFORM=offscreen exec build/src/app/vek-station --settings "$DEMO/vek-station.INI" \
  --script schema/demo_scan.txt --locale pt_BR
