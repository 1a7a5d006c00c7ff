#!/usr/bin/env python3
"""The window as a screen reader finds it: the real client on the accessibility bus.

Usage: tests/e2e/accessibility.py BUILD_DIR OUTPUT_DIR
Runs inside a session bus with an unlocked keyring (scripts/with-private-session). Starts
the AT-SPI bus, Xvfb, the dev service and a tunnel service (tests/e2e/harness.py), signs in
and connects with the test build of the client, then reads its accessible tree as an
assistive technology does: the VPN tab's rows and the account's status lines are static
texts carrying their label and value in the interface language, and every control has a
name and a role. Then the same in German.
"""
import os, sys, time

try:
    import gi
except ImportError:  # a Python of its own on PATH: the system's has the bindings
    if sys.executable != "/usr/bin/python3" and os.path.exists("/usr/bin/python3"):
        os.execv("/usr/bin/python3", ["/usr/bin/python3", *sys.argv])
    raise
gi.require_version("Atspi", "2.0")
from gi.repository import Atspi, GLib

from harness import Session, run

CONTROLS = {"push button", "page tab", "radio button", "check box", "link", "combo box", "text",
            "entry", "password text"}


def application(pid):
    desktop = Atspi.get_desktop(0)
    for i in range(desktop.get_child_count()):
        app = desktop.get_child_at_index(i)
        if app is not None and app.get_process_id() == pid:
            return app
    return None


def nodes(app, limit=3000):
    """(role, name) of every node under `app`, read afresh."""
    app.clear_cache()
    found, todo = [], [app]
    while todo and len(found) < limit:
        node = todo.pop()
        try:
            found.append((node.get_role_name(), node.get_name() or ""))
            todo.extend(node.get_child_at_index(i) for i in range(node.get_child_count()))
        except GLib.Error:  # a node that went away while we read
            continue
    return found


def expect_texts(s, app, prefixes):
    """Every prefix starts the name of a static text; returns those names."""
    for _ in range(50):
        found = nodes(app)
        names = [name for role, name in found if role == "label"]  # static text
        hits = [next((n for n in names if n.startswith(p)), None) for p in prefixes]
        if all(hits):
            return hits
        time.sleep(0.2)
    s.fail(f"no static texts {prefixes} among {found}")


def expect_named_controls(s, app):
    unnamed = [role for role, name in nodes(app) if role in CONTROLS and not name.strip()]
    if unnamed:
        s.fail(f"controls without a name: {unnamed}")


def main():
    s = Session(os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2]))
    try:
        s.start_desktop()
        os.environ["DISPLAY"] = s.env["DISPLAY"]
        s.start(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"])
        s.start_dev_service()
        s.start_tunnel_service()
        s.client_environment()
        # The language chosen below is stored in a settings folder of the test's own.
        s.env.update(QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_ACCESSIBILITY="1",
                     XDG_CONFIG_HOME=f"{s.root}/config")
        client = s.start_client()
        app = s.wait_for("the client on the accessibility bus", lambda: application(client.pid))

        s.sign_in("active@veloxa.test")
        s.wait_for("the account", lambda: s.model_is(isLoggedIn=True))
        s.wait_for("the account card", lambda: s.item("accountCard"))
        lines = expect_texts(s, app, ["active@veloxa.test", "Status: active", "Valid until: "])
        s.log(f"account: {lines}")
        expect_named_controls(s, app)

        s.click("tab_tabVPN")
        s.click("powerButton")
        s.wait_for("the connection", lambda: s.model_is(tunnelStatus="Active") and
                   s.model()["publicIP"] == "203.0.113.10" and s.model()["sessionRxBytes"] > 0)
        time.sleep(1.2)
        rows = expect_texts(s, app, ["IP address: 203.0.113.10", "Region: Germany",
                                     "Session time: 00:", "Traffic: "])
        s.log(f"VPN tab: {rows}")
        expect_named_controls(s, app)
        s.shoot("01-connected")

        # German, chosen in the About tab's list with the keyboard.
        s.click("tab_tabAbout")
        s.click("languagePicker")
        s.key("Down", "Down", "Down", "Return")
        s.wait_for("the tabs in German", lambda: ("page tab", "Konto") in nodes(app))
        s.click("tab_tabVPN")
        rows = expect_texts(s, app, ["IP-Adresse: 203.0.113.10", "Sitzungsdauer: 00:"])
        s.log(f"VPN tab in German: {rows}")
        s.click("tab_tabAccount")
        lines = expect_texts(s, app, ["Status: aktiv", "Gültig bis: "])
        s.log(f"account in German: {lines}")
        expect_named_controls(s, app)
        s.shoot("02-account-de")
        s.stop(client)
        s.log(f"PASS (screenshots in {s.out})")
    finally:
        s.close()


run(main)
