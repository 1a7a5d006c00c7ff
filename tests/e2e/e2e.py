#!/usr/bin/env python3
"""End-to-end test: the client as a user drives it, with real input events under Xvfb.

Usage: tests/e2e/e2e.py BUILD_DIR OUTPUT_DIR
Runs inside a session bus with an unlocked keyring (scripts/with-private-session). Starts its
own Xvfb, a tray host, the dev service and a tunnel service (fake-engine), then drives the
test build of the client (build/e2e/Veloxa.app) with xdotool (tests/e2e/harness.py).
Screenshots of each step go to OUTPUT_DIR.
"""
import json, os, signal, subprocess, sys, time
import xml.etree.ElementTree as ElementTree

from harness import Session, run

BUS = ["--session", "--dest", "net.veloxa.Client", "--object-path", "/net/veloxa/Client"]


def cli(s, *args, expect):
    """`veloxa ARGS` as a script runs it; its output line, after checking its exit status."""
    done = subprocess.run([f"{s.build}/e2e/Veloxa.app/Contents/MacOS/veloxa", *args], env=s.env,
                          capture_output=True, text=True, timeout=90)
    s.log(f"veloxa {' '.join(args)} -> {done.returncode}: {done.stdout.strip()} "
          f"{done.stderr.strip()[:120]}")
    if done.returncode != expect:
        s.fail(f"veloxa {' '.join(args)} exited {done.returncode}, expected {expect}: "
               f"{done.stdout} {done.stderr}")
    return done.stdout.strip(), done.stderr


def bus_shape(root):
    """The interface's properties and methods as (kind, name, type/signature) triples."""
    for interface in root.iter("interface"):
        if interface.get("name") == "net.veloxa.Client1":
            return sorted((e.tag, e.get("name"), e.get("type", "") + e.get("access", "") +
                           "".join(a.get("type") + a.get("direction", "in")
                                   for a in e.iter("arg")))
                          for e in interface if e.tag in ("property", "method"))
    return None


def scripts(s):
    """The command line and the desktop bus reach the running, connected client."""
    line, _ = cli(s, "--status", expect=0)
    if line != "active de 203.0.113.10":
        s.fail(f"--status said {line!r}")
    state = json.loads(cli(s, "--status", "--json", expect=0)[0])
    if state["status"] != "active" or state["rxBytes"] <= 0 or state["sessionStartedAt"] <= 0 \
            or {"token", "email"} & set(state):
        s.fail(f"--status --json said {state}")

    # The packaged introspection data describes what the client really serves.
    live = subprocess.run(["gdbus", "introspect", *BUS, "--xml"], env=s.env, check=True,
                          capture_output=True, text=True).stdout
    packaged = ElementTree.parse(os.path.join(os.path.dirname(os.path.abspath(__file__)),
                                              "../../packaging/dbus/net.veloxa.Client1.xml"))
    if bus_shape(ElementTree.fromstring(live)) != bus_shape(packaged.getroot()):
        s.fail(f"the bus interface differs from its packaged description:\n{live}")
    refused = subprocess.run(["gdbus", "call", *BUS, "--method", "net.veloxa.Client1.Connect",
                              "fr"], env=s.env, capture_output=True, text=True)
    if refused.returncode == 0 or "UnknownRegion" not in refused.stderr:
        s.fail(f"Connect('fr') was not refused: {refused.stdout} {refused.stderr}")

    # One disconnect and one connect through the command line, watched on the bus.
    monitor = subprocess.Popen(["gdbus", "monitor", "--session", "--dest", "net.veloxa.Client"],
                               env=s.env, stdout=subprocess.PIPE, text=True)
    time.sleep(0.5)
    line, _ = cli(s, "--toggle", "--wait", "20", expect=0)
    if line != "inactive":
        s.fail(f"--toggle did not disconnect: {line!r}")
    s.wait_for("the window's disconnect", lambda: s.model_is(tunnelStatus="Inactive"))
    line, _ = cli(s, "--toggle", "--wait", "20", expect=0)
    if not line.startswith("active de"):
        s.fail(f"--toggle did not connect: {line!r}")
    s.wait_for("the window's connect", lambda: s.model_is(tunnelStatus="Active"))
    time.sleep(1.5)
    monitor.send_signal(signal.SIGINT)
    watched = monitor.communicate(timeout=10)[0]
    for expected in ("'Status': <'inactive'>", "'Status': <'active'>", "'RxBytes': <uint64"):
        if expected not in watched:
            s.fail(f"PropertiesChanged never said {expected}:\n{watched[-3000:]}")

    _, said = cli(s, "--disconnect", "--wait", "0", expect=3)
    if "Waiting ran out" not in said:
        s.fail(f"a wait that ran out said {said!r}")
    s.wait_for("the disconnect", lambda: s.model_is(tunnelStatus="Inactive"))
    _, said = cli(s, "--connect", "fr", expect=2)
    if "Usage:" not in said:
        s.fail("a bad region did not print the usage")
    cli(s, "--connect", "de", "--wait", "20", expect=0)
    s.log("scripts: --status, --json, --toggle, --wait, bad arguments and the bus interface")

