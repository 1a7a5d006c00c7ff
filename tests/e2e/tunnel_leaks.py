#!/usr/bin/env python3
"""Leak test of the real tunnel: from the user's connect until the user's disconnect nothing
of the user's leaves the computer outside the tunnel (no DNS query, no IPv4 or IPv6 packet)
but WireGuard's own packets to the server and traffic to the LAN's own addresses, also
while the tunnel comes back after its data path crashed; and the engine touches only what
it created.

Usage (root): tests/e2e/tunnel_leaks.py BUILD_DIR OUTPUT_DIR
In the home network of scripts/netns_lab.py, a private tunnel service with its built-in
engine runs in the user's namespace and is driven through its control socket with a
configuration like the dev service's: an IPv4-only WireGuard tunnel to the exit, named by
host name, with a DNS server inside the tunnel. The router counts what leaves in the clear
and the LAN's resolver logs every query it receives. Before connecting, another program's
routing rule and table (at the numbers the engine once used), a user's static route that
the configuration's allowed_ips also names and a user's firewall table are put in place,
and rules, routes, links, addresses, the nftables ruleset and resolv.conf are recorded.

Checks while connected: names resolve through the tunnel (and a query sent straight to the
LAN's resolver, over UDP or TCP, never reaches it); IPv6 to the internet does not leave;
IPv4 to the internet goes through the tunnel, and a program that binds its socket to the
LAN interface gets nothing out; the router's web page still answers over IPv4 and IPv6;
the engine only adds (the other program's and the user's routing stay as they were). Then
wireguard-go is killed once (the reconnect time is measured) and kept dead for a while:
status stays reasserting until the tunnel is back by itself, nothing leaves meanwhile, and
the server's name is never looked up again (the LAN's resolver forgets it once connected).
Then the service is killed outright, and later hands over as an upgrade makes it (SIGUSR1):
each time nothing leaves until the next one has restored the connection, with the same rules
and firewall. After the disconnect everything recorded is
exactly as before, and the same probes are seen in the clear again (proof that the
counters see leaks). Prints a table of leaks per phase. Exit 0 when every check holds,
1 otherwise, 77 (saying why) where root, namespaces, /dev/net/tun or WireGuard are missing.
"""
import collections, difflib, json, os, shutil, signal, subprocess, sys, threading, time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "../../scripts"))
import netns_lab  # noqa: E402
from harness import Failure, Session, StatusLog  # noqa: E402

DESCRIPTION = "Veloxa — Leak lab"
TUNNEL_ADDRESS = "10.66.0.2"
# Another program's policy routing, at the rule priority and table the engine once used.
OTHER_RULE = ("priority", "30308", "to", "198.19.0.0/16", "lookup", "30309")
OTHER_ROUTE = ("198.19.0.0/16", "via", netns_lab.ROUTER, "table", "30309")
# The user's own route to a work network, which the configuration's allowed_ips also names.
USER_ROUTE = "198.18.7.0/24"
USER_FIREWALL = ("table inet userfw {\n chain input {\n"
                 "  type filter hook input priority filter; policy accept;\n"
                 "  ct state invalid drop\n }\n}\n")
HOLD_SECONDS = 4
RESOLV = "cat /etc/resolv.conf"

