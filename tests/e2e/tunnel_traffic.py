#!/usr/bin/env python3
"""End-to-end test with real traffic: the client connects through the built-in WireGuard
engine to an exit in a network namespace, and everything it sends is encrypted.

Usage: tests/e2e/tunnel_traffic.py BUILD_DIR OUTPUT_DIR
Builds the namespaces of scripts/netns_lab.py, runs the dev service (handing out the
lab's exit), the tunnel service with its default engine and the test build of the client
inside the user's namespace, and drives the client under Xvfb. Checks: connected, a site
only the exit reaches answers, the public IP is the exit's, the counters grow by what was
sent and received; an engine killed mid-connection reasserts with nothing sent in the
clear meanwhile and comes back by itself; a service killed outright comes back with the
connection and leaves no second set of rules; whenever the service says connected, traffic
goes through the tunnel at once (connected means the engine has everything in place);
disconnecting leaves the routing exactly as before. Skips (exit 77) where namespaces,
/dev/net/tun or WireGuard are missing. tunnel_leaks.py checks the tunnel's promise itself.
"""
import json, os, subprocess, sys, time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "../../scripts"))
import netns_lab  # noqa: E402
from harness import Session, StatusLog, run  # noqa: E402

REGION = "Veloxa — Germany"


def main():
    reason = netns_lab.available()
    if reason:
        print(f"SKIP: real-traffic test not possible here: {reason}")
        sys.exit(77)
    lab = netns_lab.Lab(f"vxe{os.getpid() % 10000}").up()
    s = Session(os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2]), netns=lab.cli)
    info = lab.describe()

    def in_client(*command, timeout=10):
        return subprocess.run(lab.within(lab.cli, *command), capture_output=True, text=True,
                              timeout=timeout)

    def public_ip():
        reply = in_client("curl", "-sf", "-m", "3", info["ip_echo"])
        return json.loads(reply.stdout)["ip"] if reply.returncode == 0 else None

    def network_state():
        """Interfaces, rules, routes and WireGuard peers on both ends (keys left out)."""
        lines = []
        for namespace in (lab.cli, lab.exit):
            for command in (["ip", "-br", "addr"], ["ip", "rule"], ["ip", "route", "show", "table", "all"],
                            ["wg", "show", "all", "endpoints"], ["wg", "show", "all", "transfer"],
                            ["wg", "show", "all", "latest-handshakes"]):
                out = subprocess.run(lab.within(namespace, *command), capture_output=True, text=True,
                                     timeout=10)
                lines.append(f"{namespace}$ {' '.join(command)}\n{out.stdout}{out.stderr}")
        lines.append(subprocess.run(["pgrep", "-a", "wireguard-go"], capture_output=True,
                                    text=True).stdout)
        return lines
    s.diagnose = network_state

    def routing():
        return [in_client("ip", *args).stdout for args in
                (["-4", "rule"], ["-6", "rule"], ["-4", "route", "show", "table", "all"],
                 ["-6", "route", "show", "table", "all"], ["-o", "link"])]

    def through_tunnel_at_once():
        """Connected means everything is in place: the first try goes through."""
        reply = in_client("curl", "-sf", "-m", "5", info["exit_only"] + "/ip")
        if reply.returncode != 0:
            s.fail(f"connected, but the exit-only site does not answer: {reply.stderr}")

    def connected_again():
        s.wait_for("connected again", lambda: s.tunnel_status(REGION) == 3, 40)
        through_tunnel_at_once()
        s.wait_for("the client back to active", lambda: s.model_is(tunnelStatus="Active"), 10)

    def engine_rules():
        return [in_client("ip", *args).stdout for args in (["-4", "rule"], ["-6", "rule"])] + \
            [in_client("nft", "list", "tables").stdout]

    try:
        s.start_desktop()
        s.start_dev_service("--wireguard-exit", info["wireguard_exit"],
                            "--ip-echo-upstream", info["ip_echo"])
        before = routing()
        if public_ip() != info["client_address"]:
            s.fail("the lab's echo does not see the client's own address")
        s.start_tunnel_service(engine="")  # its default: sing-box is absent, so ours
        statuses = StatusLog(f"{s.root}/run/tunnel.sock")
        s.client_environment()
        s.start_client()
        s.sign_in("active@veloxa.test")
        s.wait_for("the account", lambda: s.model_is(isLoggedIn=True, subscriptionStatus="active"))
        lab.admit_from(s.service_url)

        s.click("tab_tabVPN")
        s.click("powerButton")
        s.wait_for("connected", lambda: s.tunnel_status(REGION) == 3, 20)
        through_tunnel_at_once()
        s.wait_for("the tunnel", lambda: s.model_is(tunnelStatus="Active"), 20)
        s.wait_for("the exit's address as the public IP",
                   lambda: s.model()["publicIP"] == info["exit_address"], 15)
        s.log(f"connected: public IP {s.model()['publicIP']}")

        # A site that only the exit reaches, both ways; the counters follow the bytes.
        rx0, tx0 = s.model()["sessionRxBytes"], s.model()["sessionTxBytes"]
        size = 2_000_000
        got = in_client("curl", "-sf", "-m", "10", "-o", "/dev/null", "-w", "%{size_download}",
                        f"{info['exit_only']}/blob?size={size}")
        if got.returncode != 0 or int(got.stdout) != size:
            s.fail(f"the exit-only site did not answer through the tunnel: {got.stderr}")
        sent = in_client("sh", "-c", f"head -c {size} /dev/zero | curl -sf -m 10 "
                         f"--data-binary @- {info['exit_only']}/upload")
        if sent.returncode != 0:
            s.fail("uploading through the tunnel failed")
        s.wait_for("the counters to grow by what went through",
                   lambda: s.model()["sessionRxBytes"] >= rx0 + size and
                   s.model()["sessionTxBytes"] >= tx0 + size, 10)
        time.sleep(1.2)
        s.shoot("01-connected")
        s.log(f"counters: received {s.model()['sessionRxBytes']}, "
              f"sent {s.model()['sessionTxBytes']}")

        # The engine dies: reasserting, and nothing leaves in the clear meanwhile.
        plain = lab.plain_packets()
        mark = statuses.mark()
        for pid in lab.pids(lab.cli, "veloxa-engine"):
            os.kill(pid, 9)
        end = time.monotonic() + 1.5
        while time.monotonic() < end:  # tries to get out the whole time
            in_client("curl", "-s", "-m", "0.2", info["ip_echo"], timeout=5)
        s.wait_for("reasserting", lambda: 4 in statuses.since(mark), 10)
        connected_again()
        if 4 not in statuses.since(mark):
            s.fail(f"no reasserting after the engine was killed: {statuses.since(mark)}")
        if lab.plain_packets() != plain:
            s.fail(f"{lab.plain_packets() - plain} packets left outside the tunnel while "
                   "the engine restarted")
        s.log(f"engine killed: {statuses.since(mark)}, no packet outside the tunnel")

        # The service dies outright: the next one cleans up and brings the tunnel back.
        rules = engine_rules()
        plain = lab.plain_packets()
        subprocess.run(["pkill", "-KILL", "-f", f"veloxa-tunnel --user --runtime-dir {s.root}/"],
                       check=False)
        time.sleep(0.5)
        in_client("curl", "-s", "-m", "0.5", info["ip_echo"])
        if lab.plain_packets() != plain:
            s.fail("packets left outside the tunnel while no service ran")
        s.start_tunnel_service(engine="", name="tunnel-service-restarted")
        connected_again()
        if engine_rules() != rules:
            s.fail(f"the restarted service's routing rules or firewall tables differ:\n"
                   f"{engine_rules()}\nbefore the service was killed:\n{rules}")
        s.log("service killed: restarted clean with the connection back")

        s.click("powerButton")
        s.wait_for("the disconnect", lambda: s.model_is(tunnelStatus="Inactive"), 15)
        try:
            s.wait_for("the routing as before", lambda: routing() == before, 10)
        except Exception:
            import difflib
            s.log("".join(difflib.unified_diff("".join(before).splitlines(True),
                                               "".join(routing()).splitlines(True))))
            raise
        if public_ip() != info["client_address"]:
            s.fail("after disconnecting the public IP is not the client's own again")
        s.shoot("02-disconnected")
        s.check_log_keeps_secrets()
        s.log("PASS: disconnected, routing exactly as before")
    finally:
        s.close()
        lab.down()


run(main)
