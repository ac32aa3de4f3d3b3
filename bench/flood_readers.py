#!/usr/bin/env python3
"""Flooders beside readers of many speeds: FLOODERS clients send one endless line as fast as the
server takes it (reading what comes), readers take RATES bytes a second each (0: all they can),
and a polite client says a stamped line every 50 ms to a watcher; both read everything. Prints one
JSON line: which readers were cut and when, what each had, the polite lines' latency at the
watcher, and the server's peak RSS.
        bench/flood_readers.py BUILT_SERVER FLOODERS RATE,RATE,... SECONDS
"""
import json, local_server, re, socket, sys, threading, time
server, flooders, rates, seconds = sys.argv[1], int(sys.argv[2]), [int(r) for r in sys.argv[3].split(",")], float(sys.argv[4])
program, port = local_server.start(server, len(rates) + flooders + 5)
stop = threading.Event()

def join(nick):
    s = socket.create_connection(("127.0.0.1", port)); s.sendall(b"nickName=" + nick)
    seen = b""
    while b"01. " not in seen: seen += s.recv(65536)
    return s

def read(s, bytes_per_s, result):
    got, begun = 0, time.monotonic()
    try:
        while not stop.is_set():
            chunk = s.recv(65536 if bytes_per_s == 0 else max(1, bytes_per_s // 100))
            if not chunk: break
            got += len(chunk)
            result["got_mb"] = round(got / 1e6, 1)
            if bytes_per_s: time.sleep(max(0.0, got / bytes_per_s - (time.monotonic() - begun)))
    except OSError:
        result["cut_s"] = round(time.monotonic() - start, 2)

def flood(s):
    s.settimeout(0.5)
    line = b"z" * 65536
    threading.Thread(target=read, args=(s, 0, {}), daemon=True).start()
    while not stop.is_set():
        try: s.sendall(line)
        except socket.timeout: pass
        except OSError: return

latencies = []
def watch(s):
    carry = b""  # a stamp may come in two reads
    while not stop.is_set():
        try: chunk = s.recv(1 << 20)
        except OSError: return
        if not chunk: return
        now, text, end = time.monotonic(), carry + chunk, 0
        for stamp in re.finditer(rb"<t(\d+\.\d+)>", text):
            latencies.append(now - float(stamp.group(1))); end = stamp.end()
        carry = text[max(end, len(text) - 32):]

results = {f"r{i}_{rate}": {"got_mb": 0} for i, rate in enumerate(rates)}
readers = [join(name.encode()) for name in results]
watcher, polite = join(b"watch"), join(b"polite")
floods = [join(b"flood%d" % i) for i in range(flooders)]
time.sleep(0.3)
start = time.monotonic()
threads = [threading.Thread(target=read, args=(s, rate, results[name]))
           for s, rate, name in zip(readers, rates, results)]
threads += [threading.Thread(target=watch, args=(watcher,)), threading.Thread(target=read, args=(polite, 0, {}))] + [threading.Thread(target=flood, args=(s,)) for s in floods]
for t in threads: t.daemon = True; t.start()
while time.monotonic() - start < seconds:
    polite.sendall(b"<t%.6f>" % time.monotonic())
    time.sleep(0.05)
stop.set()
with open(f"/proc/{program.pid}/status") as status:
    peak = int(re.search(r"VmHWM:\s+(\d+)", status.read()).group(1))
program.kill()
latencies.sort()
at = lambda q: round(1000 * latencies[min(len(latencies) - 1, int(q * len(latencies)))], 1) if latencies else None
print(json.dumps({"flooders": flooders, "readers": results, "polite_lines": len(latencies),
                  "polite_p50_ms": at(0.5), "polite_p99_ms": at(0.99), "server_peak_rss_kb": peak}))
