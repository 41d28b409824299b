#!/usr/bin/env bash
# Builds the benchmarks (Release) in build-bench/, runs every one of bench/ and prints its tables:
# the scan timings (the station from Enter to the message against the same statements run bare plus
# one repaint, forced writes on and off, with the transactions and page writes per scan; the counter
# load against a bare fetch of the same rows), the year's database against the small one, the fleet
# of station processes against one server, wan_bench (the station through a relay that delays every
# chunk, with the round trips of each scan kind), then scanner_pace (bench/scanner_pace.py: codes
# typed into the real station window under Xvfb, as a keyboard-wedge scanner does).
# Each benchmark's full output is kept in build-bench/results/NAME.txt.
#
#   bash scripts/bench.sh [--before REV]
#
# --before REV also builds the benchmarks of an earlier commit (a worktree in build-bench-before/)
# and runs each benchmark of both, the earlier one first, one after the other in the same run; the
# tables then give the earlier figures beside the new ones (results/before/NAME.txt). scanner_pace
# drives the earlier station binary with today's script.
set -euo pipefail
cd "$(dirname "$0")/.."
BEFORE_REV=""
while [ $# -gt 0 ]; do
  case "$1" in
    --before) BEFORE_REV="${2:?--before takes a commit}"; shift ;;
    *) echo "usage: bash scripts/bench.sh [--before REV]" >&2; exit 2 ;;
  esac
  shift
done
bash scripts/setup.sh --bench
BUILD="$PWD/build-bench"
BENCHES=(station_bench sector_bench stock_bench journal_bench growth_bench fleet_bench db_bench json_bench feed_bench)
cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DVEK_BUILD_TESTS=OFF -DVEK_BUILD_BENCH=ON >/dev/null
cmake --build "$BUILD" -j"$(nproc)" --target "${BENCHES[@]}" wan_bench vek-station vek-mkdb >/dev/null
RESULTS="$BUILD/results"
rm -rf "$RESULTS"
mkdir -p "$RESULTS"
BEFORE=""
if [ -n "$BEFORE_REV" ]; then
  BEFORE="$PWD/build-bench-before"
  SRC_BEFORE="$BEFORE/src"
  if [ ! -d "$SRC_BEFORE" ]; then
    mkdir -p "$BEFORE"
    git worktree add --detach "$SRC_BEFORE" "$BEFORE_REV" >/dev/null
  else
    git -C "$SRC_BEFORE" checkout -q --detach "$BEFORE_REV"
  fi
  # Either may be a link to a tree and a build made before.
  SRC_BEFORE="$(cd "$SRC_BEFORE" && pwd -P)"
  mkdir -p "$BEFORE/build"
  BEFORE_BUILD="$(cd "$BEFORE/build" && pwd -P)"
  cmake -S "$SRC_BEFORE" -B "$BEFORE_BUILD" -DCMAKE_BUILD_TYPE=Release -DVEK_BUILD_TESTS=OFF -DVEK_BUILD_BENCH=ON >/dev/null
  # A benchmark the earlier commit did not have is left out of its side.
  for b in "${BENCHES[@]}" vek-station vek-mkdb; do
    cmake --build "$BEFORE_BUILD" -j"$(nproc)" --target "$b" >/dev/null 2>&1 || true
  done
  mkdir -p "$RESULTS/before"
fi
failed=()
run_one() { # DIR NAME OUT
  QT_QPA_PLATFORM=offscreen "$1/bench/$2" >"$3/$2.txt" 2>"$3/$2.err"
}
for b in "${BENCHES[@]}"; do
  if [ -n "$BEFORE" ] && [ -x "$BEFORE_BUILD/bench/$b" ]; then
    echo "running $b (before: $BEFORE_REV) ..." >&2
    # The earlier commit's benchmarks read schema and scripts from its own tree.
    (cd "$SRC_BEFORE" && run_one "$BEFORE_BUILD" "$b" "$RESULTS/before") || echo "$b (before) failed" >&2
  fi
  echo "running $b ..." >&2
  if ! run_one "$BUILD" "$b" "$RESULTS"; then
    failed+=("$b")
    echo "$b failed (see $RESULTS/$b.err)" >&2
  fi
done
if [ -n "$BEFORE" ] && [ -x "$BEFORE_BUILD/src/app/vek-station" ]; then
  echo "running scanner_pace (before: $BEFORE_REV) ..." >&2
  python3 bench/scanner_pace.py --station "$BEFORE_BUILD/src/app/vek-station" --mkdb "$BUILD/src/tools/vek-mkdb" \
    >"$RESULTS/before/scanner_pace.txt" 2>"$RESULTS/before/scanner_pace.err" || echo "scanner_pace (before) failed" >&2