PROBE = r"""
import json, socket, struct, sys, urllib.request
probes, timeout = json.loads(sys.argv[1]), float(sys.argv[2])
web = urllib.request.build_opener(urllib.request.ProxyHandler({}))
def lookup(name):
    return sorted({a[4][0] for a in socket.getaddrinfo(name, 80, socket.AF_INET,
                                                        socket.SOCK_STREAM)})
def query(server, name):
    family = socket.AF_INET6 if ":" in server else socket.AF_INET
    with socket.socket(family, socket.SOCK_DGRAM) as s:
        s.settimeout(timeout)
        question = b"".join(bytes([len(p)]) + p.encode() for p in name.split("."))
        s.sendto(struct.pack(">HHHHHH", 0x5678, 0x0100, 1, 0, 0, 0) + question +
                 b"\0\0\1\0\1", (server, 53))
        reply = s.recv(4096)
    return [socket.inet_ntoa(reply[-4:])] if struct.unpack(">H", reply[6:8])[0] else []
def get(url):
    with web.open(url, timeout=timeout) as reply:
        return json.loads(reply.read()).get("ip")
def tcp(server, port):
    socket.create_connection((server, int(port)), timeout).close()
    return "connected"
def bound(device, host):  # as a program that binds its socket to the LAN interface
    with socket.socket() as s:
        s.setsockopt(socket.SOL_SOCKET, socket.SO_BINDTODEVICE, device.encode())
        s.settimeout(timeout)
        s.connect((host, 80))
        s.sendall(b"GET /ip HTTP/1.0\r\n\r\n")
        reply = b""
        while chunk := s.recv(4096):
            reply += chunk
    return json.loads(reply.split(b"\r\n\r\n", 1)[1]).get("ip")
out = {}
for probe in probes:
    kind, _, argument = probe.partition(" ")
    try:
        value = {"lookup": lookup, "get": get, "query": query, "tcp": tcp,
                 "bound": bound}[kind](*argument.split(" "))
        out[probe] = {"ok": True, "value": value}
    except Exception as e:
        out[probe] = {"ok": False, "value": f"{type(e).__name__}: {e}"}
print(json.dumps(out))
"""


def summary(queries):
    names = collections.Counter(query["name"] for query in queries)
    return f"{len(queries)} queries: " + ", ".join(f"{n} x{c}" for n, c in names.items())


class Checks:
    """Every check's outcome, so that one run reports all of them."""

    def __init__(self, log):
        self.log, self.failed = log, []

    def __call__(self, ok, what, detail=""):
        self.log(f"{'ok  ' if ok else 'FAIL'} {what}" + (f": {detail}" if detail and not ok
                                                          else ""))
        if not ok:
            self.failed.append(what)
        return ok


