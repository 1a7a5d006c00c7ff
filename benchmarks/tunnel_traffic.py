#!/usr/bin/env python3
"""Figures of the real tunnel: connect time, reconnect time, throughput, memory. Prints,
asserts nothing.

Usage (root): benchmarks/tunnel_traffic.py BUILD_DIR [--runs N] [--seconds S]
In the network namespaces of scripts/netns_lab.py, a private tunnel service with its
default engine (the built-in one where sing-box is absent) connects to the lab's
WireGuard exit.
  connect time   the start request until the first HTTP answer from a site that only the
                 exit reaches (median of N)
  reconnect time the data path's crash (wireguard-go killed, or with the kernel's WireGuard
                 the interface deleted) until the first answer through the tunnel again,
                 the service restarting the engine on its own (median of N, each on a
                 fresh connection)
  throughput     TCP with iperf3 through the tunnel, against the same namespaces without it:
                 unlimited (the namespaces' links are memory copies) and with the user's
                 link limited to the rates of --links
  memory         resident memory of the service, the engine and wireguard-go, connected
"""
import argparse, json, os, socket, statistics, subprocess, sys, tempfile, time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "../scripts"))
import netns_lab  # noqa: E402

PROBE = r"""
import json, socket, sys, time, urllib.request
path, ident, url = sys.argv[1:4]
s = socket.socket(socket.AF_UNIX); s.connect(path)
start = time.monotonic()
s.sendall((json.dumps({"id": 1, "op": "start", "identifier": ident}) + "\n").encode())
while time.monotonic() - start < 10:
    try:
        urllib.request.urlopen(url, timeout=0.05).read()
        print(time.monotonic() - start); break
    except Exception:
        time.sleep(0.005)
"""

# Run in the user's namespace: crashes the data path, waits until the interface is gone,
# then asks the exit-only site until it answers; prints the seconds since the crash.
RECONNECT = r"""
import os, signal, subprocess, sys, time, urllib.request
interface, url, pids = sys.argv[1], sys.argv[2], [int(p) for p in sys.argv[3:]]
start = time.monotonic()
for pid in pids:
    os.kill(pid, signal.SIGKILL)
if not pids:
    subprocess.run(["ip", "link", "del", "dev", interface])
while os.path.exists(f"/sys/class/net/{interface}") and time.monotonic() - start < 5:
    time.sleep(0.001)
while time.monotonic() - start < 30:
    try:
        urllib.request.urlopen(url, timeout=0.05).read()
        print(time.monotonic() - start); break
    except Exception:
        time.sleep(0.005)
"""


def control(path, request):
    with socket.socket(socket.AF_UNIX) as s:
        s.connect(path)
        request["id"] = 1
        s.sendall((json.dumps(request) + "\n").encode())
        for line in s.makefile("rb"):
            frame = json.loads(line)
            if frame.get("id") == 1:
                return frame


def wait_status(path, ident, status, timeout=10):
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        if control(path, {"op": "load", "identifier": ident})["configuration"]["status"] == status:
            return True
        time.sleep(0.05)
    return False


