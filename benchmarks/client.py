#!/usr/bin/env python3
"""Figures for the desktop client: cold start to the first frame, memory, idle CPU.

Usage: benchmarks/client.py [BUILD_DIR] [--runs N] [--seconds S]   (default: build, 7, 60)
Runs the real veloxa under a private Xvfb, D-Bus session, keyring and tray host, with a
private tunnel service (fake-engine) so the configurations load as on a desktop.
"""
import glob, os, statistics, subprocess, sys, tempfile, time

args = [a for a in sys.argv[1:] if not a.startswith("--")]
build = os.path.abspath(args[0] if args else "build")
def option(name, default):
    return int(sys.argv[sys.argv.index(name) + 1]) if name in sys.argv else default
runs, seconds = option("--runs", 7), option("--seconds", 60)
here = os.path.dirname(os.path.abspath(__file__))

if "VELOXA_BENCH_SESSION" not in os.environ:
    # A throw-away session bus and keyring, as the tests use.
    os.environ["VELOXA_BENCH_SESSION"] = "1"
    os.execvp("dbus-run-session", ["dbus-run-session", "--",
                                   os.path.join(here, "..", "scripts", "with-private-session"),
                                   sys.executable, os.path.abspath(__file__)] + sys.argv[1:])

client = f"{build}/Veloxa.app/Contents/MacOS/veloxa"
service_bin = glob.glob(f"{build}/Veloxa.app/Contents/Library/SystemExtensions/*/veloxa-tunnel")[0]
root = tempfile.mkdtemp(prefix="veloxa-bench-")
env = dict(os.environ, VELOXA_TUNNEL_RUNTIME_DIR=f"{root}/run")
children = []

def start(command, **kw):
    process = subprocess.Popen(command, env=env, **kw)
    children.append(process)
    return process

def rss_mb(pid):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1]) / 1024
    return 0.0

def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")

def cpu_percent(pid, span):
    before, t0 = cpu_seconds(pid), time.monotonic()
    time.sleep(span)
    return 100 * (cpu_seconds(pid) - before) / (time.monotonic() - t0)

try:
    read_fd, write_fd = os.pipe()
    start(["Xvfb", "-displayfd", str(write_fd), "-screen", "0", "1280x800x24", "-nolisten", "tcp"],
          pass_fds=[write_fd], stderr=subprocess.DEVNULL)
    os.close(write_fd)
    env["DISPLAY"] = ":" + os.read(read_fd, 16).decode().strip()
    start([f"{build}/tools/fake-tray-host/fake-tray-host"], stdout=subprocess.DEVNULL)
    start([service_bin, "--user", "--runtime-dir", f"{root}/run", "--state-dir", f"{root}/state",
           "--sysfs-net", f"{root}/sys", "--engine",
           f"{build}/tools/fake-engine/fake-engine run -c {{config}}"], stderr=subprocess.DEVNULL)
    time.sleep(0.5)

    env["VELOXA_REPORT_FIRST_FRAME"] = "1"
    startup = []
    for _ in range(runs):
        began = time.monotonic_ns()
        app = start([client], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        line = app.stdout.readline().split()
        startup.append((int(line[1]) - began) / 1e6)
        app.terminate()
        app.wait()
    del env["VELOXA_REPORT_FIRST_FRAME"]

    app = start([client], stderr=subprocess.DEVNULL)
    time.sleep(5)
    shown_rss = rss_mb(app.pid)
    shown_cpu = cpu_percent(app.pid, 20)
    window = subprocess.run(["xdotool", "search", "--sync", "--onlyvisible", "--name", "^Veloxa$"],
                            env=env, capture_output=True, text=True).stdout.split()[0]
    subprocess.run(["xdotool", "windowfocus", "--sync", window], env=env,
                   stderr=subprocess.DEVNULL)
    subprocess.run(["xdotool", "key", "ctrl+w"], env=env)
    time.sleep(5)
    visible = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^Veloxa$"],
                             env=env, capture_output=True, text=True).stdout.split()
    if visible or app.poll() is not None:
        sys.exit("client.py: the window did not close, or the client quit")
    closed_rss = rss_mb(app.pid)
    closed_cpu = cpu_percent(app.pid, seconds)

    print(f"cold start to first frame: median {statistics.median(startup):.0f} ms "
          f"(min {min(startup):.0f}, max {max(startup):.0f}, {runs} runs; target < 400 ms)")
    print(f"resident memory, window shown:  {shown_rss:.1f} MB (target < 120 MB)")
    print(f"resident memory, window closed: {closed_rss:.1f} MB (target < 80 MB)")
    print(f"CPU, window shown, idle, 20 s:  {shown_cpu:.2f} % of a core")
    print(f"CPU, window closed, {seconds} s:      {closed_cpu:.3f} % of a core (target < 0.2 %)")
finally:
    for process in reversed(children):
        if process.poll() is None:
            process.terminate()
            try:
                process.wait(5)
            except subprocess.TimeoutExpired:
                process.kill()
    subprocess.run(["rm", "-rf", root])