def happy_road(s):
    client = s.start_client()
    s.shoot("01-started")
    s.sign_in("active@veloxa.test")
    s.wait_for("the account", lambda: s.model_is(isLoggedIn=True, email="active@veloxa.test",
                                             subscriptionStatus="active"))
    s.wait_for("the account card", lambda: s.item("accountCard"))
    s.shoot("02-account")

    s.click("tab_tabVPN")
    s.click("powerButton")
    s.wait_for("the tunnel", lambda: s.model_is(tunnelStatus="Active"))
    if s.tunnel_status("Veloxa — Germany") != 3:
        s.fail(f"the service does not report Veloxa — Germany connected: {s.tunnel_configurations()}")
    s.wait_for("the figures", lambda: s.model()["publicIP"] == "203.0.113.10" and
             s.model()["sessionRxBytes"] > 0 and s.model()["sessionTxBytes"] > 0)
    time.sleep(1.2)
    s.shoot("03-connected")

    s.click("chip_ru")  # refused while connected: the other region's chip is disabled
    time.sleep(0.5)
    if not s.model_is(selectedRegion="De", tunnelStatus="Active"):
        s.fail("switching region while connected was not refused")
    s.log("switching region while connected: refused")

    s.click("powerButton")
    s.wait_for("the disconnect", lambda: s.model_is(tunnelStatus="Inactive"))
    s.wait_for("the service's disconnect", lambda: s.tunnel_status("Veloxa — Germany") == 1)
    s.shoot("04-disconnected")

    s.click("powerButton")
    s.wait_for("the second connect", lambda: s.model_is(tunnelStatus="Active"))

    s.key("ctrl+q")  # the quit alert: the tunnel is active
    time.sleep(1)
    s.shoot("05-quit-alert", whole=True)
    s.key("Return")
    if client.wait(10) != 0:
        s.fail("the client did not quit cleanly")
    time.sleep(1)
    if s.tunnel_status("Veloxa — Germany") != 3:
        s.fail("quitting the client stopped the tunnel")
    s.log("client quit; the tunnel is still connected")

    client = s.start_client()
    s.wait_for("the adopted tunnel",
             lambda: s.model_is(tunnelStatus="Active", selectedRegion="De") and
             s.model()["connectedRegionLabel"] and s.model()["sessionStartedAt"])
    s.wait_for("the adopted figures", lambda: s.model()["publicIP"] == "203.0.113.10" and
             s.model()["sessionRxBytes"] > 0)
    time.sleep(1.2)
    s.shoot("06-adopted")

    # A second start hands over to the running client and ends.
    second = subprocess.run([f"{s.build}/e2e/Veloxa.app/Contents/MacOS/veloxa"], env=s.env,
                            timeout=10, stderr=subprocess.DEVNULL)
    if second.returncode != 0 or client.poll() is not None:
        s.fail("the second start did not hand over")
    s.log("second start handed over to the first")

    # The tray: closing the window keeps the client, a left click brings the window back,
    # the right-click menu disconnects and connects.
    s.key("ctrl+w")
    s.wait_for("the window to close", lambda: not s.probe()["window"]["visible"])
    if client.poll() is not None or not s.probe()["tray"]:
        s.fail("closing the window with a tray ended the client")
    s.tray("Activate")
    s.wait_for("the window back from the tray", lambda: s.probe()["window"]["visible"])
    s.tray_menu_choose(0, "07-tray-menu-disconnect")
    s.wait_for("the disconnect from the tray", lambda: s.model_is(tunnelStatus="Inactive"))
    s.tray_menu_choose(0, "08-tray-menu-connect")
    s.wait_for("the connect from the tray", lambda: s.model_is(tunnelStatus="Active"))
    s.log("tray: window back on a left click; disconnect and connect from its menu")
    scripts(s)

    # The subscription ends on the service: the next account refresh disconnects.
    s.dev("/dev/accounts", {"email": "active@veloxa.test", "status": "expired"})
    s.wait_for("the disconnect after expiry", lambda: s.model_is(tunnelStatus="Inactive"), 20)
    s.wait_for("the service's disconnect after expiry",
             lambda: s.tunnel_status("Veloxa — Germany") == 1)
    s.shoot("09-expired-disconnected")
    s.dev("/dev/accounts", {"email": "active@veloxa.test", "status": "active"})
    return client


