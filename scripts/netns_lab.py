#!/usr/bin/env python3
"""A small internet in network namespaces, for the demo and the real-traffic test.

    PREFIX-net   the internet: routes between the others; an IP echo at 203.0.113.80
    PREFIX-exit  the VPN exit: a WireGuard server on 198.51.100.2:51820 that forwards the
                 tunnel's traffic to the internet under its own address, and a web server
                 at 10.66.0.1:8080 that only the tunnel reaches
    PREFIX-cli   the user's computer: 192.0.2.2, with the internet as its default route

Only addresses from the documentation ranges, and only inside these namespaces: the
machine's own namespace and routing are never touched. Needs root, iproute2, nftables,
wireguard-tools and wireguard-go (or a kernel with WireGuard).

As a program it sets the lab up, prints one JSON line describing it, admits the WireGuard
keys that the dev service at --admit-from (inside PREFIX-cli) hands out, and removes
everything on SIGTERM, SIGINT or the end of its standard input.
"""
import argparse, json, os, select, signal, subprocess, sys, time

EXIT_PUBLIC = "198.51.100.2"
CLIENT_PUBLIC = "192.0.2.2"
ECHO = "203.0.113.80"
EXIT_TUNNEL = "10.66.0.1"
WG_PORT = 51820

SERVER = r"""
import http.server, json, sys
class Handler(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        if self.path.startswith("/blob"):
            size = int(self.path.split("size=")[1]) if "size=" in self.path else 1 << 20
            body = b"x" * size
            kind = "application/octet-stream"
        else:
            body = json.dumps({"ip": self.client_address[0]}).encode()
            kind = "application/json"
        self.send_response(200)
        self.send_header("Content-Type", kind)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)
    def do_POST(self):
        size = int(self.headers.get("Content-Length", "0"))
        while size > 0:
            size -= len(self.rfile.read(min(size, 65536)))
        body = b"{}"
        self.send_response(200)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)
    def log_message(self, *args):
        pass
http.server.ThreadingHTTPServer((sys.argv[1], int(sys.argv[2])), Handler).serve_forever()
"""


def sh(*command, check=True, capture=False, input=None):
    result = subprocess.run(command, check=False, capture_output=True, text=True, input=input)
    if check and result.returncode != 0:
        raise RuntimeError(f"{' '.join(command)}: {result.stderr.strip()}")
    return result.stdout if capture else result.returncode == 0


def available():
    """Why the lab cannot run here, or None."""
    if os.geteuid() != 0:
        return "it needs root"
    if not os.path.exists("/dev/net/tun"):
        return "/dev/net/tun is missing"
    for tool in ("ip", "nft", "wg"):
        if subprocess.run(["which", tool], capture_output=True).returncode != 0:
            return f"{tool} is not installed"
    probe = f"vxprobe{os.getpid()}"
    if not sh("ip", "netns", "add", probe, check=False):
        return "network namespaces cannot be created"
    sh("ip", "netns", "del", probe, check=False)
    kernel = sh("ip", "link", "add", "vxprobewg0", "type", "wireguard", check=False)
    if kernel:
        sh("ip", "link", "del", "vxprobewg0", check=False)
    elif subprocess.run(["which", "wireguard-go"], capture_output=True).returncode != 0:
        return "neither the kernel's WireGuard nor wireguard-go is available"
    return None


