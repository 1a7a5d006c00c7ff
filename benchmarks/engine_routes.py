#!/usr/bin/env python3
"""Start, stop and cleanup times of the built-in engine for a few and for the most
allowed_ips prefixes a configuration may have.

Usage (root): benchmarks/engine_routes.py [BUILD_DIR]   (default: build)
Runs veloxa-engine in a network namespace of its own (a LAN veth pair with a default
route, wireguard-go where the kernel has no WireGuard; no server answers, which the start
does not wait for) and removes it afterwards. Exit 77 without root or namespaces.
"""
import base64, glob, json, os, signal, subprocess, sys, tempfile, time

build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build")
engine = glob.glob(f"{build}/Veloxa.app/Contents/Library/SystemExtensions/*/veloxa-engine")[0]
ns = f"vxroutes{os.getpid()}"


def sh(*argv, check=True):
    return subprocess.run(argv, check=check, capture_output=True, text=True)


def inside(*argv):
    return ["ip", "netns", "exec", ns, *argv]


def snapshot():
    return [sh(*inside(*c)).stdout for c in (["ip", "-4", "route", "show", "table", "all"],
                                             ["ip", "-6", "route", "show", "table", "all"],
                                             ["ip", "-4", "rule"], ["ip", "-6", "rule"],
                                             ["ip", "link"], ["nft", "list", "ruleset"])]


def document(prefixes):
    key = base64.b64encode(os.urandom(32)).decode()
    allowed = ["0.0.0.0/0"] + [f"10.{i // 256}.{i % 256}.0/24" for i in range(prefixes - 1)]
    return {"inbounds": [{"type": "tun", "interface_name": "vxr0", "auto_route": True}],
            "endpoints": [{"type": "wireguard", "address": ["10.66.0.2/32"], "private_key": key,
                           "peers": [{"address": "192.0.2.1", "port": 51820,
                                      "public_key": key, "allowed_ips": allowed}]}],
            "dns": {"servers": [{"address": "10.66.0.1"}]}}


def started(folder, prefixes):
    config, state = f"{folder}/config.json", f"{folder}/state.json"
    with open(config, "w") as f:
        json.dump(document(prefixes), f)
    t0 = time.monotonic()
    run = subprocess.Popen(inside(engine, "run", "-c", config, "--state", state),
                           stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    for line in run.stdout:
        if " started (" in line:
            return run, time.monotonic() - t0, state
    raise SystemExit(f"the engine did not start: {run.wait()}")


def main():
    if os.geteuid() != 0 or sh("ip", "netns", "add", ns, check=False).returncode != 0:
        print("needs root and network namespaces")
        sys.exit(77)
    try:
        for command in (["ip", "link", "set", "lo", "up"],
                        ["ip", "link", "add", "lan0", "type", "veth", "peer", "name", "lan1"],
                        ["ip", "link", "set", "lan1", "up"],
                        ["ip", "addr", "add", "192.168.7.2/24", "dev", "lan0"],
                        ["ip", "link", "set", "lan0", "up"],
                        ["ip", "route", "add", "default", "via", "192.168.7.1"]):
            sh(*inside(*command))
        print(f"measured by: {' '.join(sys.argv)}")
        before = snapshot()
        for prefixes in (1, 256):
            with tempfile.TemporaryDirectory() as folder:
                run, start, _ = started(folder, prefixes)
                t0 = time.monotonic()
                run.send_signal(signal.SIGTERM)
                code = run.wait(60)
                stop = time.monotonic() - t0
                run, _, state = started(folder, prefixes)
                run.kill()  # as when the service is killed: everything stays, then cleanup
                run.wait()
                t0 = time.monotonic()
                sh(*inside(engine, "cleanup", "--state", state))
                cleanup = time.monotonic() - t0
                same = "as before" if snapshot() == before else "NOT as before"
                print(f"{prefixes:>3} prefixes: start {start:.2f} s, stop {stop:.2f} s (exit "
                      f"{code}), cleanup after a kill {cleanup:.2f} s; routes, rules, links and "
                      f"firewall {same}")
    finally:
        subprocess.run(["ip", "netns", "pids", ns], capture_output=True)
        for pid in sh("ip", "netns", "pids", ns, check=False).stdout.split():
            os.kill(int(pid), signal.SIGKILL)
        sh("ip", "netns", "del", ns, check=False)


if __name__ == "__main__":
    main()
