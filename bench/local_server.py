"""A built server started from a folder of its own on a port the system picks, for the bench
scripts beside this one."""
import os, re, shutil, subprocess, sys, tempfile, threading


def start(server, max_clients, on_output=lambda line: None):
    """Returns the process and its port; every later line of its output goes to on_output, so
    that the pipe never fills."""
    folder = tempfile.mkdtemp(); shutil.copy(server, folder)
    program = subprocess.Popen([os.path.join(folder, os.path.basename(server)), "--port", "0", "--max-clients",
                                str(max_clients)], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    for line in program.stdout:
        if found := re.search(rb"on port (\d+)", line): break
    else: sys.exit(f"{server}: the server did not start")
    threading.Thread(target=lambda: [on_output(line) for line in program.stdout], daemon=True).start()
    return program, int(found.group(1))
