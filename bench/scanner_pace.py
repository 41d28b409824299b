#!/usr/bin/env python3
"""scanner_pace: a keyboard-wedge scanner typing codes back to back into the real station window.

Makes fresh demo databases with extra conveyor boxes, starts Xvfb (1366x768), openbox and the station
full screen in conveyor mode, types one warm-up code (it checks that the scan field has the keyboard),
then N codes with xdotool at the given delay per key, each followed by Enter, with no pause between
codes. It reports the station's own handling time per scan (Enter to message, from the metrics
endpoint), how long after the last key the station had handled the last code, and whether every code
was written off once (the database after the station closed, and the scan journal).

    scanner_pace.py [--station PATH] [--mkdb PATH] [--scans N] [--key-delay-ms MS] [--deadline-s S]
                    [--poll-ms MS] [--workdir DIR] [--keep]

Prints readable lines and one machine-readable line:
    RESULT kind=scanner_pace scans=… booked=… median_ms=… p90_ms=… p99_ms=… caught_up_s=… …
Exit code 0 when every code was handled in time and written off once, 1 otherwise, 2 when it
could not run (missing tools, a station that did not start).
Python 3 standard library only; needs Xvfb, openbox, xdotool, xprop (x11-utils) and isql-fb.
"""

import argparse
import http.client
import math
import os
import pathlib
import re
import select
import shutil
import signal
import socket
import sqlite3
import statistics
import subprocess
import sys
import tempfile
import threading
import time

REPO = pathlib.Path(__file__).resolve().parent.parent
SCREEN = (1366, 768)
# Boxes 2100000001… (ten-digit codes); the first one is the warm-up code.
FIRST_BOX = 2100000001
TICKET_BOXES = 20
CONVEYOR = "01"
WINDOW_TITLE = "Atualizacao da Producao"


class Failure(Exception):
    """The benchmark could not run; the message says why."""


def log(text):
    print(text, flush=True)


def parse_args():
    p = argparse.ArgumentParser(description="Types codes as a keyboard-wedge scanner into the real station window.")
    p.add_argument("--station", type=pathlib.Path, default=REPO / "build-bench/src/app/vek-station",
                   help="the vek-station binary (default: build-bench's)")
    p.add_argument("--mkdb", type=pathlib.Path, default=None,
                   help="the vek-mkdb binary (default: the one of the station's build, else the installed one)")
    p.add_argument("--scans", type=int, default=300, help="codes typed back to back (default 300)")
    p.add_argument("--key-delay-ms", type=int, default=8, help="xdotool's delay per key (default 8)")
    p.add_argument("--deadline-s", type=float, default=240.0,
                   help="how long after the last key the station may take to catch up (default 240)")
    p.add_argument("--poll-ms", type=float, default=10.0, help="how often the metrics are read (default 10)")
    p.add_argument("--workdir", type=pathlib.Path, default=None,
                   help="folder for the databases, settings and logs (default: a new temporary one)")
    p.add_argument("--keep", action="store_true", help="keep the folder afterwards")
    a = p.parse_args()
    if a.scans < 1 or a.scans > 100000:
        p.error("--scans takes 1 to 100000")
    if a.key_delay_ms < 0:
        p.error("--key-delay-ms takes a whole number of 0 or more")
    return a


def find_mkdb(station, given):
    if given:
        return given
    # src/app/vek-station and src/tools/vek-mkdb of one build.
    beside = station.resolve().parent.parent / "tools" / "vek-mkdb"
    if beside.is_file():
        return beside
    installed = shutil.which("vek-mkdb")
    return pathlib.Path(installed) if installed else beside


