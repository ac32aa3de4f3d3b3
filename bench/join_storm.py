#!/usr/bin/env python3
"""A storm of joins: a watcher joins, then N clients connect at once and send their nick names
as fast as they can. Prints one JSON line: whether the watcher was told of the joins in the
order the server took them (its output), and how long after a joiner read its welcome its
joined notice reached the watcher (p50, p99, max; negative when the notice came first).
        bench/join_storm.py BUILT_SERVER N        (N at most 999)
"""
import json, local_server, re, selectors, socket, sys, threading, time
server, count = sys.argv[1], int(sys.argv[2])
accepted = []  # the nick names in the order the server took them, from its output
program, port = local_server.start(server, 1000, lambda line: accepted.extend(re.findall(rb": nickName=(n\d+)", line)))

watcher = socket.create_connection(("127.0.0.1", port)); watcher.sendall(b"nickName=watcher")
notices, welcomed, heard = [], {}, b""
def watch():
    global heard
    while len(notices) < count:
        chunk = watcher.recv(1 << 16)
        if not chunk: return
        heard += chunk
        for name in re.findall(rb">>> (n\d+) has joined <<<", heard):
            notices.append((name.decode(), time.monotonic()))
        heard = heard[heard.rfind(b"<<<") + 3:] if b"<<<" in heard else heard
threading.Thread(target=watch, daemon=True).start()
time.sleep(0.3)

peers = [socket.create_connection(("127.0.0.1", port)) for _ in range(count)]
selector = selectors.DefaultSelector()
for i, peer in enumerate(peers):
    peer.sendall(b"nickName=n%04d" % i); peer.setblocking(False)
    selector.register(peer, selectors.EVENT_READ, i)
got = [b""] * count
deadline = time.monotonic() + 120
while len(welcomed) < count and time.monotonic() < deadline:
    for key, _ in selector.select(1):
        try: got[key.data] += key.fileobj.recv(1 << 16)
        except BlockingIOError: continue
        if key.data not in welcomed and b"Wellcome" in got[key.data]: welcomed[key.data] = time.monotonic()
while len(notices) < len(welcomed) and time.monotonic() < deadline: time.sleep(0.05)
time.sleep(0.5)  # the server's output of the last joins
delays = sorted(at - welcomed[int(name[1:])] for name, at in notices if int(name[1:]) in welcomed)
pick = lambda q: round(delays[min(len(delays) - 1, int(q * len(delays)))] * 1000, 1) if delays else None
print(json.dumps({"joins": count, "welcomed": len(welcomed), "notices": len(notices),
                  "notices_in_the_servers_order": [n for n, _ in notices] == [n.decode() for n in accepted],
                  "delay_ms_p50": pick(0.5), "delay_ms_p99": pick(0.99), "delay_ms_max": pick(1.0)}))
program.kill()
