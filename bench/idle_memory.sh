#!/usr/bin/env bash
# The resident memory of a headless Parleon server that holds idle clients.
#   bench/idle_memory.sh [--runs R] [--clients N] [--wait S] EXECUTABLE [ARGUMENT...]
# For example:
#   bench/idle_memory.sh build-deb/src/parleon-server
#   bench/idle_memory.sh build-deb/src/parleon --server --headless
# Each run copies the executable into a folder of its own (so it starts with the safe settings
# and writes its settings file there), starts it with --port 0 --max-clients N, joins N clients
# over loopback (each sends nickName=userK and waits for the welcome), waits S seconds and reads
# VmRSS from /proc/PID/status. Prints every run and the median, in kB.
set -euo pipefail

runs=3 clients=10 wait=3
while [ $# -gt 0 ]; do
  case "$1" in
    --runs) runs=$2; shift 2 ;;
    --clients) clients=$2; shift 2 ;;
    --wait) wait=$2; shift 2 ;;
    *) break ;;
  esac
done
[ $# -ge 1 ] || { sed -n '2,6p' "$0" >&2; exit 2; }
executable=$(realpath "$1")
shift

# Holds N clients: prints "joined" once every client has its welcome, then stays until killed.
clients_py='
import socket, sys, time
port, count = int(sys.argv[1]), int(sys.argv[2])
held = []
for k in range(1, count + 1):
    s = socket.create_connection(("127.0.0.1", port), timeout=10)
    s.sendall(b"nickName=user%d\r\n" % k)
    said = b""
    while b"Wellcome" not in said:
        chunk = s.recv(4096)
        if not chunk:
            sys.exit("client %d: the server closed the connection: %r" % (k, said))
        said += chunk
    held.append(s)
print("joined", flush=True)
while True:
    time.sleep(60)
'

one_run() {
  local folder server port rss
  folder=$(mktemp -d)
  cp "$executable" "$folder/"
  XDG_CONFIG_HOME=$folder XDG_RUNTIME_DIR=$folder \
    "$folder/$(basename "$executable")" "$@" --port 0 --max-clients "$clients" >"$folder/out" 2>"$folder/err" &
  server=$!
  # "... Server start OK on port <port>."
  for _ in $(seq 100); do
    port=$(grep -o 'on port [0-9]*' "$folder/out" | head -n1 | cut -d' ' -f3) || true
    [ -n "$port" ] && break
    sleep 0.1
  done
  if [ -z "$port" ]; then
    echo "idle_memory: the server did not start:" >&2
    cat "$folder/out" "$folder/err" >&2
    kill "$server" 2>/dev/null || true
    rm -rf "$folder"
    return 1
  fi
  python3 -c "$clients_py" "$port" "$clients" >"$folder/clients" &
  local holder=$!
  for _ in $(seq 100); do
    grep -q joined "$folder/clients" && break
    kill -0 "$holder" 2>/dev/null || break
    sleep 0.1
  done
  grep -q joined "$folder/clients" || { echo "idle_memory: the clients did not join" >&2; kill "$holder" "$server" 2>/dev/null; rm -rf "$folder"; return 1; }
  sleep "$wait"
  rss=$(awk '/^VmRSS:/ {print $2}' "/proc/$server/status")
  kill "$holder"
  wait "$holder" 2>/dev/null || true
  kill -TERM "$server"
  wait "$server" || true
  rm -rf "$folder"
  echo "$rss"
}

results=()
for run in $(seq "$runs"); do
  rss=$(one_run "$@")
  echo "run $run: VmRSS $rss kB"
  results+=("$rss")
done
median=$(printf '%s\n' "${results[@]}" | sort -n | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}')
echo "median of $runs, $clients idle clients: VmRSS $median kB ($(awk -v k="$median" 'BEGIN {printf "%.1f", k / 1024}') MiB)"
