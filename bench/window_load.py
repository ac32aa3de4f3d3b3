#!/usr/bin/env python3
"""The real program in a real window (Xvfb and openbox) under a hostile peer.

The server is started through the window as a user does it. One client sends a text of SIZE MiB
without a line break while two polite clients each say a stamped line every 100 ms and a line is
typed into the window every second. Prints one JSON line: how long the text took to reach a
reader, the polite lines' latency, how long the typed lines took to arrive, and the server's
memory.        bench/window_load.py BUILT_PARLEON [SIZE_MIB]
"""
import json, os, shutil, socket, subprocess, sys, tempfile, threading, time

binary, size_mib = sys.argv[1], int(sys.argv[2]) if len(sys.argv) > 2 else 64
folder = tempfile.mkdtemp()
shutil.copy(binary, folder)
xvfb = subprocess.Popen(["Xvfb", "-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
                        stdout=subprocess.PIPE)
env = dict(os.environ, DISPLAY=":" + xvfb.stdout.readline().decode().strip(), QT_QPA_PLATFORM="xcb",
           XDG_RUNTIME_DIR=folder)
wm = subprocess.Popen(["openbox"], env=env, stderr=subprocess.DEVNULL)
while subprocess.run(["wmctrl", "-m"], env=env, capture_output=True).returncode:
    time.sleep(0.1)


def xdo(*args):
    return subprocess.run(["xdotool", *args], env=env, capture_output=True, text=True).stdout.strip()


def window(name):
    while not (found := xdo("search", "--onlyvisible", "--name", name)):
        time.sleep(0.1)
    return found.split()[0]


with socket.socket() as probe:
    probe.bind(("127.0.0.1", 0))
    port = probe.getsockname()[1]
with open(os.path.join(folder, "ParleonConfig.dat"), "w", newline="") as f:
    f.write(f'{port}\r\n10\r\n127\r\n0\r\n0\r\n1\r\n""\r\n20\r\n')
program = subprocess.Popen([os.path.join(folder, "parleon")], env=env, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL)
main = window("^Parleon$")
xdo("mousemove", "--window", main, "64", "20", "click", "1")
xdo("windowactivate", "--sync", window("^Parleon Server Settings$"), "key", "Return")


def join(nick):
    for _ in range(100):
        try:
            s = socket.create_connection(("127.0.0.1", port))
            break
        except ConnectionRefusedError:
            time.sleep(0.1)
    s.sendall(b"nickName=" + nick)
    time.sleep(0.3)
    return s


sender, alice, bob = join(b"xavier"), join(b"alice"), join(b"bob")
done, latencies, typed, started = threading.Event(), [], [], time.time()
text = b"y" * (size_mib << 20)


def read(s, stamps):
    # Counts the text's bytes and times the stamped lines, of alice's (at bob) and the window's.
    s.settimeout(0.5)
    got, tail, whole = 0, b"", False
    while not done.is_set():
        try:
            data = s.recv(1 << 20)
        except socket.timeout:
            continue
        got += data.count(b"y")
        tail = (tail + data.replace(b"y", b""))[-4096:]
        while (at := tail.find(b"#")) >= 0 and (end := tail.find(b";", at)) >= 0:
            kind, _, sent = tail[at + 1:end].partition(b",")
            (typed if kind == b"t" else stamps).append(time.time() - float(sent))
            tail = tail[end + 1:]
        if got >= len(text) and not whole:
            whole = True
            stamps.append(("text", time.time() - started))


def chat():
    while not done.is_set():
        alice.sendall(b"#a,%f;" % time.time())
        time.sleep(0.1)


def type_lines():
    while not done.is_set():
        xdo("windowactivate", "--sync", main, "type", "--delay", "0", "#t,%f;" % time.time())
        xdo("key", "Return")
        time.sleep(1)


def peak_kb():
    with open(f"/proc/{program.pid}/status") as f:
        return int(next(l for l in f if l.startswith("VmHWM:")).split()[1])


idle_kb = peak_kb()
threads = [threading.Thread(target=f, daemon=True) for f in (chat, type_lines)]
threads += [threading.Thread(target=read, args=args, daemon=True) for args in ((bob, latencies), (alice, []))]
for t in threads:
    t.start()
sender.sendall(text)
while not any(isinstance(x, tuple) for x in latencies) and time.time() - started < 600:
    time.sleep(0.1)
done.set()
text_s = next((x[1] for x in latencies if isinstance(x, tuple)), None)
lines = sorted(x for x in latencies if not isinstance(x, tuple))
pick = lambda share: round(lines[min(len(lines) - 1, int(share * len(lines)))] * 1000, 1) if lines else None
print(json.dumps({"text_mib": size_mib, "text_s": text_s and round(text_s, 2), "polite_lines": len(lines),
                  "polite_p50_ms": pick(0.5), "polite_p99_ms": pick(0.99),
                  "polite_max_ms": round(max(lines) * 1000, 1) if lines else None,
                  "typed_lines": len(typed), "typed_max_ms": round(max(typed) * 1000, 1) if typed else None,
                  "server_idle_kb": idle_kb, "server_peak_kb": peak_kb()}))
for p in (program, wm, xvfb):
    p.kill()
shutil.rmtree(folder, ignore_errors=True)