def boxes_sql(count):
    """count boxes of product 1020 (route 10, 21, 30, 40), emitted today, in tickets of 20 boxes whose
    MONTAGEM (30) is recorded: the conveyor in 40 writes each box off and records each ticket's completion."""
    tickets = math.ceil(count / TICKET_BOXES)
    return f"""SET SQL DIALECT 3;
SET TERM ^ ;
EXECUTE BLOCK
AS
  DECLARE EMISSAO TIMESTAMP;
  DECLARE I INTEGER;
  DECLARE K INTEGER;
  DECLARE FICHA CHAR(4);
  DECLARE ITEM CHAR(3);
BEGIN
  EMISSAO = MAXVALUE(CAST(CURRENT_DATE AS TIMESTAMP), DATEADD(-2 HOUR TO CAST('NOW' AS TIMESTAMP)));
  INSERT INTO PROGRAMACAO (NUM_PO, FILIAL_PO) VALUES ('900101', 1);
  INSERT INTO PEDVENDA (NUM_PV, TIPO_PV, FILIAL_PV) VALUES ('90010100', 'NAC', 1);
  I = 0;
  WHILE (I < {tickets}) DO
  BEGIN
    FICHA = LPAD(:I + 1, 4, '0');
    ITEM = LPAD(MOD(:I, 999) + 1, 3, '0');
    IF (I < 999) THEN
    BEGIN
      INSERT INTO ITENSPV (PEDIDO_IT, ITEM_IT, PROD_IT, PADRON_IT, MARCA_IT, PROG_IT, FICHA_IT, SIT_IT, STATUS_IT,
          OBSPROD_IT)
        VALUES ('90010100', :ITEM, '1020', '001', '01', '900101', :FICHA, 'P', '', '');
      INSERT INTO ITENSPVGRADE (PEDIDO_IT, ITEM_IT, TAM_IT, QTPED_IT) VALUES ('90010100', :ITEM, '38', {TICKET_BOXES});
    END
    INSERT INTO PRODUCAO (PROG_PR, FICHA_PR, QTDE_PR)
      VALUES ('900101', :FICHA, MINVALUE({TICKET_BOXES}, {count} - :I * {TICKET_BOXES}));
    INSERT INTO PRODUCAO_SETOR (ID_PS, PROG_PS, FICHA_PS, SUBFICHA_PS, SETOR_PS, FUNCIONAR_PS, TIPO_OPERACAO_SETOR_PS,
        TIPO_ATUALIZACAO_PS, DTSAIDA_PS, HORASAIDA_PS, QTDE_PS)
      VALUES (GEN_ID(ID_PRODUCAO_SETOR, 1), '900101', :FICHA, '0000', '30', '000103', 'P', 'F', :EMISSAO,
        SUBSTRING(CAST(CAST(:EMISSAO AS TIME) AS VARCHAR(13)) FROM 1 FOR 8), {TICKET_BOXES});
    K = 0;
    WHILE (K < {TICKET_BOXES} AND I * {TICKET_BOXES} + K < {count}) DO
    BEGIN
      INSERT INTO CODCXUNIT (CODIGO_CX, PROD_CX, PADRON_CX, TAM_CX, MARCA_CX, PROG_CX, FICHA_CX, PEDIDO_CX, ITEM_CX,
          DTEMISSAO_CX)
        VALUES ({FIRST_BOX} + :I * {TICKET_BOXES} + :K, '1020', '001', '38', 'CEDRO', '900101', :FICHA, '90010100',
          :ITEM, :EMISSAO);
      K = K + 1;
    END
    I = I + 1;
  END
END^
SET TERM ; ^
COMMIT;
"""


def free_port(kind):
    # The kernel's choice of a free port; a race with another program taking it after the close is
    # caught later (the endpoint refuses a taken port and /health never answers).
    with socket.socket(socket.AF_INET, kind) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def run(cmd, timeout, env=None, **kw):
    return subprocess.run(cmd, timeout=timeout, env=env, capture_output=True, text=True, **kw)


def wait_until(what, deadline_s, probe, interval=0.05):
    end = time.monotonic() + deadline_s
    while True:
        value = probe()
        if value:
            return value
        if time.monotonic() >= end:
            raise Failure(f"{what}: not within {deadline_s:g} s")
        time.sleep(interval)


class Processes:
    """What this benchmark started, stopped in reverse order on any exit."""

    def __init__(self):
        self.started = []

    def start(self, name, cmd, **kw):
        proc = subprocess.Popen(cmd, start_new_session=True, **kw)
        self.started.append((name, proc))
        return proc

    def stop(self, proc, grace_s):
        if proc.poll() is not None:
            return
        try:
            proc.send_signal(signal.SIGTERM)
            proc.wait(timeout=grace_s)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait(timeout=5)
        except ProcessLookupError:
            pass

    def stop_all(self):
        for name, proc in reversed(self.started):
            self.stop(proc, 10 if name == "station" else 3)
        self.started.clear()