def rss_kib(pattern):
    pids = subprocess.run(["pgrep", "-f", pattern], capture_output=True, text=True).stdout.split()
    total = 0
    for pid in pids:
        with open(f"/proc/{pid}/status") as f:
            total += next(int(l.split()[1]) for l in f if l.startswith("VmRSS:"))
    return total


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build")
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--seconds", type=int, default=5)
    parser.add_argument("--links", default="0,1000,100",
                        help="link rates in Mbit/s to measure at (0: unlimited)")
    args = parser.parse_args()
    print(f"measured by: {' '.join(sys.argv)}")
    reason = netns_lab.available()
    if reason:
        sys.exit(f"tunnel_traffic: cannot run here: {reason}")
    build = os.path.abspath(args.build)
    folder = f"{build}/Veloxa.app/Contents/Library/SystemExtensions"
    service_bin = next(os.path.join(folder, f, "veloxa-tunnel") for f in os.listdir(folder))
    lab = netns_lab.Lab(f"vxb{os.getpid() % 10000}").up()
    work = tempfile.mkdtemp(prefix="veloxa-bench-")
    os.chmod(work, 0o755)
    processes = []
    try:
        private = subprocess.run(["wg", "genkey"], capture_output=True, text=True).stdout.strip()
        public = subprocess.run(["wg", "pubkey"], input=private + "\n", capture_output=True,
                                text=True).stdout.strip()
        lab.admit(public, ["10.66.0.2/32"])
        exit_key, endpoint = lab.describe()["wireguard_exit"].split("@")
        host, port = endpoint.rsplit(":", 1)
        engine = {"inbounds": [{"type": "tun", "interface_name": "vxbench0", "auto_route": True}],
                  "endpoints": [{"type": "wireguard", "address": ["10.66.0.2/32"],
                                 "private_key": private, "mtu": 1420,
                                 "peers": [{"address": host, "port": int(port),
                                            "public_key": exit_key,
                                            "allowed_ips": ["0.0.0.0/0"]}]}]}
        service = subprocess.Popen(lab.within(lab.cli, service_bin, "--user", "--runtime-dir",
                                              f"{work}/run", "--state-dir", f"{work}/state"),
                                   stderr=subprocess.DEVNULL)
        processes.append(service)
        path = f"{work}/run/tunnel.sock"
        for _ in range(100):
            if os.path.exists(path):
                break
            time.sleep(0.05)
        time.sleep(0.2)
        ident = control(path, {"op": "save", "configuration": {
            "localizedDescription": "bench", "isEnabled": True,
            "providerBundleIdentifier": "x", "serverAddress": "bench",
            "providerConfiguration": {"SingboxConfig": json.dumps(engine)}}})[
            "configuration"]["identifier"]

        url = lab.describe()["exit_only"] + "/ip"
        times = []
        for _ in range(args.runs):
            out = subprocess.run(lab.within(lab.cli, sys.executable, "-c", PROBE, path, ident, url),
                                 capture_output=True, text=True).stdout.strip()
            if out:
                times.append(float(out) * 1000)
            wait_status(path, ident, 3)
            if len(times) < args.runs:
                control(path, {"op": "stop", "identifier": ident})
                wait_status(path, ident, 1)
        print(f"connect time (start -> first answer through the tunnel), median of "
              f"{len(times)}: {statistics.median(times):.0f} ms "
              f"({min(times):.0f}-{max(times):.0f})")

        reconnects = []
        for _ in range(args.runs):
            control(path, {"op": "stop", "identifier": ident})
            wait_status(path, ident, 1)
            control(path, {"op": "start", "identifier": ident})
            wait_status(path, ident, 3)
            subprocess.run(lab.within(lab.cli, "curl", "-sf", "-m", "5", "-o", "/dev/null", url))
            out = subprocess.run(lab.within(lab.cli, sys.executable, "-c", RECONNECT, "vxbench0",
                                            url, *map(str, lab.data_path_pids())),
                                 capture_output=True, text=True).stdout.strip()
            if out:
                reconnects.append(float(out) * 1000)
        wait_status(path, ident, 3)
        if reconnects:
            print(f"reconnect time (data path killed -> first answer through the tunnel), "
                  f"median of {len(reconnects)}: {statistics.median(reconnects):.0f} ms "
                  f"({min(reconnects):.0f}-{max(reconnects):.0f})")
        else:
            print("reconnect time: the tunnel did not come back within 30 s")

        memory = (rss_kib(f"veloxa-tunnel --user --runtime-dir {work}/"),
                  rss_kib(f"veloxa-engine run -c {work}/"), rss_kib("wireguard-go -f vxbench0"))
        print(f"resident memory while connected: service {memory[0] / 1024:.1f} MB, engine "
              f"{memory[1] / 1024:.1f} MB, wireguard-go {memory[2] / 1024:.1f} MB")

        processes.append(subprocess.Popen(lab.within(lab.exit, "iperf3", "-s"),
                                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
        time.sleep(0.5)

        def iperf(target):
            out = subprocess.run(lab.within(lab.cli, "iperf3", "-c", target, "-t",
                                            str(args.seconds), "-J"),
                                 capture_output=True, text=True).stdout
            return json.loads(out)["end"]["sum_received"]["bits_per_second"] / 1e6

        implementation = "kernel WireGuard" if subprocess.run(
            ["ip", "link", "add", "vxbenchk", "type", "wireguard"],
            capture_output=True).returncode == 0 else "wireguard-go"
        subprocess.run(["ip", "link", "del", "vxbenchk"], capture_output=True)
        for rate in [int(r) for r in args.links.split(",")]:
            lab.shape(rate)
            control(path, {"op": "start", "identifier": ident})
            wait_status(path, ident, 3)
            time.sleep(0.5)
            tunnelled = iperf("10.66.0.1")
            control(path, {"op": "stop", "identifier": ident})
            wait_status(path, ident, 1)
            plain = iperf(lab.describe()["exit_address"])
            link = f"a {rate} Mbit/s link" if rate else "an unlimited link"
            print(f"throughput on {link} ({implementation} at both ends): {tunnelled:.0f} Mbit/s "
                  f"through the tunnel, {plain:.0f} Mbit/s without it, "
                  f"ratio {tunnelled / plain:.2f}")
    finally:
        for process in processes:
            process.terminate()
            try:
                process.wait(5)
            except subprocess.TimeoutExpired:
                process.kill()
        lab.down()
        subprocess.run(["rm", "-rf", work])


if __name__ == "__main__":
    main()
