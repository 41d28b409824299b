#!/usr/bin/env bash
# Installs the station's Debian package into a scratch root (dpkg -x) and runs what it installed:
# the package's contents and dependencies, vek-station --version and --help, and a script run
# offscreen on scratch databases made by the installed vek-mkdb from the installed schema.
#   package_test.sh PACKAGE.deb
set -euo pipefail
DEB=$(realpath "${1:?usage: package_test.sh PACKAGE.deb}")
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
ROOT="$WORK/root"
failures=0
passes=0
check() { # check WHAT COMMAND...: one result line per check
  if "${@:2}"; then
    passes=$((passes + 1))
  else
    echo "FAILED: $1" >&2
    failures=$((failures + 1))
  fi
}

dpkg -x "$DEB" "$ROOT"
VERSION=$(dpkg-deb -f "$DEB" Version)
DEPENDS=$(dpkg-deb -f "$DEB" Depends)

for f in usr/bin/vek-station usr/bin/vek-mkdb usr/bin/vek-access-server usr/lib/libvek_tax.so \
  usr/include/vek-station/TaxExports.h usr/share/vek-station/schema/main.sql \
  usr/share/vek-station/schema/catalogue.sql usr/share/vek-station/schema/access.sql \
  usr/share/vek-station/schema/demo.sql usr/share/vek-station/schema/demo_scan.txt \
  usr/share/applications/vek-station.desktop usr/share/icons/hicolor/scalable/apps/vek-station.svg; do
  check "package holds /$f" test -s "$ROOT/$f"
done
check "depends on SQLite (found by dpkg-shlibdeps)" grep -q 'libsqlite3-0' <<<"$DEPENDS"
UNIT="$ROOT/usr/lib/systemd/user/vek-station.service"
check "package holds the systemd user unit" test -s "$UNIT"
unit_value() { # unit_value SECTION KEY: the key's values in that section of the unit, one a line
  awk -v section="[$1]" -v key="$2=" '/^\[/ { within = ($0 == section); next }
    within && index($0, key) == 1 { print substr($0, length(key) + 1) }' "$UNIT"
}
check "the unit restarts the station however it ended" test "$(unit_value Service Restart)" = always
check "the unit waits 3 s before it restarts" test "$(unit_value Service RestartSec)" = 3
check "the unit never stops restarting" test "$(unit_value Unit StartLimitIntervalSec)" = 0
check "the unit does not restart a second station refused (exit code 3)" \
  test "$(unit_value Service RestartPreventExitStatus)" = 3
check "the unit starts the installed station" grep -qx 'ExecStart=/usr/bin/vek-station --fullscreen --locale pt_BR' "$UNIT"
AUTOSTART="$ROOT/etc/xdg/autostart/vek-station.desktop"
check "package holds the autostart entry" test -s "$AUTOSTART"
check "the autostart entry starts the user unit" grep -qx 'Exec=systemctl --user start vek-station.service' "$AUTOSTART"
check "no tests or benchmarks installed" test -z "$(find "$ROOT" -name '*_tests' -o -name '*_bench')"
check "depends on the embedded engine" grep -q 'firebird3.0-server-core' <<<"$DEPENDS"
check "depends on Qt's platform plugins" grep -q 'qt6-qpa-plugins' <<<"$DEPENDS"
check "depends on Qt Widgets (found by dpkg-shlibdeps)" grep -q 'libqt6widgets6' <<<"$DEPENDS"
check "depends on the Firebird client (found by dpkg-shlibdeps)" grep -q 'libfbclient2' <<<"$DEPENDS"
check "desktop entry starts the station full screen" \
  grep -qx 'Exec=vek-station --fullscreen --locale pt_BR' "$ROOT/usr/share/applications/vek-station.desktop"
exports=$(nm -D --defined-only "$ROOT/usr/lib/libvek_tax.so" | awk '{print $3}' | grep -cwE 'CgcCpfValido|des|desFormataCGCCPF|formataCGCCPF' || true)
check "libvek_tax.so exports the four tax functions" test "$exports" = 4