def sad_roads(s, client):
    # Sign out through the account page.
    s.click("tab_tabAccount")
    s.click("signOutButton")
    s.click("destructive")
    s.wait_for("signed out", lambda: s.model_is(isLoggedIn=False))
    _, said = cli(s, "--connect", "--wait", "5", expect=1)
    if "Sign-in required" not in said:
        s.fail(f"a connect while signed out said {said!r}")

    # The service is down: a clear error in the form.
    s.stop(s.dev_service)
    s.click("emailField")
    s.key("ctrl+a")
    s.type_text("active@veloxa.test")
    s.key("Return")
    s.wait_for("the service-down error", lambda: s.model()["authErrorMessage"])
    s.shoot("10-service-down")
    s.log(f"service down: {s.model()['authErrorMessage']}")
    s.start_dev_service()

    # The device limit: the chooser, then replacing one device.
    s.sign_in("full@veloxa.test")
    s.wait_for("the device chooser", lambda: s.model()["pendingDeviceLimit"])
    s.wait_for("the chooser's rows", lambda: s.item("replace_00000001-AAAA-4BBB-8CCC-000000000001"))
    s.shoot("11-device-limit")
    s.click("replace_00000001-AAAA-4BBB-8CCC-000000000001")
    s.wait_for("signed in after replacing",
             lambda: s.model_is(isLoggedIn=True, email="full@veloxa.test"))
    s.shoot("12-replaced")

    # The service revokes this device's session: the next account refresh signs out.
    s.dev("/dev/revoke", {"email": "full@veloxa.test"})
    s.wait_for("signed out by the service",
             lambda: s.model_is(isLoggedIn=False) and s.model()["sessionRevokedMessage"])
    s.shoot("13-revoked")

    # A wrong code.
    s.sign_in("active@veloxa.test", code="000000")
    s.wait_for("the wrong-code error", lambda: s.model()["authErrorMessage"])
    if not s.model_is(isLoggedIn=False, loginStage="Code"):
        s.fail("a wrong code signed in or left the code step")
    s.shoot("14-wrong-code")
    s.log(f"wrong code: {s.model()['authErrorMessage']}")
    s.stop(client)

    # With no client running, an action starts one in the tray, without its window.
    if cli(s, "--status", expect=0)[0] != "not-running":
        s.fail("--status without a client did not say not-running")
    os.remove(s.probe_path)
    cli(s, "--connect", expect=1)  # signed out: refused, by the client it started
    s.wait_for("the started client's probe", lambda: s.probe()["model"])
    pid = subprocess.run(["gdbus", "call", "--session", "--dest", "org.freedesktop.DBus",
                          "--object-path", "/org/freedesktop/DBus", "--method",
                          "org.freedesktop.DBus.GetConnectionUnixProcessID", "net.veloxa.Client"],
                         env=s.env, capture_output=True, text=True, check=True).stdout
    time.sleep(1)
    if s.probe()["window"]["visible"]:
        s.fail("a client started by a script showed its window")
    os.kill(int(pid.strip("()\n, ").split()[-1]), signal.SIGTERM)


def main():
    s = Session(os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2]))
    try:
        s.start_desktop()
        s.start_dev_service()
        s.start_tunnel_service()
        s.client_environment()
        client = happy_road(s)
        sad_roads(s, client)
        s.check_log_keeps_secrets()
        s.log(f"PASS (screenshots in {s.out})")
    finally:
        s.close()


run(main)
