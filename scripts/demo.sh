#!/usr/bin/env bash
# Sets up and runs the station on its demo databases (a small shoe factory), in-process.
# With a display the station opens its window; without one it runs offscreen, feeds it the bundled
# demo scans, prints one readable line per scan (code, message and its colour, day count, done/total)
# and writes a picture of the window after the last scan to .demo/screen.png.
# With --sector the station works in sector mode (PESPONTO INTERNO, along the demo route): refusals,
# records and the label enquiry (schema/demo_sector_scan.txt).
# With --access the database comes from the reference access server (two demo companies): the
# station first shows its company choice; offscreen the demo script picks the second company.
# The recent-entries feed listens on UDP port 47011 (VEK_DEMO_FEED_PORT changes it).
# With --screen WxH the offscreen run's screen has that size (default 1920x1080) and the picture is
# .demo/screen-WxH.png. VEK_DEMO_DIR puts the demo's files elsewhere than .demo (the window shows the
# database's path: the README's pictures were made with /srv/vek/demo).
set -euo pipefail
cd "$(dirname "$0")/.."
ACCESS=0
SECTOR=0
SCREEN=""
while [ $# -gt 0 ]; do
  case "$1" in
    --access) ACCESS=1 ;;
    --sector) SECTOR=1 ;;
    --screen) SCREEN="${2:-}"; shift ;;
    *) echo "usage: bash scripts/demo.sh [--sector|--access] [--screen WxH]" >&2; exit 2 ;;
  esac
  shift
done
if [ -n "$SCREEN" ] && ! [[ "$SCREEN" =~ ^[0-9]+x[0-9]+$ ]]; then
  echo "--screen takes WIDTHxHEIGHT, e.g. 1366x768" >&2; exit 2
fi
bash scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$(nproc)" --target vek-station vek-mkdb vek-access-server >/dev/null

DEMO="${VEK_DEMO_DIR:-$PWD/.demo}"
# Only a folder the demo made itself is emptied.
if [ -d "$DEMO" ] && [ -n "$(ls -A "$DEMO")" ] && [ ! -e "$DEMO/.vek-demo" ]; then
  echo "$DEMO is not a demo folder; set VEK_DEMO_DIR to an empty or new one" >&2; exit 2
fi
rm -rf "$DEMO"
mkdir -p "$DEMO"
touch "$DEMO/.vek-demo"
build/src/tools/vek-mkdb "$DEMO/main.fdb" schema/main.sql schema/demo.sql
build/src/tools/vek-mkdb "$DEMO/catalogue.fdb" schema/catalogue.sql schema/demo_catalogue.sql
build/src/tools/vek-mkdb "$DEMO/access.fdb" schema/access.sql schema/demo_access.sql
if [ "$SECTOR" = 1 ]; then
  # Sector 21 follows CORTE (10) on the route of product 1020; EXPEDICAO (40) writes the box off.
  STATION_KEYS="SETOR=21
ATU_PRODUCAO_SETOR_CXUNIT=S
ULTIMO_SETOR_ATU_CXUNIT=40"
else
  STATION_KEYS="SETOR=40
SETOR_ATU_PRODUCAO_SETOR=40"
fi
cat > "$DEMO/vek-station.INI" <<INI
[ESTEIRA]
BDADOS=$DEMO/main.fdb
BDADOS_CATALOGO=$DEMO/catalogue.fdb
BDADOS_ACESSO=$DEMO/access.fdb
CODESTEIRA=01
FUNCIONARIO=000101
$STATION_KEYS
TEMPO_ESPERA=60000
PORTA_UDP_ULT_ENTRADA=${VEK_DEMO_FEED_PORT:-47011}
INI

SCRIPT=schema/demo_scan.txt
[ "$SECTOR" = 1 ] && SCRIPT=schema/demo_sector_scan.txt
if [ "$ACCESS" = 1 ]; then
  # Both companies use the demo databases; the list's passwords are never shown by the station.
  banks() { echo "[{\"id\": $1, \"host\": \"$DEMO/main.fdb\", \"password\": \"masterkey\", \"type\": \"G\", \"description\": \"$2\", \"parent\": 0}, {\"id\": $(($1 + 1)), \"host\": \"$DEMO/catalogue.fdb\", \"password\": \"masterkey\", \"type\": \"C\", \"description\": \"$2 - Catalogo\", \"parent\": 0}]"; }
  echo "[{\"codigo\": 1, \"nome\": \"Calcados Demo\", \"bancos\": $(banks 1 "Calcados Demo")}, {\"codigo\": 2, \"nome\": \"Calcados Filial\", \"bancos\": $(banks 3 "Calcados Filial")}]" > "$DEMO/companies.json"
  build/src/tools/vek-access-server --port 0 --list "$DEMO/companies.json" > "$DEMO/access-server.out" &
  SERVER=$!
  trap 'kill "$SERVER" 2>/dev/null || true' EXIT
  PORT=""
  for _ in $(seq 50); do
    PORT=$(sed -n 's/.*listening on [^:]*:\([0-9]*\)$/\1/p' "$DEMO/access-server.out")
    [ -n "$PORT" ] && break
    sleep 0.1
  done
  [ -n "$PORT" ] || { echo "the access server did not start" >&2; exit 1; }
  printf '[VEKSERVER]\nHOST=127.0.0.1:%s\n' "$PORT" >> "$DEMO/vek-station.INI"
  { echo "<select>cbSelecionarEmpresa=Calcados Filial"; echo "<click>btEntrar"; cat schema/demo_scan.txt; } > "$DEMO/access_scan.txt"
  SCRIPT="$DEMO/access_scan.txt"
fi

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ "${QT_QPA_PLATFORM:-}" != "offscreen" ]; then
  build/src/app/vek-station --settings "$DEMO/vek-station.INI" --locale pt_BR
  exit $?
fi
echo "No display: running the demo scans offscreen ($SCRIPT)." >&2
# After the last scan: a picture of the window as an operator sees it on a screen of that size.
SHOT="$DEMO/screen.png"
[ -n "$SCREEN" ] && SHOT="$DEMO/screen-$SCREEN.png"
{ cat "$SCRIPT"; echo "<screenshot>$SHOT"; } > "$DEMO/offscreen_scan.txt"
W="${SCREEN%x*}"; H="${SCREEN#*x}"
[ -n "$SCREEN" ] || { W=1920; H=1080; }
echo "{\"screens\": [{\"name\": \"demo\", \"x\": 0, \"y\": 0, \"width\": $W, \"height\": $H, \"logicalDpi\": 96, \"dpr\": 1}]}" \
  > "$DEMO/screens.json"
# Not exec: the trap stops the access server when the station ends. The JSON lines become readable
# ones (the screenshot line is not a scan and is left out).
# The offscreen platform's note that it cannot pass size hints on is no news to a reader.
QT_QPA_PLATFORM="offscreen:configfile=$DEMO/screens.json" build/src/app/vek-station --settings "$DEMO/vek-station.INI" \
  --script "$DEMO/offscreen_scan.txt" --locale pt_BR 2> >(grep -v 'does not support propagateSizeHints' >&2) |
  python3 scripts/demo-lines.py
if [ -s "$SHOT" ]; then echo "The window after the last scan: $SHOT" >&2; fi