class Metrics:
    """The station's metrics endpoint, read as often as --poll-ms says while the codes are typed."""

    SAMPLE = re.compile(r"^([a-z_]+)(\{[^}]*\})?\s+(\S+)$")

    def __init__(self, port):
        self.port = port

    def get(self, path):
        conn = http.client.HTTPConnection("127.0.0.1", self.port, timeout=2)
        try:
            conn.request("GET", path)
            r = conn.getresponse()
            return r.status, r.read().decode("utf-8", "replace")
        finally:
            conn.close()

    def healthy(self):
        try:
            return self.get("/health")[0] == 200
        except OSError:
            return False

    def read(self):
        status, body = self.get("/metrics")
        if status != 200:
            raise OSError(f"/metrics answered {status}")
        out = {"outcomes": {}, "buckets": {}}
        for line in body.splitlines():
            m = self.SAMPLE.match(line)
            if not m:
                continue
            name, labels, value = m.group(1), m.group(2) or "", float(m.group(3))
            if name == "vek_scans_total":
                out["outcomes"][re.search(r'outcome="([^"]*)"', labels).group(1)] = value
            elif name == "vek_scan_duration_seconds_bucket":
                out["buckets"][re.search(r'le="([^"]*)"', labels).group(1)] = value
            elif name == "vek_scan_duration_seconds_sum":
                out["sum"] = value
            elif name == "vek_scan_duration_seconds_count":
                out["count"] = int(value)
            elif name == "vek_last_scan_timestamp_seconds":
                out["last_scan"] = value
        if "count" not in out or "sum" not in out:
            raise OSError("/metrics without the scan-duration histogram")
        return out


class Poller(threading.Thread):
    """Reads the metrics over and over; a read that finds one more scan than the one before gives
    that scan's duration (the growth of the histogram's sum). A read that finds k > 1 new scans
    gives each of them the mean of the k."""

    def __init__(self, metrics, interval_s, first):
        super().__init__(daemon=True)
        self.metrics = metrics
        self.interval_s = interval_s
        self.last = first
        self.durations = []
        self.alone = 0
        self.errors = 0
        self.halt = threading.Event()
        self.lock = threading.Lock()

    def run(self):
        while not self.halt.is_set():
            try:
                now = self.metrics.read()
            except (OSError, http.client.HTTPException):
                self.errors += 1
            else:
                with self.lock:
                    new = now["count"] - self.last["count"]
                    if new > 0:
                        each = (now["sum"] - self.last["sum"]) / new
                        self.durations.extend([each] * new)
                        self.alone += new == 1
                    self.last = now
            self.halt.wait(self.interval_s)

    def snapshot(self):
        with self.lock:
            return self.last

    def stop(self):
        self.halt.set()
        self.join(timeout=5)


def percentile(sorted_values, q):
    # Nearest rank: the smallest value with at least q of the values at or below it.
    return sorted_values[max(0, math.ceil(q * len(sorted_values)) - 1)]


def isql_numbers(db, sql, timeout=60):
    """The numbers of a one-row select, through isql-fb on the embedded engine; None without isql-fb."""
    isql = shutil.which("isql-fb")
    if not isql:
        return None
    r = run([isql, "-q", "-user", "SYSDBA", str(db)], timeout, input=f"SET HEADING OFF;\n{sql};\nQUIT;\n")
    if r.returncode != 0:
        raise Failure(f"isql-fb: {r.stderr.strip() or r.stdout.strip()}")
    rows = [line.split() for line in r.stdout.splitlines() if re.fullmatch(r"\s*\d+(\s+\d+)*\s*", line)]
    if not rows:
        raise Failure(f"isql-fb gave no numbers: {r.stdout.strip()}")
    return [int(v) for v in rows[-1]]


def read_journal(path, codes):
    try:
        con = sqlite3.connect(f"file:{path}?mode=ro", uri=True)
        try:
            rows = con.execute("select cast(text as text), state, local_time from scan order by id").fetchall()
        finally:
            con.close()
    except sqlite3.Error as e:
        log(f"scanner_pace: the journal {path} could not be read: {e}")
        rows = []
    wanted = set(codes)
    mine = [r for r in rows if r[0] in wanted]
    per_code = {}
    for text, state, _ in mine:
        per_code.setdefault(text, []).append(state)
    once = sum(1 for c in codes if per_code.get(c) == ["done"])
    times = []
    for _, _, local in mine:
        try:
            times.append(time.mktime(time.strptime(local[:19], "%Y-%m-%d %H:%M:%S")) + int(local[20:23]) / 1000)
        except (ValueError, IndexError):
            pass
    gaps = [b - a for a, b in zip(times, times[1:])]
    states = {}
    for _, state, _ in mine:
        states[state] = states.get(state, 0) + 1
    return {"entries": len(mine), "once": once, "states": states, "others": len(rows) - len(mine), "gaps": gaps}