STATION="$ROOT/usr/bin/vek-station"
export LD_LIBRARY_PATH="$ROOT/usr/lib${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}"
# No display needed for --version and --help.
out=$(env -u DISPLAY -u WAYLAND_DISPLAY "$STATION" --version)
check "--version prints the name and the package's version" test "$out" = "vek-station $VERSION"
help=$(env -u DISPLAY -u WAYLAND_DISPLAY "$STATION" --help)
for opt in "--settings FILE" "--script FILE|-" "--locale pt_BR" "--version" "--help"; do
  check "--help names $opt" grep -qF -- "$opt" <<<"$help"
done
# Answered before any window, so also without a display.
nodisplay() { env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$STATION" "$@" >/dev/null 2>"$WORK/usage.err"; }
set +e
nodisplay --bogus
rc=$?
set -e
check "an unknown option fails with exit code 2" test "$rc" = 2
check "an unknown option prints the usage" grep -q '^usage: vek-station' "$WORK/usage.err"
set +e
nodisplay --locale en_US
rc=$?
set -e
check "a locale other than pt_BR fails with exit code 2" test "$rc" = 2
set +e
nodisplay
rc=$?
set -e
check "no display and no script fails with exit code 1" test "$rc" = 1
check "no display says how to run offscreen" grep -q 'QT_QPA_PLATFORM=offscreen' "$WORK/usage.err"

SCHEMA="$ROOT/usr/share/vek-station/schema"
MKDB="$ROOT/usr/bin/vek-mkdb"
"$MKDB" "$WORK/main.fdb" "$SCHEMA/main.sql" "$SCHEMA/demo.sql"
"$MKDB" "$WORK/catalogue.fdb" "$SCHEMA/catalogue.sql" "$SCHEMA/demo_catalogue.sql"
"$MKDB" "$WORK/access.fdb" "$SCHEMA/access.sql" "$SCHEMA/demo_access.sql"
# Without a schema argument the check reads the installed one.
check "vek-mkdb --check finds every index of the installed schema" \
  sh -c '"$0" --check "$1" >/dev/null' "$MKDB" "$WORK/main.fdb"
cat >"$WORK/station.INI" <<INI
[ESTEIRA]
BDADOS=$WORK/main.fdb
BDADOS_CATALOGO=$WORK/catalogue.fdb
BDADOS_ACESSO=$WORK/access.fdb
CODESTEIRA=01
FUNCIONARIO=000101
SETOR=40
SETOR_ATU_PRODUCAO_SETOR=40
TEMPO_ESPERA=60000
INI
printf '100001\n100001\n999999\n' >"$WORK/script.txt"
set +e
QT_QPA_PLATFORM=offscreen "$STATION" --settings "$WORK/station.INI" --script "$WORK/script.txt" --locale pt_BR \
  >"$WORK/run.out" 2>"$WORK/run.err"
rc=$?
set -e
check "the script run exits 0" test "$rc" = 0
[ "$rc" = 0 ] || cat "$WORK/run.err" >&2
# The start-up line, then one per script line: the first scan writes the box off, the second finds
# it written off, an unknown label is refused; the day's count goes up once.
check "the script run's lines are as expected" python3 - "$WORK/run.out" <<'PY'
import json, sys
lines = [json.loads(l) for l in open(sys.argv[1], encoding="utf-8") if l.strip()]
def text(i, w): return lines[i]["texts"].get(w)
def colour(i, w): return lines[i]["colors"].get(w)
problems = []
if len(lines) != 4: problems.append(f"{len(lines)} lines, not 4")
else:
    if lines[0]["input"] is not None: problems.append("first line is not the start-up")
    if lines[0]["window"] != "frmQuilbar": problems.append(f"window {lines[0]['window']}")
    if text(1, "pnMens") != "Etiqueta Atualizada." or colour(1, "pnMens") != "#008000":
        problems.append(f"first scan: {text(1, 'pnMens')!r} {colour(1, 'pnMens')!r}")
    if text(2, "pnMens") in (None, "", "Etiqueta Atualizada."): problems.append(f"second scan: {text(2, 'pnMens')!r}")
    if text(3, "pnMens") in (None, "", "Etiqueta Atualizada."): problems.append(f"unknown label: {text(3, 'pnMens')!r}")
    if text(1, "pnQtParesDia") in (None, "") or text(1, "pnQtParesDia") != text(3, "pnQtParesDia"):
        problems.append("day count changed after the first scan")
for p in problems: print(p, file=sys.stderr)
sys.exit(1 if problems else 0)
PY

echo "package_test: $passes passed, $failures failed"
[ "$failures" = 0 ]
