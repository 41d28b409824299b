#!/usr/bin/env bash
# Starts or stops a private database server on 127.0.0.1 for the tests, with its own
# configuration and security database (SYSDBA's password is the station's default key "2").
#   fb-test-server.sh start|stop|kill|status   (kill: at once, as a crash or a power cut would)
set -euo pipefail

FB_HOME=/usr/lib/x86_64-linux-gnu/firebird/3.0
ROOT=${VEK_FB_ROOT:-/tmp/vek-fbserver}
PORT=${VEK_FB_PORT:-3050}
PASSWORD=${VEK_FB_PASSWORD:-tovrak47}

running() {
  [ -f "$ROOT/server.pid" ] && kill -0 "$(cat "$ROOT/server.pid")" 2>/dev/null
}

port_open() {
  (exec 3<>"/dev/tcp/127.0.0.1/$PORT") 2>/dev/null
}

case "${1:-start}" in
start)
  if running; then exit 0; fi
  # Another server on the port would answer the checks below, and the tests would use its databases.
  if port_open; then
    echo "127.0.0.1:$PORT is already taken by another process; choose another VEK_FB_PORT" >&2
    exit 1
  fi
  rm -rf "$ROOT"
  mkdir -p "$ROOT/lock"
  for f in plugins UDF plugins.conf firebird.msg fbtrace.conf; do
    ln -s "$FB_HOME/$f" "$ROOT/$f"
  done
  # The character set module checks that its real location lies under the root: a copy, not a link.
  mkdir -p "$ROOT/intl"
  cp "$FB_HOME/intl/fbintl.conf" "$FB_HOME/intl/libfbintl.so" "$ROOT/intl/"
  cat > "$ROOT/firebird.conf" <<CONF
RemoteServicePort = $PORT
RemoteBindAddress = 127.0.0.1
SecurityDatabase = $ROOT/security3.fdb
ServerMode = Super
UdfAccess = None
CONF
  cat > "$ROOT/databases.conf" <<CONF
security.db = $ROOT/security3.fdb
{
    RemoteAccess = false
}
CONF
  cp /var/lib/firebird/3.0/system/security3.fdb "$ROOT/security3.fdb"
  chmod 660 "$ROOT/security3.fdb"
  printf "create or alter user SYSDBA password '%s' using plugin Srp;\ncommit;\n" "$PASSWORD" |
    FIREBIRD=$ROOT FIREBIRD_LOCK=$ROOT/lock isql-fb -q -user SYSDBA "$ROOT/security3.fdb" >"$ROOT/setup.log" 2>&1
  FIREBIRD=$ROOT FIREBIRD_LOCK=$ROOT/lock setsid /usr/sbin/firebird >"$ROOT/server.log" 2>&1 < /dev/null &
  echo $! > "$ROOT/server.pid"
  for _ in $(seq 1 100); do
    if port_open; then exit 0; fi
    sleep 0.1
  done
  echo "database server did not start; see $ROOT/server.log" >&2
  cat "$ROOT/server.log" >&2 || true
  exit 1
  ;;
stop)
  if running; then
    kill "$(cat "$ROOT/server.pid")" 2>/dev/null || true
    for _ in $(seq 1 50); do running || break; sleep 0.1; done
    running && kill -9 "$(cat "$ROOT/server.pid")" 2>/dev/null || true
  fi
  rm -f "$ROOT/server.pid"
  ;;
kill)
  if running; then
    kill -9 "$(cat "$ROOT/server.pid")" 2>/dev/null || true
    for _ in $(seq 1 50); do running || break; sleep 0.1; done
  fi
  rm -f "$ROOT/server.pid"
  ;;
status)
  running && port_open
  ;;
*)
  echo "usage: $0 start|stop|kill|status" >&2
  exit 2
  ;;
esac