def main():
    a = parse_args()
    station = a.station.resolve()
    mkdb = find_mkdb(station, a.mkdb)
    tools = {t: shutil.which(t) for t in ("Xvfb", "openbox", "xdotool", "xprop")}
    missing = [t for t, path in tools.items() if not path]
    if missing:
        log(f"scanner_pace: missing {', '.join(missing)} (bash scripts/setup.sh --bench installs them)")
        return 2
    for what, path in (("station", station), ("vek-mkdb", mkdb)):
        if not path.is_file():
            log(f"scanner_pace: no {what} at {path}")
            return 2

    work = a.workdir.resolve() if a.workdir else pathlib.Path(tempfile.mkdtemp(prefix="vek-scanner-pace-"))
    work.mkdir(parents=True, exist_ok=True)
    procs = Processes()

    def on_signal(signum, _frame):
        raise SystemExit(128 + signum)

    signal.signal(signal.SIGTERM, on_signal)
    signal.signal(signal.SIGINT, on_signal)
    try:
        return measure(a, station, mkdb, work, procs)
    except Failure as e:
        log(f"scanner_pace: {e}")
        log(f"scanner_pace: logs in {work}" if a.keep or a.workdir else "scanner_pace: (--keep keeps the logs)")
        return 2
    finally:
        procs.stop_all()
        if not a.keep and not a.workdir:
            shutil.rmtree(work, ignore_errors=True)


