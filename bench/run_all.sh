#!/usr/bin/env bash
# Runs every benchmark point three times, the built program (headless) and the epoll yardstick
# one after the other, and prints one JSON line per run, then the medians and Parleon's figures
# as ratios to the yardstick's.   bench/run_all.sh [seconds-per-point]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-5}
cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DPARLEON_BENCH=ON -DBUILD_TESTING=ON >/dev/null
cmake --build build-bench -j"$(nproc)" --target relay_load connect_wait_cpu >/dev/null
tool=build-bench/bench/relay_load
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d)}"
chmod 700 "$XDG_RUNTIME_DIR"
results=$(mktemp)
for point in "10 1000" "10 10000" "50 1000" "50 5000" "200 1000"; do
  set -- $point
  for run in 1 2 3; do
    for server in parleon epoll; do
      "$tool" relay --server "$server" --clients "$1" --rate "$2" --seconds "$seconds" | tee -a "$results"
    done
  done
done
for run in 1 2 3; do
  for server in parleon epoll; do
    "$tool" flood --server "$server" --seconds 10 --no-flooder | tee -a "$results"
    "$tool" flood --server "$server" --seconds 10 | tee -a "$results"
    "$tool" flood --server "$server" --seconds 10 --breaks no | tee -a "$results"
  done
done
"$tool" churn --churners 10 --cycles 10000
"$tool" idle --clients 10 --seconds 30
"$tool" deaf --clients 10 --seconds 5
QT_QPA_PLATFORM=offscreen build-bench/bench/connect_wait_cpu 20
python3 - "$results" <<'PY'
import json, statistics, sys
runs = [json.loads(line) for line in open(sys.argv[1])]
med = lambda sel, k: statistics.median(r[k] for r in sel)
print("\nmedians of three runs, and Parleon / yardstick:")
for clients, rate in [(10, 1000), (10, 10000), (50, 1000), (50, 5000), (200, 1000)]:
    pick = lambda s: [r for r in runs if r.get("server") == s and r.get("clients") == clients and r.get("offered_lines_per_s") == rate]
    p, e = pick("parleon"), pick("epoll")
    row = {"clients": clients, "lines_per_s": rate}
    for name, sel in (("parleon", p), ("epoll", e)):
        row[name] = {k: round(med(sel, k), 3) for k in ("loss", "deliveries_per_s", "p50_ms", "p99_ms", "server_us_per_delivery")}
    row["share_of_offered"] = round(row["parleon"]["deliveries_per_s"] / p[0]["offered_deliveries_per_s"], 3)
    row["p99_ratio"] = round(row["parleon"]["p99_ms"] / row["epoll"]["p99_ms"], 2)
    row["cost_ratio"] = round(row["parleon"]["server_us_per_delivery"] / row["epoll"]["server_us_per_delivery"], 2)
    print(json.dumps(row))
for flooder in ("none", "lines", "no line breaks"):
    for server in ("parleon", "epoll"):
        sel = [r for r in runs if r.get("mode") == "flood" and r["server"] == server and r["flooder"] == flooder]
        print(json.dumps({"flood": flooder, "server": server, **{k: round(med(sel, k), 3) for k in
              ("polite_loss", "polite_cut", "p50_ms", "p99_ms", "max_ms", "flood_mb", "server_rss_idle_kb", "server_peak_rss_kb")}}))
PY
