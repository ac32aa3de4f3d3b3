#!/usr/bin/env python3
"""The relay benchmark against the real program with its window shown (Xvfb and openbox), the
server started through its "Start Server" button as a user starts it; relay_load is pointed at
it. Prints one JSON line: relay_load's figures and the program's CPU per delivery.
        bench/window_relay.py BUILT_PARLEON BUILT_RELAY_LOAD CLIENTS LINES_PER_S
"""
import json, os, shutil, socket, subprocess, sys, tempfile, time
binary, tool, clients, rate = sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4]
folder = tempfile.mkdtemp(); shutil.copy(binary, folder)
xvfb = subprocess.Popen(["Xvfb", "-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp"], stdout=subprocess.PIPE)
env = dict(os.environ, DISPLAY=":" + xvfb.stdout.readline().decode().strip(), QT_QPA_PLATFORM="xcb", XDG_RUNTIME_DIR=folder)
wm = subprocess.Popen(["openbox"], env=env, stderr=subprocess.DEVNULL)
while subprocess.run(["wmctrl", "-m"], env=env, capture_output=True).returncode: time.sleep(0.1)
xdo = lambda *a: subprocess.run(["xdotool", *a], env=env, capture_output=True, text=True).stdout.strip()
def window(name):
    while not (found := xdo("search", "--onlyvisible", "--name", name)): time.sleep(0.1)
    return found.split()[0]
with socket.socket() as probe:
    probe.bind(("127.0.0.1", 0)); port = probe.getsockname()[1]
with open(os.path.join(folder, "ParleonConfig.dat"), "w", newline="") as f:
    f.write(f'{port}\r\n300\r\n127\r\n0\r\n0\r\n1\r\n""\r\n20\r\n')
program = subprocess.Popen([os.path.join(folder, "parleon")], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
main = window("^Parleon$")
xdo("mousemove", "--window", main, "64", "20", "click", "1")
xdo("windowactivate", "--sync", window("^Parleon Server Settings$"), "key", "Return")
time.sleep(1)
cpu0 = sum(int(x) for x in open(f"/proc/{program.pid}/stat").read().split()[13:15])
r = subprocess.run([tool, "relay", "--server", "parleon", "--clients", clients, "--rate", rate, "--seconds", "5", "--port", str(port)], capture_output=True, text=True)
cpu = (sum(int(x) for x in open(f"/proc/{program.pid}/stat").read().split()[13:15]) - cpu0) / os.sysconf("SC_CLK_TCK")
d = json.loads(r.stdout); d["window_server_cpu_s"] = cpu; d["us_per_delivery"] = round(cpu * 1e6 / max(1, d["received"]), 2)
print(json.dumps({k: d[k] for k in ("clients", "offered_lines_per_s", "loss", "deliveries_per_s", "p50_ms", "p99_ms", "window_server_cpu_s", "us_per_delivery")}))
for p in (program, wm, xvfb): p.kill()