def measure(a, station, mkdb, work, procs):
    n = a.scans
    codes = [str(FIRST_BOX + 1 + i) for i in range(n)]
    warm_up = str(FIRST_BOX)
    schema = REPO / "schema"

    # Fresh databases as scripts/demo.sh makes them, with the boxes to scan on top.
    for f in work.glob("*.fdb"):
        f.unlink()
    (work / "boxes.sql").write_text(boxes_sql(n + 1), encoding="ascii")
    for db, scripts in (("main.fdb", ["main.sql", "demo.sql"]),
                        ("catalogue.fdb", ["catalogue.sql", "demo_catalogue.sql"]),
                        ("access.fdb", ["access.sql", "demo_access.sql"])):
        files = [str(schema / s) for s in scripts] + ([str(work / "boxes.sql")] if db == "main.fdb" else [])
        r = run([str(mkdb), str(work / db)] + files, 300)
        if r.returncode != 0:
            raise Failure(f"vek-mkdb {db}: {r.stderr.strip()}")
    journal = work / "station-journal.db"
    metrics_port = free_port(socket.SOCK_STREAM)
    feed_port = free_port(socket.SOCK_DGRAM)
    ini = work / "station.INI"
    ini.write_text(f"""[ESTEIRA]
BDADOS={work / 'main.fdb'}
BDADOS_CATALOGO={work / 'catalogue.fdb'}
BDADOS_ACESSO={work / 'access.fdb'}
CODESTEIRA={CONVEYOR}
FUNCIONARIO=000101
SETOR=40
SETOR_ATU_PRODUCAO_SETOR=40
TEMPO_ESPERA=60000
PORTA_UDP_ULT_ENTRADA={feed_port}
METRICAS_PORTA={metrics_port}
DIARIO_LEITURAS={journal}
""", encoding="ascii")
    # No key or mouse bindings of the window manager's own: every key goes to the station.
    (work / "openbox-rc.xml").write_text('<?xml version="1.0"?>\n<openbox_config xmlns="http://openbox.org/3.4/rc">'
                                         "<focus><focusNew>yes</focusNew></focus></openbox_config>\n")

    # Xvfb picks a free display itself and writes its number once it accepts clients.
    read_end, write_end = os.pipe()
    procs.start("Xvfb", ["Xvfb", "-displayfd", str(write_end), "-screen", "0", f"{SCREEN[0]}x{SCREEN[1]}x24",
                         "-nolisten", "tcp", "-noreset"], pass_fds=(write_end,),
                stdout=subprocess.DEVNULL, stderr=open(work / "xvfb.log", "w"))
    os.close(write_end)
    # It writes the number and the line feed apart: closing the pipe before the line feed kills it.
    got, end = b"", time.monotonic() + 20
    while not got.endswith(b"\n") and time.monotonic() < end:
        if select.select([read_end], [], [], max(0.0, end - time.monotonic()))[0]:
            chunk = os.read(read_end, 64)
            if not chunk:
                break
            got += chunk
    os.close(read_end)
    number = got.decode(errors="replace").strip()
    if not number.isdigit():
        raise Failure("Xvfb did not start within 20 s (see xvfb.log)")
    display = f":{number}"
    env = {k: v for k, v in os.environ.items() if k not in ("QT_QPA_PLATFORM", "WAYLAND_DISPLAY")}
    env["DISPLAY"] = display
    runtime = work / "runtime"
    runtime.mkdir(mode=0o700, exist_ok=True)
    env["XDG_RUNTIME_DIR"] = str(runtime)

    procs.start("openbox", ["openbox", "--sm-disable", "--config-file", str(work / "openbox-rc.xml")], env=env,
                stdout=subprocess.DEVNULL, stderr=open(work / "openbox.log", "w"))
    wait_until("openbox managing the screen", 20,
               lambda: "window id" in run(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"], 5, env=env).stdout, 0.1)

    log(f"scanner_pace: display {display} {SCREEN[0]}x{SCREEN[1]}, station {station}")
    proc = procs.start("station", [str(station), "--settings", str(ini), "--locale", "pt_BR", "--fullscreen"], env=env,
                       cwd=work, stdout=open(work / "station.out", "w"), stderr=open(work / "station.err", "w"))
    metrics = Metrics(metrics_port)

    def station_up():
        if proc.poll() is not None:
            raise Failure(f"the station ended with exit code {proc.returncode} (see station.err)")
        return metrics.healthy()

    t0 = time.monotonic()
    wait_until("the station ready (/health)", 60, station_up, 0.1)

    def main_window():
        station_up()
        r = run(["xdotool", "search", "--onlyvisible", "--pid", str(proc.pid), "--name", WINDOW_TITLE], 5, env=env)
        ids = r.stdout.split()
        return ids[0] if ids else None

    wid = wait_until("the station's window mapped", 30, main_window, 0.1)
    run(["xdotool", "windowactivate", "--sync", wid], 10, env=env)
    wait_until("the station's window focused", 10,
               lambda: run(["xdotool", "getwindowfocus"], 5, env=env).stdout.strip() == wid, 0.1)
    geometry = run(["xdotool", "getwindowgeometry", wid], 5, env=env).stdout
    size = re.search(r"Geometry:\s*(\d+x\d+)", geometry)
    log(f"scanner_pace: window {wid} mapped and focused after {time.monotonic() - t0:.1f} s, "
        f"{size.group(1) if size else '?'}")

    # As a wedge scanner sends them: one key per digit, then Enter, all in one xdotool run (its "type"
    # does not turn a line feed into Enter, and a run per code would pause between codes).
    def typed(texts):
        keys = [k for t in texts for k in list(t) + ["Return"]]
        return run(["xdotool", "key", "--delay", str(a.key_delay_ms)] + keys, 600, env=env)

    # The warm-up code: the start-up focus is in the scan field, and this proves it before timing.
    typed([warm_up])
    first = wait_until("the warm-up code handled (is the scan field focused?)", 30,
                       lambda: (m := metrics.read())["count"] >= 1 and m, 0.05)
    if first["outcomes"].get("booked", 0) < 1:
        raise Failure(f"the warm-up code was not booked: {first['outcomes']}")
    time.sleep(0.5)  # its repaint and tones are over before the clock starts
    base = metrics.read()

    poller = Poller(metrics, a.poll_ms / 1000.0, base)
    poller.start()
    log(f"scanner_pace: typing {n} codes at {a.key_delay_ms} ms per key ...")
    typing_start = time.time()
    r = typed(codes)
    last_key = time.time()
    if r.returncode != 0:
        raise Failure(f"xdotool type: {r.stderr.strip()}")
    target = base["count"] + n
    deadline = time.monotonic() + a.deadline_s
    caught_up = None
    while time.monotonic() < deadline:
        snap = poller.snapshot()
        if snap["count"] >= target:
            # The station's own time of its last scan's end, on the clock time.time() reads.
            caught_up = snap["last_scan"] - last_key
            break
        if proc.poll() is not None:
            break
        time.sleep(0.02)
    poller.stop()
    final = poller.snapshot()
    try:
        final = metrics.read()
    except OSError:
        pass
    handled = final["count"] - base["count"]
    outcomes = {k: int(v - base["outcomes"].get(k, 0)) for k, v in final["outcomes"].items()}
    within = {le: int(v - base["buckets"].get(le, 0)) for le, v in final["buckets"].items()}
    mean_ms = (final["sum"] - base["sum"]) / handled * 1000 if handled else float("nan")

    # The station closes as its close button would; then its files are read.
    ended_alone = proc.poll() is not None
    procs.stop(proc, 10)
    jr = read_journal(journal, codes)
    counted = isql_numbers(work / "main.fdb", f"""SELECT
  (SELECT COUNT(*) FROM CODCXUNIT WHERE CODIGO_CX BETWEEN {codes[0]} AND {codes[-1]} AND DTBAIXA_CX IS NOT NULL
     AND ESTEIRA_CX = '{CONVEYOR}'),
  (SELECT COUNT(*) FROM PRODUCAO_SETOR WHERE PROG_PS = '900101' AND SETOR_PS = '40'),
  (SELECT COUNT(DISTINCT FICHA_PS) FROM PRODUCAO_SETOR WHERE PROG_PS = '900101' AND SETOR_PS = '40')
FROM RDB$DATABASE""")
    if counted is None:
        booked, booked_from, completions = jr["once"], "journal (no isql-fb)", ""
    else:
        booked, booked_from = counted[0], "database"
        # The warm-up box's ticket included: every ticket whose boxes are all written off, once.
        tickets = math.ceil((n + 1) / TICKET_BOXES)
        completions = f"; tickets completed in 40: {counted[2]} of {tickets} in {counted[1]} rows"

    slowest = sorted(((d * 1000, i + 1) for i, d in enumerate(poller.durations)), reverse=True)[:3]
    durations = sorted(d * 1000 for d in poller.durations)
    typing_s = last_key - typing_start
    log(f"scanner_pace: typed {n} codes in {typing_s:.1f} s ({typing_s / n * 1000:.0f} ms per code)")
    if durations:
        med, p90, p99 = statistics.median(durations), percentile(durations, 0.9), percentile(durations, 0.99)
        log(f"scanner_pace: per scan, Enter to message (metrics, {len(durations)} scans, {poller.alone} timed alone): "
            f"median {med:.2f} ms, p90 {p90:.2f} ms, p99 {p99:.2f} ms, max {durations[-1]:.2f} ms, "
            f"mean {mean_ms:.2f} ms")
        log("scanner_pace: slowest: " + ", ".join(f"scan {i} {d:.1f} ms" for d, i in slowest))
    else:
        med = p90 = p99 = float("nan")
        log("scanner_pace: no scan was timed")
    if "0.01" in within and handled:
        log(f"scanner_pace: scans within 10 ms by the station's histogram: {within['0.01']} of {handled}")
    gaps = sorted(g * 1000 for g in jr["gaps"])
    if gaps:
        log(f"scanner_pace: journal, time between one scan's start and the next: median "
            f"{statistics.median(gaps):.0f} ms, p90 {percentile(gaps, 0.9):.0f} ms")
    if caught_up is not None and caught_up < 0:
        # xdotool returns half a key delay after the last key's release.
        log(f"scanner_pace: caught up before xdotool returned ({caught_up * 1000:.1f} ms): counted as 0 s")
        caught_up = 0.0
    elif caught_up is not None:
        log(f"scanner_pace: caught up {caught_up:.2f} s after the last key")
    elif ended_alone:
        log(f"scanner_pace: the station ended (exit code {proc.returncode}) after {handled} of {n} codes")
    else:
        log(f"scanner_pace: NOT caught up within {a.deadline_s:g} s of the last key: {handled} of {n} codes handled")
    # A station stopped at the deadline handles the keys already queued before it closes.
    log(f"scanner_pace: outcomes {outcomes}; written off by the time it closed: {booked} of {n} ({booked_from}); "
        f"journal: {jr['entries']} "
        f"entries of these codes, {jr['once']} entered once and done, states {jr['states']}{completions}")
    if poller.errors:
        log(f"scanner_pace: {poller.errors} metrics reads failed")

    fmt = lambda v: "nan" if v != v else f"{v:.3f}"
    log(f"RESULT kind=scanner_pace scans={n} booked={booked} median_ms={fmt(med)} p90_ms={fmt(p90)} "
        f"p99_ms={fmt(p99)} caught_up_s={'timeout' if caught_up is None else f'{caught_up:.3f}'} handled={handled} "
        f"journal_once={jr['once']} typing_s={typing_s:.3f} key_delay_ms={a.key_delay_ms} "
        f"within_10ms={within.get('0.01', 0)}")
    ok = caught_up is not None and booked == n and jr["once"] == n and outcomes.get("booked", 0) == n
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