class Lab:
    def __init__(self, prefix):
        self.prefix = prefix
        self.net, self.exit, self.cli = f"{prefix}-net", f"{prefix}-exit", f"{prefix}-cli"
        self.wg = f"{prefix}x"[:15]
        self.processes = []
        self.admitted = set()
        self.exit_private = sh("wg", "genkey", capture=True).strip()
        self.exit_public = sh("wg", "pubkey", input=self.exit_private + "\n",
                              capture=True).strip()

    def within(self, namespace, *command):
        return ["ip", "netns", "exec", namespace, *command]

    def run(self, namespace, *command, **kw):
        return sh(*self.within(namespace, *command), **kw)

    def background(self, namespace, *command, env=None):
        process = subprocess.Popen(self.within(namespace, *command), stdin=subprocess.DEVNULL,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                   env=env)
        self.processes.append(process)
        return process

    def up(self):
        self.down()  # what an earlier run of the same prefix may have left
        for namespace in (self.net, self.exit, self.cli):
            sh("ip", "netns", "add", namespace)
            self.run(namespace, "ip", "link", "set", "lo", "up")
            # Addresses usable at once, so the routing seen now is the routing that stays.
            self.run(namespace, "sysctl", "-qw", "net.ipv6.conf.default.accept_dad=0",
                     check=False)
        for here, there, near, far, near_address, far_address in (
                (self.cli, self.net, "vc0", "nc0", f"{CLIENT_PUBLIC}/24", "192.0.2.1/24"),
                (self.exit, self.net, "ve0", "ne0", f"{EXIT_PUBLIC}/24", "198.51.100.1/24")):
            sh("ip", "link", "add", near, "netns", here, "type", "veth", "peer", "name", far,
               "netns", there)
            self.run(here, "ip", "address", "add", near_address, "dev", near)
            self.run(there, "ip", "address", "add", far_address, "dev", far)
            self.run(here, "ip", "link", "set", near, "up")
            self.run(there, "ip", "link", "set", far, "up")
            self.run(here, "ip", "route", "add", "default", "via", far_address.split("/")[0])
        self.run(self.net, "ip", "address", "add", f"{ECHO}/32", "dev", "lo")
        for namespace in (self.net, self.exit):
            self.run(namespace, "sysctl", "-qw", "net.ipv4.ip_forward=1")

        # The exit: WireGuard in, the internet out under the exit's own address.
        if not self.run(self.exit, "ip", "link", "add", self.wg, "type", "wireguard",
                        check=False):
            self.background(self.exit, "env", "WG_I_PREFER_BUGGY_USERSPACE_TO_POLISHED_KMOD=1",
                            "wireguard-go", "-f", self.wg)
            for _ in range(100):
                if self.run(self.exit, "ip", "link", "show", self.wg, check=False):
                    break
                time.sleep(0.05)
        self.run(self.exit, "wg", "setconf", self.wg, "/dev/stdin",
                 input=f"[Interface]\nPrivateKey = {self.exit_private}\nListenPort = {WG_PORT}\n")
        self.run(self.exit, "ip", "address", "add", f"{EXIT_TUNNEL}/16", "dev", self.wg)
        self.run(self.exit, "ip", "link", "set", self.wg, "up")
        self.run(self.exit, "nft", "-f", "-", input=
                 "table ip nat {\n chain post {\n type nat hook postrouting priority 100;\n"
                 ' oifname "ve0" masquerade\n }\n}\n')

        # What the user's computer sends to the internet outside WireGuard is counted.
        self.run(self.net, "nft", "-f", "-", input=
                 "table inet watch {\n counter plain {}\n chain pre {\n"
                 " type filter hook prerouting priority -300;\n"
                 f' iifname "nc0" ip saddr {CLIENT_PUBLIC} udp dport {WG_PORT} accept\n'
                 f' iifname "nc0" ip saddr {CLIENT_PUBLIC} counter name plain\n }}\n}}\n')

        self.background(self.net, sys.executable, "-c", SERVER, ECHO, "80")
        self.background(self.exit, sys.executable, "-c", SERVER, EXIT_TUNNEL, "8080")
        for _ in range(100):
            if all(self.run(n, "python3", "-c",
                            f"import socket; socket.create_connection(('{a}', {p}), 1)",
                            check=False)
                   for n, a, p in ((self.net, ECHO, 80), (self.exit, EXIT_TUNNEL, 8080))):
                break
            time.sleep(0.05)
        return self

    def admit(self, public_key, addresses):
        if public_key and public_key not in self.admitted:
            self.run(self.exit, "wg", "set", self.wg, "peer", public_key, "allowed-ips",
                     ",".join(addresses))
            self.admitted.add(public_key)

    def admit_from(self, service_url):
        reply = self.run(self.cli, "curl", "-sf", "-m", "2", f"{service_url}/dev/wireguard-peers",
                         check=False, capture=True)
        try:
            for peer in json.loads(reply or "{}").get("peers", []):
                self.admit(peer["public_key"], peer["address"])
        except (ValueError, KeyError, TypeError):
            pass

    def shape(self, mbit):
        """Limits the user's link to the internet to `mbit` in both directions (0: no limit)."""
        for namespace, device in ((self.cli, "vc0"), (self.net, "nc0")):
            self.run(namespace, "tc", "qdisc", "del", "dev", device, "root", check=False)
            if mbit:
                self.run(namespace, "tc", "qdisc", "add", "dev", device, "root", "tbf", "rate",
                         f"{mbit}mbit", "burst", "256kb", "latency", "50ms")

    def plain_packets(self):
        """Packets the user's computer sent to the internet outside the tunnel."""
        out = self.run(self.net, "nft", "-j", "list", "counter", "inet", "watch", "plain",
                       capture=True)
        for entry in json.loads(out)["nftables"]:
            if "counter" in entry:
                return entry["counter"]["packets"]
        return 0

    def describe(self):
        return {"client_namespace": self.cli, "exit_namespace": self.exit,
                "internet_namespace": self.net,
                "wireguard_exit": f"{self.exit_public}@{EXIT_PUBLIC}:{WG_PORT}",
                "ip_echo": f"http://{ECHO}/ip", "exit_only": f"http://{EXIT_TUNNEL}:8080",
                "client_address": CLIENT_PUBLIC, "exit_address": EXIT_PUBLIC}

    def down(self):
        for process in self.processes:
            if process.poll() is None:
                process.terminate()
        for process in self.processes:
            try:
                process.wait(3)
            except subprocess.TimeoutExpired:
                process.kill()
        for namespace in (self.cli, self.exit, self.net):
            sh("ip", "netns", "del", namespace, check=False)
        socket_file = f"/var/run/wireguard/{self.wg}.sock"
        if os.path.exists(socket_file):
            os.remove(socket_file)


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--prefix", default=f"vx{os.getpid() % 100000}")
    parser.add_argument("--admit-from", metavar="URL",
                        help="dev service inside the client namespace whose keys to admit")
    parser.add_argument("--check", action="store_true", help="only say whether it can run")
    args = parser.parse_args()
    reason = available()
    if args.check or reason:
        print(reason or "ok")
        sys.exit(1 if reason else 0)
    lab = Lab(args.prefix)
    stop = []
    signal.signal(signal.SIGTERM, lambda *_: stop.append(1))
    signal.signal(signal.SIGINT, lambda *_: stop.append(1))
    try:
        lab.up()
        print(json.dumps(lab.describe()), flush=True)
        while not stop:
            ready, _, _ = select.select([sys.stdin], [], [], 0.5)
            if ready and not sys.stdin.readline():
                break
            if args.admit_from:
                lab.admit_from(args.admit_from)
    finally:
        lab.down()


if __name__ == "__main__":
    main()
