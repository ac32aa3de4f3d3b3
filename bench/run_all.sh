#!/usr/bin/env bash
# Runs every benchmark point three times and prints one JSON line per run, then the medians and
# Parleon's figures as ratios to the epoll yardstick.   bench/run_all.sh [seconds-per-point]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-5}
cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DPARLEON_BENCH=ON -DBUILD_TESTING=ON >/dev/null
cmake --build build-bench -j"$(nproc)" --target relay_load connect_wait_cpu >/dev/null
tool=build-bench/bench/relay_load
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d)}"
chmod 700 "$XDG_RUNTIME_DIR"
results=$(mktemp)
for point in "10 1000" "10 10000" "50 1000" "50 5000"; do
  set -- $point
  for run in 1 2 3; do
    for server in parleon epoll; do
      "$tool" relay --server "$server" --clients "$1" --rate "$2" --seconds "$seconds" | tee -a "$results"
    done
  done
done
"$tool" churn --churners 10 --cycles 10000
"$tool" idle --clients 10 --seconds 30
QT_QPA_PLATFORM=offscreen build-bench/bench/connect_wait_cpu 20
python3 - "$results" <<'PY'
import json, statistics, sys
runs = [json.loads(line) for line in open(sys.argv[1])]
keys = ["deliveries_per_s", "p50_ms", "p99_ms", "max_ms", "server_cpu_s", "loss"]
print("\nmedians of three runs, and Parleon / yardstick:")
for clients, rate in [(10, 1000), (10, 10000), (50, 1000), (50, 5000)]:
    med = {}
    for server in ("parleon", "epoll"):
        sel = [r for r in runs if r["server"] == server and r["clients"] == clients and r["offered_lines_per_s"] == rate]
        med[server] = {k: statistics.median(r[k] for r in sel) for k in keys}
        med[server]["offered"] = sel[0]["offered_deliveries_per_s"]
    p, e = med["parleon"], med["epoll"]
    print(json.dumps({"clients": clients, "lines_per_s": rate,
                      "parleon": {k: round(v, 3) for k, v in p.items()},
                      "epoll": {k: round(v, 3) for k, v in e.items()},
                      "throughput_share_of_offered": round(p["deliveries_per_s"] / p["offered"], 3),
                      "p99_ratio_to_yardstick": round(p["p99_ms"] / e["p99_ms"], 2),
                      "p50_ratio_to_yardstick": round(p["p50_ms"] / e["p50_ms"], 2)}))
PY
