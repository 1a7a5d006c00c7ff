#!/usr/bin/env python3
"""Figures for the tunnel service: statistics round trip, start overhead, memory, and how it
holds up against a hostile client and many idle ones.

Usage: benchmarks/tunnel_service.py [BUILD_DIR]   (default: build)
Starts a private veloxa-tunnel --user with fake-engine in a temporary folder (the client
limits raised so that 200 idle connections of this one user fit).
"""
import glob, json, os, socket, statistics, subprocess, sys, tempfile, time

build = sys.argv[1] if len(sys.argv) > 1 else "build"
service_bin = glob.glob(f"{build}/Veloxa.app/Contents/Library/SystemExtensions/*/veloxa-tunnel")[0]
engine_bin = f"{build}/tools/fake-engine/fake-engine"
root = tempfile.mkdtemp(prefix="veloxa-bench-")
run, state, sysfs = (os.path.join(root, d) for d in ("run", "state", "sys"))

def rss_kb(pid):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0

service = subprocess.Popen([service_bin, "--user", "--runtime-dir", run, "--state-dir", state,
                            "--sysfs-net", sysfs, "--app-group", "group.bench",
                            "--max-clients", "256", "--max-clients-per-user", "256",
                            "--engine", f"{engine_bin} run -c {{config}} --sysfs {sysfs}"],
                           stderr=subprocess.DEVNULL)
try:
    for _ in range(200):
        if os.path.exists(f"{run}/tunnel.sock"):
            break
        time.sleep(0.02)
    control = socket.socket(socket.AF_UNIX)
    control.connect(f"{run}/tunnel.sock")
    reader = control.makefile("rb")
    next_id = [0]

    def request(op, **fields):
        next_id[0] += 1
        control.sendall((json.dumps({"id": next_id[0], "op": op, **fields}) + "\n").encode())
        while True:
            frame = json.loads(reader.readline())
            if frame.get("id") == next_id[0]:
                return frame

    def wait_status(ident, status):
        while True:
            frame = json.loads(reader.readline())
            if frame.get("event") == "status" and frame["identifier"] == ident and frame["status"] == status:
                return time.perf_counter()

    time.sleep(0.5)
    idle_rss = rss_kb(service.pid)

    # fake-engine reads its options from the tun inbound's tag.
    engine_doc = json.dumps({"inbounds": [{"type": "tun", "interface_name": "veloxa0",
                                           "tag": 'fake-engine:{"ready_delay_ms":0}'}]})
    config = request("save", configuration={
        "localizedDescription": "Bench", "isEnabled": True, "serverAddress": "Bench",
        "providerBundleIdentifier": "net.veloxa.client.network-extension",
        "providerConfiguration": {"SingboxConfig": engine_doc}})["configuration"]
    ident = config["identifier"]

    # The engine's own time to readiness, measured directly.
    with open(os.path.join(root, "engine.json"), "w") as f:
        f.write(engine_doc)
    readiness = []
    for _ in range(10):
        t0 = time.perf_counter()
        p = subprocess.Popen([engine_bin, "run", "-c", os.path.join(root, "engine.json")],
                             stderr=subprocess.PIPE)
        p.stderr.readline()
        readiness.append(time.perf_counter() - t0)
        p.terminate(); p.wait()

    starts = []
    for _ in range(10):
        t0 = time.perf_counter()
        request("start", identifier=ident)
        starts.append(wait_status(ident, 3) - t0)
        connected_rss = rss_kb(service.pid)
        request("stop", identifier=ident)
        wait_status(ident, 1)
    request("start", identifier=ident)
    wait_status(ident, 3)
    time.sleep(0.3)
    connected_rss = rss_kb(service.pid)

    stats = socket.socket(socket.AF_UNIX)
    stats.connect(f"{run}/group.bench.network-extension")
    stats_reader = stats.makefile("rb")
    trips = []
    for _ in range(2000):
        t0 = time.perf_counter()
        stats.sendall(b'{"op":"getRuntimeStats"}\n')
        stats_reader.readline()
        trips.append(time.perf_counter() - t0)

    # A client that pipelines requests for big replies and never reads them.
    for i in range(7):
        request("save", configuration={
            "localizedDescription": f"Pad {i}", "isEnabled": True, "serverAddress": "Pad",
            "providerBundleIdentifier": "x",
            "providerConfiguration": {"SingboxConfig": "x" * 30000}})
    hostile = socket.socket(socket.AF_UNIX)
    hostile.connect(f"{run}/tunnel.sock")
    hostile.setblocking(False)
    hostile_rss, sent = [], 0
    end = time.monotonic() + 5
    while time.monotonic() < end:
        try:
            while sent < 1000:
                hostile.send(b'{"id":1,"op":"loadAll"}\n')
                sent += 1
        except (BlockingIOError, BrokenPipeError, ConnectionResetError):
            pass
        hostile_rss.append(rss_kb(service.pid))
        time.sleep(0.25)
    hostile.close()

    # Hello while 200 clients sit connected and idle.
    idle = []
    for _ in range(200):
        c = socket.socket(socket.AF_UNIX)
        c.connect(f"{run}/tunnel.sock")
        idle.append(c)
    time.sleep(0.3)
    hellos = []
    for _ in range(500):
        t0 = time.perf_counter()
        request("hello")
        hellos.append(time.perf_counter() - t0)
    for c in idle:
        c.close()

    engine_ms = statistics.median(readiness) * 1000
    start_ms = statistics.median(starts) * 1000
    print("tunnel service figures (median)")
    print(f"  statistics round trip:        {statistics.median(trips) * 1e6:8.1f} us   (target < 1000 us)")
    print(f"  start -> connected:           {start_ms:8.1f} ms")
    print(f"  engine's own readiness:       {engine_ms:8.1f} ms")
    print(f"  service overhead on start:    {start_ms - engine_ms:8.1f} ms   (target < 50 ms)")
    print(f"  resident memory, idle:        {idle_rss / 1024:8.1f} MB   (target < 15 MB)")
    print(f"  resident memory, connected:   {connected_rss / 1024:8.1f} MB   (target < 15 MB)")
    print(f"  resident memory, hostile client ({sent} requests unread, 5 s): "
          f"{min(hostile_rss) / 1024:.1f}-{max(hostile_rss) / 1024:.1f} MB   (target flat, < 30 MB)")
    print(f"  hello round trip, 200 idle clients: {statistics.median(hellos) * 1e6:8.1f} us")
finally:
    service.terminate()
    service.wait(10)
    subprocess.run(["rm", "-rf", root])
