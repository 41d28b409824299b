#!/usr/bin/env bash
# Builds the benchmarks (Release) in build-bench/, runs every one of bench/ and prints one table of
# the scan timings: the station from Enter to the message against the same statements run bare plus
# one repaint, and the counter load against a bare fetch of the same rows. Each benchmark's full
# output is kept in build-bench/results/NAME.txt.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
BUILD="$PWD/build-bench"
BENCHES=(station_bench sector_bench stock_bench journal_bench db_bench json_bench feed_bench)
cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DVEK_BUILD_TESTS=OFF -DVEK_BUILD_BENCH=ON >/dev/null
cmake --build "$BUILD" -j"$(nproc)" --target "${BENCHES[@]}" >/dev/null
RESULTS="$BUILD/results"
rm -rf "$RESULTS"
mkdir -p "$RESULTS"
failed=()
for b in "${BENCHES[@]}"; do
  echo "running $b ..." >&2
  if ! QT_QPA_PLATFORM=offscreen "$BUILD/bench/$b" >"$RESULTS/$b.txt" 2>"$RESULTS/$b.err"; then
    failed+=("$b")
    echo "$b failed (see $RESULTS/$b.err)" >&2
  fi
done

python3 - "$RESULTS" <<'PY'
import pathlib
import sys

results = {}
for path in sorted(pathlib.Path(sys.argv[1]).glob("*.txt")):
    for line in path.read_text(encoding="utf-8", errors="replace").splitlines():
        if line.startswith("RESULT "):
            fields = dict(item.split("=", 1) for item in line.split()[1:])
            results[fields.pop("kind")] = fields

ROWS = [
    ("conveyor", "conveyor scan (station_bench)"),
    ("sector", "sector scan, validation + records (sector_bench)"),
    ("stock", "conveyor scan + stock booking (stock_bench)"),
    ("sub_ticket", "sub-ticket of {boxes} boxes (stock_bench)"),
    ("counter_load", "counter load, {rows} rows (station_bench)"),
    ("journal", "conveyor scan, journal on vs off (journal_bench)"),
    ("settle", "settling {scans} kept scans, in all (journal_bench)"),
]
HEAD = ("kind", "station median", "station p99", "bare median", "bare p99", "ratio")
table = []
for kind, label in ROWS:
    r = results.get(kind)
    if r is None:
        table.append((label.format(boxes="?", rows="?", scans="?"), "missing", "", "", "", ""))
        continue
    ms = lambda key: f"{float(r[key]):.3f} ms" if key in r else "-"
    table.append((label.format(**r), ms("station_median_ms"), ms("station_p99_ms"), ms("bare_median_ms"),
                  ms("bare_p99_ms"), r.get("ratio", "-")))
widths = [max(len(row[i]) for row in [HEAD] + table) for i in range(len(HEAD))]
fmt = lambda row: "  ".join(c.ljust(w) if i == 0 else c.rjust(w) for i, (c, w) in enumerate(zip(row, widths)))
print(fmt(HEAD))
print("  ".join("-" * w for w in widths))
for row in table:
    print(fmt(row))
print("ratio: station median / bare median (bare: the same statements plus one repaint; for the counter "
      "load, the same rows fetched and read). Embedded engine, one process.")
PY
echo "Full output of every benchmark: $RESULTS/" >&2
if [ ${#failed[@]} -gt 0 ]; then
  echo "failed: ${failed[*]}" >&2
  exit 1
fi