fi
# wan_bench drives a station build through its own relay: the earlier commit's station runs under
# today's benchmark.
if [ -n "$BEFORE" ] && [ -x "$BEFORE_BUILD/src/app/vek-station" ]; then
  echo "running wan_bench (before: $BEFORE_REV) ..." >&2
  run_wan() { QT_QPA_PLATFORM=offscreen "$BUILD/bench/wan_bench" --station "$BEFORE_BUILD/src/app/vek-station"; }
  run_wan >"$RESULTS/before/wan_bench.txt" 2>"$RESULTS/before/wan_bench.err" || echo "wan_bench (before) failed" >&2
fi
echo "running wan_bench ..." >&2
if ! run_one "$BUILD" wan_bench "$RESULTS"; then
  failed+=(wan_bench)
  echo "wan_bench failed (see $RESULTS/wan_bench.err)" >&2
fi
echo "running scanner_pace ..." >&2
if ! python3 bench/scanner_pace.py --station "$BUILD/src/app/vek-station" --mkdb "$BUILD/src/tools/vek-mkdb" \
  >"$RESULTS/scanner_pace.txt" 2>"$RESULTS/scanner_pace.err"; then
  failed+=(scanner_pace)
  echo "scanner_pace failed (see $RESULTS/scanner_pace.txt)" >&2
fi

python3 - "$RESULTS" <<'PY'
import pathlib
import sys


def load(folder):
    found = {}
    for path in sorted(pathlib.Path(folder).glob("*.txt")):
        for line in path.read_text(encoding="utf-8", errors="replace").splitlines():
            if line.startswith("RESULT "):
                fields = dict(item.split("=", 1) for item in line.split()[1:])
                kind = fields.pop("kind")
                if "forced_writes" in fields:
                    kind += "/" + fields.pop("forced_writes")
                found[kind] = fields
    return found


results = load(sys.argv[1])
before = load(pathlib.Path(sys.argv[1]) / "before") if (pathlib.Path(sys.argv[1]) / "before").is_dir() else None


def was(kind, key):
    """The earlier commit's figure, when the run compared with one."""
    r = before.get(kind) if before is not None else None
    if r is None or key not in r:
        return "-"
    v = r[key]
    return f"{float(v):.3f} ms" if key.endswith("_ms") else v


def table(head, rows):
    rows = [tuple(row) + ("",) * (len(head) - len(row)) for row in rows]
    widths = [max(len(row[i]) for row in [head] + rows) for i in range(len(head))]
    fmt = lambda row: "  ".join(c.ljust(w) if i == 0 else c.rjust(w) for i, (c, w) in enumerate(zip(row, widths)))
    print(fmt(head))
    print("  ".join("-" * w for w in widths))
    for row in rows:
        print(fmt(row))


def ms(r, key):
    return f"{float(r[key]):.3f} ms" if r and key in r else "-"


ROWS = [
    ("conveyor", "conveyor", "on", "conveyor scan (station_bench)"),
    ("conveyor_nofw", "conveyor", "off", "conveyor scan (station_bench)"),
    ("sector", "sector", "on", "sector scan, validation + records (sector_bench)"),
    ("sector_nofw", "sector", "off", "sector scan, validation + records (sector_bench)"),
    ("stock", "stock", "on", "conveyor scan + stock booking (stock_bench)"),
    ("stock_nofw", "stock", "off", "conveyor scan + stock booking (stock_bench)"),
    ("sub_ticket", "sub_ticket", "on", "sub-ticket of {boxes} boxes (stock_bench)"),
    ("sub_ticket_nofw", "sub_ticket", "off", "sub-ticket of {boxes} boxes (stock_bench)"),
    ("counter_load", None, "on", "counter load, {rows} rows (station_bench)"),
    ("journal", None, "off", "conveyor scan, journal on vs off (journal_bench)"),
    ("settle", None, "off", "settling {scans} kept scans, in all (journal_bench)"),
]
rows = []
for kind, activity, fw, label in ROWS:
    r = results.get(kind)
    a = results.get(f"{activity}_activity/{fw}") if activity else None
    if r is None:
        rows.append((label.format(boxes="?", rows="?", scans="?"), fw, "missing", "", "", "", "", "", ""))
        continue
    pa = f"{activity}_activity/{fw}"
    rows.append((label.format(**r), fw, ms(r, "station_median_ms"), ms(r, "station_p99_ms"), ms(r, "bare_median_ms"),
                 ms(r, "bare_p99_ms"), r.get("ratio", "-"), a["transactions_per_scan"] if a else "-",
                 a["page_writes_per_scan"] if a else "-") +
                ((was(kind, "station_median_ms"), was(kind, "ratio"), was(pa, "page_writes_per_scan") if activity else "-")
                 if before is not None else ()))
table(("kind", "forced writes", "station median", "station p99", "bare median", "bare p99", "ratio", "tx/scan",
       "page writes/scan") + (("before: station median", "ratio", "page writes/scan") if before is not None else ()),
      rows)
print("ratio: station median / bare median (bare: the same statements plus one repaint; for the counter "
      "load, the same rows fetched and read). Embedded engine, one process. tx/scan: transactions started per "
      "scan; page writes/scan: the engine's page writes per scan (with forced writes, each one waits for the disk).")