def main():
    reason = netns_lab.available()
    if reason:
        print(f"SKIP: leak test not possible here: {reason}")
        sys.exit(77)
    build, out = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))  # still removes the lab
    lab = netns_lab.Lab(f"vxl{os.getpid() % 10000}")
    s = Session(build, out, netns=lab.cli)
    check = Checks(s.log)
    info = lab.describe()
    whoami = info["whoami"]
    lan_resolver, lan_resolver6 = info["lan_resolvers"]
    echo = netns_lab.ECHO

    def in_client(*command, timeout=10, env=None):
        return subprocess.run(lab.within(lab.cli, *command), capture_output=True, text=True,
                              timeout=timeout, env=env)

    def probe(probes, timeout):
        # Lookups through resolv.conf give up as fast as the other probes.
        env = dict(os.environ, RES_OPTIONS=f"timeout:{max(1, round(timeout))} attempts:1")
        reply = in_client(sys.executable, "-c", PROBE, json.dumps(probes), str(timeout),
                          timeout=60, env=env)
        try:
            return json.loads(reply.stdout)
        except ValueError:
            return {p: {"ok": False, "value": reply.stderr.strip()[-200:]} for p in probes}

    def snapshot():
        return {" ".join(args): in_client(*args).stdout for args in (
            ["ip", "-4", "rule"], ["ip", "-6", "rule"],
            ["ip", "-4", "route", "show", "table", "all"],
            ["ip", "-6", "route", "show", "table", "all"], ["ip", "-o", "link"],
            ["ip", "-o", "address"], ["nft", "list", "ruleset"], RESOLV.split())}

    def others_routing():
        """The routing that belongs to the other program and to the user."""
        return [in_client("ip", "-4", "rule", "show", "priority", "30308").stdout,
                in_client("ip", "-4", "route", "show", "table", "30309").stdout,
                in_client("ip", "-4", "route", "show", "table", "main", USER_ROUTE).stdout]

    class Phase:
        """What leaves in the clear and what the resolvers see while the phase lasts."""

        def __init__(self):
            self.counts, self.lan = lab.counts(), len(lab.queries("lan"))
            self.tunnel = len(lab.queries("tunnel"))
            self.rounds = 0

        def end(self):
            now = lab.counts()
            self.leaks = {k: now[k] - self.counts[k] for k in ("dns", "ipv4", "ipv6")}
            self.lan_queries = lab.queries("lan")[self.lan:]
            self.tunnel_queries = len(lab.queries("tunnel")) - self.tunnel
            return self

    class Prober:
        """Tries to get out in every way, over and over, until stopped."""

        def __init__(self, phase, probes):
            self.phase, self.probes, self.stopping = phase, probes, False
            self.thread = threading.Thread(target=self.loop, daemon=True)
            self.thread.start()

        def loop(self):
            deadline = time.monotonic() + 120
            while not self.stopping and time.monotonic() < deadline:
                probe(self.probes, 0.5)
                self.phase.rounds += 1

        def stop(self):
            self.stopping = True
            self.thread.join(60)

    escapes = [f"lookup {whoami['name']}", f"query {lan_resolver} {whoami['name']}",
               f"query {lan_resolver6} {whoami['name']}", f"get {info['ip_echo']}",
               f"get {info['ip_echo6']}", f"get {info['work_host']}", f"tcp {lan_resolver} 53",
               f"bound vc0 {echo}"]

    def tunnel_answers():
        return probe([f"get {info['exit_only']}/ip"], 0.3)[f"get {info['exit_only']}/ip"]["ok"]

    def back_after(mark, timeout):
        """Seconds until the status, having left connected, is connected again, and until
        the first answer through the tunnel; None for what did not happen (in time)."""
        start = time.monotonic()
        s.poll(lambda: 1 in statuses.since(mark) or
               4 in statuses.since(mark) and statuses.since(mark)[-1] == 3, timeout, 0.02)
        if statuses.since(mark)[-1:] != [3]:
            return None, None
        status_time = time.monotonic() - start
        answer = s.poll(tunnel_answers, 10, 0.02)
        return status_time, (time.monotonic() - start if answer else None)

    phases, figures = {}, {}
    try:
        lab.up()
        engine_binary = s.tunnel_binary("veloxa-engine")
        for command in (["ip", "rule", "add", *OTHER_RULE], ["ip", "route", "add", *OTHER_ROUTE],
                        ["ip", "route", "add", USER_ROUTE, "via", netns_lab.ROUTER]):
            lab.run(lab.cli, *command)
        lab.run(lab.cli, "nft", "-f", "-", input=USER_FIREWALL)
        before, others_before = snapshot(), others_routing()

        # The built-in engine is the default where sing-box is missing; named otherwise.
        engine = "" if shutil.which("sing-box") is None else f"{engine_binary} run -c {{config}}"
        service = s.start_tunnel_service(engine=engine)
        statuses = StatusLog(f"{s.root}/run/tunnel.sock")
        s.wait_for("the status listener", statuses.listening.is_set, 5)
        private = netns_lab.sh("wg", "genkey", capture=True).strip()
        public = netns_lab.sh("wg", "pubkey", input=private + "\n", capture=True).strip()
        lab.admit(public, [f"{TUNNEL_ADDRESS}/32"])
        document = {
            "log": {"level": "warn"},
            "dns": {"servers": [{"tag": "tunnel-dns", "address": info["tunnel_dns"],
                                 "detour": "wg"}], "final": "tunnel-dns"},
            "inbounds": [{"type": "tun", "tag": "tun-in", "interface_name": lab.tunnel_interface,
                          "mtu": 1420, "auto_route": True, "strict_route": True,
                          "stack": "system"}],
            "endpoints": [{"type": "wireguard", "tag": "wg", "address": [f"{TUNNEL_ADDRESS}/32"],
                           "private_key": private, "mtu": 1420,
                           "peers": [{"address": netns_lab.EXIT_NAME, "port": netns_lab.WG_PORT,
                                      "public_key": lab.exit_public,
                                      "allowed_ips": ["0.0.0.0/0", USER_ROUTE],
                                      "persistent_keepalive_interval": 25}]}],
            "outbounds": [{"type": "direct", "tag": "direct"}],
            "route": {"auto_detect_interface": True, "final": "wg"}}
        saved = s.tunnel_request("save", configuration={
            "localizedDescription": DESCRIPTION, "isEnabled": True,
            "providerBundleIdentifier": "net.veloxa.client.network-extension",
            "serverAddress": netns_lab.EXIT_NAME,
            "providerConfiguration": {"SingboxConfig": json.dumps(document)}})
        if not saved.get("ok"):
            raise Failure(f"the tunnel service refused the configuration: {saved.get('error')}")
        ident = saved["configuration"]["identifier"]

        def status():
            return s.tunnel_request("load", identifier=ident)["configuration"]["status"]

        # ---- connected
        mark = statuses.mark()
        started = time.monotonic()
        s.tunnel_request("start", identifier=ident)
        s.poll(lambda: status() == 3 or statuses.since(mark)[-1:] == [1], 30, 0.02)
        connected = status() == 3
        if check(connected, "the tunnel connects",
                 f"statuses {statuses.since(mark)}, errors {statuses.errors}"):
            figures["connect"] = time.monotonic() - started
            phase = Phase()
            lab.forget_exit_name()  # a resumed engine must not need it
            connected_probes = [
                f"lookup {whoami['name']}", f"query {lan_resolver} {whoami['name']}",
                f"query {lan_resolver6} {whoami['name']}", f"get {info['ip_echo']}",
                f"get {info['ip_echo6']}", f"get {info['exit_only']}/ip",
                f"get {info['router_page']}", f"get {info['router_page6']}",
                f"get {info['work_host']}", f"tcp {lan_resolver} 53", f"bound vc0 {echo}"]
            seen = probe(connected_probes, 3)
            phase.rounds = 1
            phases["connected"] = phase.end()
            for name, result in seen.items():
                s.log(f"     {name}: {result['value']}")
            value = lambda p: seen[p]["value"] if seen[p]["ok"] else None  # noqa: E731
            check(value(connected_probes[0]) == [whoami["tunnel"]],
                  "a lookup through resolv.conf is answered by the tunnel's DNS server",
                  f"answer {seen[connected_probes[0]]['value']}")
            for p in connected_probes[1:3]:
                check(value(p) != [whoami["lan"]],
                      f"a query sent straight to the LAN's resolver ({p.split()[1]}) is not "
                      "answered by it")
            check(not seen[f"get {info['ip_echo6']}"]["ok"],
                  "IPv6 to the internet does not leave (the tunnel carries IPv4 only)",
                  f"answered: {seen[connected_probes[4]]['value']}")
            check(value(f"get {info['ip_echo']}") == info["exit_address"],
                  "IPv4 to the internet goes through the tunnel (the echo sees the exit)",
                  f"echo saw {seen[connected_probes[3]]['value']}")
            check(value(f"get {info['exit_only']}/ip") == TUNNEL_ADDRESS,
                  "a site only the exit reaches answers")
            check(not seen[f"bound vc0 {echo}"]["ok"],
                  "a program that binds its socket to the LAN interface gets nothing out",
                  f"the echo saw {seen[f'bound vc0 {echo}']['value']}")
            for p in connected_probes[6:8]:
                check(seen[p]["ok"], f"the router's web page answers ({p.split()[1]})",
                      seen[p]["value"])
            check(phase.leaks["dns"] == 0 and not phase.lan_queries,
                  "no DNS query leaves in the clear; the LAN's resolver sees none",
                  f"{phase.leaks['dns']} DNS packets, LAN resolver got "
                  f"{summary(phase.lan_queries)}")
            check(phase.leaks["ipv4"] == 0 and phase.leaks["ipv6"] == 0,
                  "no IPv4 or IPv6 packet leaves in the clear",
                  f"{phase.leaks['ipv4']} IPv4, {phase.leaks['ipv6']} IPv6 packets")
            check(others_routing() == others_before,
                  "the other program's rule and table and the user's route stay as they were",
                  f"now {others_routing()}, before {others_before}")
            now = snapshot()
            gone = {key: sorted(set(before[key].splitlines()) - set(now[key].splitlines()))
                    for key in before}
            check(not any(gone.values()) and now[RESOLV] == before[RESOLV],
                  "the engine only adds: every rule, route, link, address and firewall line "
                  "from before is still there, resolv.conf is untouched",
                  f"gone: { {k: v for k, v in gone.items() if v} }")

        # ---- reasserting: the data path crashes once, then is kept down for a while
        if connected:
            phase = Phase()
            prober = Prober(phase, escapes)
            mark = statuses.mark()
            try:
                killed = check(lab.kill_data_path(lab.tunnel_interface),
                               "the tunnel's data path (wireguard-go or the interface) was "
                               "there to kill")
                if killed:
                    figures["status back"], figures["answer back"] = back_after(mark, 30)
                if killed and figures["answer back"] is not None:
                    mark_hold, held, figures["kills"] = statuses.mark(), time.monotonic(), 0
                    while time.monotonic() - held < HOLD_SECONDS and \
                            1 not in statuses.since(mark):
                        figures["kills"] += lab.kill_data_path(lab.tunnel_interface)
                        time.sleep(0.05)
                    figures["hold status back"], figures["hold answer back"] = \
                        back_after(mark_hold, 30)
                phases["reasserting"] = phase.end()  # at once: the service may have given up
            finally:
                prober.stop()
            if killed:
                went = statuses.since(mark)
                check(figures["answer back"] is not None,
                      "the tunnel comes back by itself after wireguard-go was killed",
                      f"statuses {went}")
                if "kills" in figures:
                    check(figures["hold answer back"] is not None,
                          f"the tunnel comes back after its data path was kept dead for "
                          f"{HOLD_SECONDS} s", f"statuses {went}")
                check(went and went[0] == 4 and set(went) <= {3, 4} and went[-1] == 3,
                      "status goes to reasserting and stays there until connected again",
                      f"statuses {went}, errors {statuses.errors}")
                check(not any(phase.leaks.values()),
                      "nothing leaves in the clear while reasserting",
                      f"{phase.leaks} in {phase.rounds} probe rounds")
                check(not phase.lan_queries,
                      "the LAN's resolver sees no query while reasserting (and the server's "
                      "name is never looked up again)", summary(phase.lan_queries))

        # ---- the service crashes (its engine dies with it), then hands over as an upgrade
        # does (SIGUSR1, exit 75); each time the next one restores the connection
        for how in ("killed outright", "handed over"):
            if not (connected and figures.get("answer back") is not None):
                break
            phase = Phase()
            prober = Prober(phase, escapes)
            held = {k: v for k, v in snapshot().items() if "rule" in k}  # rules, nftables
            try:
                if how == "handed over":
                    service.send_signal(signal.SIGUSR1)
                    code = service.wait(15)
                    check(code == 75, "a service handing over exits with 75", f"exit {code}")
                else:
                    service.kill()
                time.sleep(2)
                service = s.start_tunnel_service(engine=engine, name="tunnel-service-restarted")
                started = time.monotonic()
                back = s.poll(lambda: status() == 3 and tunnel_answers(), 30, 0.02)
                figures[f"restore {how}"] = time.monotonic() - started if back else None
                phases[f"service {how}"] = phase.end()
            finally:
                prober.stop()
            check(back, f"a service {how} is followed by one that restores the connection",
                  f"status {status()}")
            check(not any(phase.leaks.values()) and not phase.lan_queries,
                  f"nothing leaves in the clear after a service {how}, while no service runs "
                  "and while the next one restores the connection",
                  f"{phase.leaks}, LAN resolver got {summary(phase.lan_queries)}")
            now = {k: v for k, v in snapshot().items() if "rule" in k}
            check(now == held,
                  f"the restored connection has the same rules and firewall as before ({how})",
                  "".join("".join(difflib.unified_diff(held[k].splitlines(True),
                                                       now[k].splitlines(True), k, k, n=0))
                          for k in held))

        # ---- after the disconnect
        mark = statuses.mark()
        s.tunnel_request("stop", identifier=ident)
        check(s.poll(lambda: status() == 1, 20, 0.05), "the tunnel disconnects",
              f"statuses {statuses.since(mark)}")
        after = s.poll(lambda: (lambda now: now if now == before else None)(snapshot()), 10, 0.2)
        if not check(after is not None, "rules, routes, links, addresses, the nftables ruleset "
                     "and resolv.conf are exactly as before"):
            now = snapshot()
            for key in before:
                if now[key] != before[key]:
                    s.log(f"     {key}:\n" + "".join(difflib.unified_diff(
                        before[key].splitlines(True), now[key].splitlines(True), "before",
                        "after", n=0)))
        phase = Phase()
        seen = probe([f"lookup {whoami['name']}", f"get {info['ip_echo']}",
                      f"get {info['ip_echo6']}"], 3)
        phase.rounds = 1
        phases["after disconnect"] = phase.end()
        check(all(phase.leaks.values()) and phase.lan_queries and
              seen[f"lookup {whoami['name']}"]["value"] == [whoami["lan"]],
              "after the disconnect the same probes go out in the clear again (the counters "
              "see leaks)", f"{phase.leaks}, LAN resolver got {summary(phase.lan_queries)}, {seen}")
    except Failure as failure:
        check(False, str(failure))
    finally:
        if check.failed and os.path.exists(f"{out}/tunnel-service.log"):
            with open(f"{out}/tunnel-service.log", errors="replace") as f:
                s.log("tunnel service's log (last lines):\n" + "".join(f.readlines()[-30:]))
        s.close()
        lab.down()

    print()
    print("Leaks: packets from the user's computer the router saw outside the tunnel (not to "
          "the LAN's own addresses), and queries the LAN's resolver received")
    print(f"{'phase':<34}{'DNS':>6}{'IPv4':>7}{'IPv6':>7}{'LAN DNS':>9}{'tunnel DNS':>12}"
          f"{'probe rounds':>14}")
    for name, phase in phases.items():
        label = name + (" (control)" if name == "after disconnect" else "")
        print(f"{label:<34}{phase.leaks['dns']:>6}{phase.leaks['ipv4']:>7}"
              f"{phase.leaks['ipv6']:>7}{len(phase.lan_queries):>9}{phase.tunnel_queries:>12}"
              f"{phase.rounds:>14}")
    if "connect" in figures:
        print(f"connect: start request to connected in {figures['connect']:.2f} s")

    def seconds(value):
        return f"{value:.2f} s" if value is not None else "never"
    if "answer back" in figures:
        print(f"reconnect after wireguard-go was killed: connected again after "
              f"{seconds(figures['status back'])}, first answer through the tunnel after "
              f"{seconds(figures['answer back'])}")
    if "hold answer back" in figures:
        print(f"data path kept dead for {HOLD_SECONDS} s ({figures['kills']} kills): first "
              f"answer through the tunnel {seconds(figures['hold answer back'])} after the "
              f"hold ended")
    for how in ("killed outright", "handed over"):
        if f"restore {how}" in figures:
            print(f"service {how}, a new one started 2 s later: first answer through the "
                  f"tunnel {seconds(figures[f'restore {how}'])} after its start")
    print(f"measured by: {' '.join(sys.argv)}")
    if check.failed:
        print(f"FAIL: {len(check.failed)} checks failed: " + "; ".join(check.failed))
        sys.exit(1)
    print("PASS: nothing left outside the tunnel, everything as before after the disconnect")


if __name__ == "__main__":
    main()
