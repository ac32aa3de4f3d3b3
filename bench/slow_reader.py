#!/usr/bin/env python3
"""A paste beside a slow reader: three fast readers and one that reads RATE bytes a second, each
in a thread of its own, and a sender that pastes MIB mebibytes. Prints one JSON line: when the
fast readers had it all, how much the slow one had and whether it was cut, and the server's
peak RSS.        bench/slow_reader.py BUILT_SERVER MIB RATE
"""
import json, local_server, re, socket, sys, threading, time
server, mib, rate = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
program, port = local_server.start(server, 10)

def join(nick):
    s = socket.create_connection(("127.0.0.1", port)); s.sendall(b"nickName=" + nick)
    seen = b""
    while b"01. " not in seen: seen += s.recv(65536)
    time.sleep(0.2); s.setblocking(False)
    try: s.recv(1 << 20)  # the joined notices of the others
    except BlockingIOError: pass
    s.setblocking(True); return s

size = mib << 20
start, results = None, {}
def read(name, s, bytes_per_s):
    got, done_at = 0, None
    try:
        while got < size:
            chunk = s.recv(65536 if bytes_per_s == 0 else max(1, bytes_per_s // 100))
            if not chunk: break
            got += chunk.count(b"z")
            if bytes_per_s: time.sleep(0.01)
        done_at = time.monotonic() - start if got >= size else None
        results[name] = {"got": got, "done_s": done_at, "cut": False}
    except ConnectionResetError:
        results[name] = {"got": got, "done_s": None, "cut": round(time.monotonic() - start, 2)}

readers = {f"fast{i}": (join(f"fast{i}".encode()), 0) for i in range(3)}
readers["slow"] = (join(b"slow"), rate)
sender = join(b"sender")
start = time.monotonic()
threads = [threading.Thread(target=read, args=(n, s, r)) for n, (s, r) in readers.items()]
for t in threads: t.start()
peak = 0
def watch():
    global peak
    while any(t.is_alive() for t in threads):
        peak = max(peak, int(re.search(r"VmRSS:\s+(\d+)", open(f"/proc/{program.pid}/status").read()).group(1)))
        time.sleep(0.05)
threading.Thread(target=watch, daemon=True).start()
piece = b"z" * 65536
for _ in range(size // len(piece)): sender.sendall(piece)
for t in threads: t.join(timeout=120)
fast = [results.get(f"fast{i}", {}).get("done_s") for i in range(3)]
print(json.dumps({"mib": mib, "slow_bytes_per_s": rate, "fast_done_s": max(fast) if all(fast) else None,
                  "slow": results.get("slow"), "server_peak_rss_kb": peak}))
program.kill()