print()

GROWTH = [("growth_startup", "start-up to the first scan"), ("growth_conveyor", "conveyor scan"),
          ("growth_sector", "sector scan"), ("growth_sub_ticket", "sub-ticket of 50 boxes"),
          ("growth_enquiry", "label enquiry with its sector list"), ("growth_counter_reload", "counter reload")]
rows = []
for kind, label in GROWTH:
    r = results.get(kind)
    rows.append((label, ms(r, "small_median_ms"), ms(r, "small_p99_ms"), ms(r, "year_median_ms"),
                 ms(r, "year_p99_ms"), r.get("ratio", "-") if r else "missing") +
                ((was(kind, "small_median_ms"), was(kind, "year_median_ms"), was(kind, "ratio"))
                 if before is not None else ()))
table(("growth_bench", "small median", "small p99", "year median", "year p99", "ratio") +
      (("before: small median", "year median", "ratio") if before is not None else ()), rows)
print("ratio: year median / small median (the demo database against a year of a factory's production).")
print()

rows = []
for variant in ("conveyor", "sector", "contended"):
    for n in (1, 2, 4, 8):
        r = results.get(f"fleet_{variant}_n{n}")
        if r is None:
            rows.append((f"{variant}, {n} stations", "missing", "", "", "", "", "", ""))
            continue
        k = f"fleet_{variant}_n{n}"
        rows.append((f"{variant}, {n} stations", r.get("scans_per_s", "-"), ms(r, "station_median_ms"),
                     ms(r, "station_p99_ms"), ms(r, "bare_median_ms"), ms(r, "bare_p99_ms"), r.get("ratio", "-"),
                     r.get("server_cpu_pct", "-"), r.get("server_cpu_ms_per_scan", "-"),
                     r.get("bare_server_cpu_ms_per_scan", "-")) +
                    ((was(k, "station_median_ms"), was(k, "ratio")) if before is not None else ()))
table(("fleet_bench", "scans/s", "station median", "station p99", "bare median", "bare p99", "ratio",
       "server CPU %", "server CPU ms/scan", "bare: server CPU ms/scan") +
      (("before: station median", "ratio") if before is not None else ()), rows)
print("fleet_bench: N station processes in script mode against one server on 127.0.0.1 (forced writes on), "
      "against the same statements sent bare by N connections, in alternating rounds.")
print()

rows = []
for kind in ("conveyor", "conveyor_nostock", "sector", "subticket", "startup"):
    for rtt in (0, 5, 20, 50):
        k = f"wan_{kind}_rtt{rtt}"
        r = results.get(k)
        if r is None:
            rows.append((f"{kind}, {rtt} ms", "missing"))
            continue
        b = before.get(k) if before is not None else None
        rows.append((f"{kind}, {rtt} ms", f"{float(r['median_ms']):.1f} ms", r["round_trips"]) +
                    ((f"{float(b['median_ms']):.1f} ms" if b else "-", b["round_trips"] if b else "-")
                     if before is not None else ()))
table(("wan_bench: kind, round trip", "median", "round trips") +
      (("before: median", "round trips") if before is not None else ()), rows)
print("wan_bench: the station in script mode through a relay that holds each chunk half the round trip each way; "
      "round trips counted by the relay as exchanges; conveyor_nostock: the same conveyor with production "
      "stock off (aims at 20 ms: conveyor 5, sector 8, sub-ticket of 50 boxes 10, start-up under 1 s).")
print()

r = results.get("scanner_pace")
if r is None:
    rows = [("codes typed into the window", "missing", "", "", "", "")]
else:
    caught = r.get("caught_up_s", "-")
    caught = f"{float(caught):.2f} s" if caught not in ("-", "timeout") else caught
    rows = [(f"{r['scans']} codes typed at {r.get('key_delay_ms', '?')} ms per key", f"{r['booked']}/{r['scans']}",
             ms(r, "median_ms"), ms(r, "p90_ms"), ms(r, "p99_ms"), caught)]
    b = before.get("scanner_pace") if before is not None else None
    if b is not None:
        bc = b.get("caught_up_s", "-")
        bc = f"{float(bc):.2f} s" if bc not in ("-", "timeout") else bc
        rows.append(("  before", f"{b['booked']}/{b['scans']}", ms(b, "median_ms"), ms(b, "p90_ms"), ms(b, "p99_ms"),
                     bc))
table(("scanner_pace", "booked", "median per scan", "p90", "p99", "caught up"), rows)
print("scanner_pace: codes typed back to back by xdotool into the real window (Xvfb 1366x768, openbox, full "
      "screen, conveyor mode); per scan: Enter to message as the station's metrics time it; caught up: from the "
      "last key to the last code handled (aim: median 10 ms or less, caught up within 1 s).")
PY
echo "Full output of every benchmark: $RESULTS/" >&2
if [ ${#failed[@]} -gt 0 ]; then
  echo "failed: ${failed[*]}" >&2
  exit 1
fi
