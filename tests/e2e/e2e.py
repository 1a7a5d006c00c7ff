#!/usr/bin/env python3
"""End-to-end test: the client as a user drives it, with real input events under Xvfb.

Usage: tests/e2e/e2e.py BUILD_DIR OUTPUT_DIR
Runs inside a session bus with an unlocked keyring (scripts/with-test-session). Starts its
own Xvfb, a tray host, the dev service and a tunnel service (fake-engine), then drives the
test build of the client (build/e2e/Veloxa.app) with xdotool. The client's test build
writes its model and the places of its named items to a probe file; every click goes to a
real position and every keystroke through the X server. Screenshots of each step go to
OUTPUT_DIR.
"""
import json, os, signal, socket, subprocess, sys, tempfile, time, urllib.request

build, out = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
os.makedirs(out, exist_ok=True)
for old in os.listdir(out):  # one run's screenshots and logs only
    os.remove(os.path.join(out, old))
root = tempfile.mkdtemp(prefix="veloxa-e2e-")
probe_path = f"{root}/probe.json"
children = []
env = dict(os.environ)


def log(text):
    print(f"[{time.strftime('%H:%M:%S')}] {text}", flush=True)


def fail(text):
    log("FAIL: " + text)
    try:
        shoot("failure", whole=True)
        log("last probe: " + json.dumps(probe().get("model", {}))[:2000])
    except Exception:
        pass
    sys.exit(1)


def wait_for(what, predicate, timeout=15):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        try:
            value = predicate()
            if value:
                return value
        except (KeyError, TypeError, ValueError, OSError):
            pass
        time.sleep(0.1)
    fail(f"timed out waiting for {what}")


def start(command, **kw):
    process = subprocess.Popen(command, env=env, **kw)
    children.append(process)
    return process


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


# ---------------------------------------------------------------- the client and its window

def probe():
    with open(probe_path) as f:
        return json.load(f)


def model():
    return probe()["model"]


def item(name):
    state = probe()
    if not state["window"]["visible"] or name not in state["items"]:
        return None
    return state["window"], state["items"][name]


def click(name, timeout=10):
    window, it = wait_for(f"item {name}", lambda: item(name), timeout)
    cx, cy = it["x"] + it["w"] / 2, it["y"] + it["h"] / 2
    if not (0 <= cx < window["w"] and 0 <= cy < window["h"]):
        fail(f"item {name} lies outside the window at {cx:.0f},{cy:.0f}")
    x, y = int(window["x"] + cx), int(window["y"] + cy)
    xdotool("mousemove", "--sync", str(x), str(y), "click", "1")
    time.sleep(0.3)


def xdotool(*args):
    subprocess.run(["xdotool", *args], env=env, check=True)


def type_text(text):
    xdotool("type", "--delay", "40", text)


def key(*names):
    xdotool("key", *names)


def shoot(name, whole=False):
    target = f"{out}/{name}.png"
    command = ["import", "-window", "root"]
    if not whole:
        window = probe()["window"]
        if window.get("visible"):
            command += ["-crop", f"{window['w']}x{window['h']}+{window['x']}+{window['y']}",
                        "+repage"]
    subprocess.run(command + [target], env=env, check=False)


def tray(method):
    """Clicks the client's tray item the way a panel does, over D-Bus."""
    with open(f"{root}/tray-items") as f:
        items = [line.split()[1] for line in f if line.startswith("item ")]
    if not items:
        fail("the client registered no tray item")
    subprocess.run(["dbus-send", "--session", "--type=method_call", f"--dest={items[-1]}",
                    "/StatusNotifierItem", f"org.kde.StatusNotifierItem.{method}",
                    "int32:0", "int32:0"], env=env, check=True)
    time.sleep(0.5)


def tray_menu_choose(index, shot):
    """Opens the tray menu with a right click and picks its entry `index` by keyboard."""
    tray("ContextMenu")
    shoot(shot, whole=True)
    key(*(["Down"] * (index + 1)), "Return")


def start_client():
    if os.path.exists(probe_path):
        os.remove(probe_path)
    client = start([f"{build}/e2e/Veloxa.app/Contents/MacOS/veloxa"],
                   stderr=open(f"{out}/client.log", "a"))
    wait_for("the window", lambda: probe()["window"]["visible"] and probe()["items"])
    time.sleep(0.5)
    return client


def model_is(**expected):
    current = model()
    return all(current.get(k) == v for k, v in expected.items())


# ---------------------------------------------------------------- the services

def dev(path, body=None):
    request = urllib.request.Request(f"{service_url}{path}",
                                     data=json.dumps(body).encode() if body is not None else None,
                                     headers={"Content-Type": "application/json"})
    with urllib.request.urlopen(request, timeout=5) as reply:
        return json.loads(reply.read() or b"null")


def latest_code(email, after=0):
    codes = wait_for(f"a code for {email}",
                     lambda: (lambda c: c if len(c) > after else None)(
                         dev(f"/dev/mailbox?email={email}")["codes"]))
    return codes[-1]


def tunnel_configurations():
    with socket.socket(socket.AF_UNIX) as s:
        s.connect(f"{root}/run/tunnel.sock")
        s.sendall(b'{"id":1,"op":"loadAll"}\n')
        reader = s.makefile("rb")
        while True:
            frame = json.loads(reader.readline())
            if frame.get("id") == 1:
                return frame["configurations"]


def tunnel_status(description):
    for configuration in tunnel_configurations():
        if configuration["localizedDescription"] == description:
            return configuration.get("status")
    return None


def start_dev_service():
    service = start([f"{build}/devservice/veloxa-devservice", "--port", str(port)],
                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    wait_for("the dev service", lambda: dev("/dev/requests") is not None)
    return service


def stop(process):
    process.terminate()
    process.wait(10)


# ---------------------------------------------------------------- the roads

def sign_in(email, code=None):
    click("tab_tabAccount")
    click("emailField")
    key("ctrl+a")
    type_text(email)
    sent = len(dev(f"/dev/mailbox?email={email}")["codes"])
    key("Return")
    wait_for("the code step", lambda: model_is(loginStage="code"))
    click("codeField")
    type_text(code or latest_code(email, sent))


def happy_road():
    client = start_client()
    shoot("01-started")
    sign_in("active@veloxa.test")
    wait_for("the account", lambda: model_is(isLoggedIn=True, email="active@veloxa.test",
                                             subscriptionStatus="active"))
    wait_for("the account card", lambda: item("accountCard"))
    shoot("02-account")

    click("tab_tabVPN")
    click("powerButton")
    wait_for("the tunnel", lambda: model_is(tunnelStatus="active"))
    if tunnel_status("Veloxa — Germany") != 3:
        fail(f"the service does not report Veloxa — Germany connected: {tunnel_configurations()}")
    wait_for("the figures", lambda: model()["publicIP"] == "203.0.113.10" and
             model()["sessionRxBytes"] > 0 and model()["sessionTxBytes"] > 0)
    time.sleep(1.2)
    shoot("03-connected")

    click("chip_ru")  # refused while connected: the other region's chip is disabled
    time.sleep(0.5)
    if not model_is(selectedRegion="de", tunnelStatus="active"):
        fail("switching region while connected was not refused")
    log("switching region while connected: refused")

    click("powerButton")
    wait_for("the disconnect", lambda: model_is(tunnelStatus="inactive"))
    wait_for("the service's disconnect", lambda: tunnel_status("Veloxa — Germany") == 1)
    shoot("04-disconnected")

    click("powerButton")
    wait_for("the second connect", lambda: model_is(tunnelStatus="active"))

    key("ctrl+q")  # the quit alert: the tunnel is active
    time.sleep(1)
    shoot("05-quit-alert", whole=True)
    key("Return")
    if client.wait(10) != 0:
        fail("the client did not quit cleanly")
    time.sleep(1)
    if tunnel_status("Veloxa — Germany") != 3:
        fail("quitting the client stopped the tunnel")
    log("client quit; the tunnel is still connected")

    client = start_client()
    wait_for("the adopted tunnel",
             lambda: model_is(tunnelStatus="active", selectedRegion="de") and
             model()["connectedRegionLabel"] and model()["sessionStartedAt"])
    wait_for("the adopted figures", lambda: model()["publicIP"] == "203.0.113.10" and
             model()["sessionRxBytes"] > 0)
    time.sleep(1.2)
    shoot("06-adopted")

    # A second start hands over to the running client and ends.
    second = subprocess.run([f"{build}/e2e/Veloxa.app/Contents/MacOS/veloxa"], env=env,
                            timeout=10, stderr=subprocess.DEVNULL)
    if second.returncode != 0 or client.poll() is not None:
        fail("the second start did not hand over")
    log("second start handed over to the first")

    # The tray: closing the window keeps the client, a left click brings the window back,
    # the right-click menu disconnects and connects.
    key("ctrl+w")
    wait_for("the window to close", lambda: not probe()["window"]["visible"])
    if client.poll() is not None or not probe()["tray"]:
        fail("closing the window with a tray ended the client")
    tray("Activate")
    wait_for("the window back from the tray", lambda: probe()["window"]["visible"])
    tray_menu_choose(0, "07-tray-menu-disconnect")
    wait_for("the disconnect from the tray", lambda: model_is(tunnelStatus="inactive"))
    tray_menu_choose(0, "08-tray-menu-connect")
    wait_for("the connect from the tray", lambda: model_is(tunnelStatus="active"))
    log("tray: window back on a left click; disconnect and connect from its menu")

    # The subscription ends on the service: the next account refresh disconnects.
    dev("/dev/accounts", {"email": "active@veloxa.test", "status": "expired"})
    wait_for("the disconnect after expiry", lambda: model_is(tunnelStatus="inactive"), 20)
    wait_for("the service's disconnect after expiry",
             lambda: tunnel_status("Veloxa — Germany") == 1)
    shoot("09-expired-disconnected")
    dev("/dev/accounts", {"email": "active@veloxa.test", "status": "active"})
    return client


def sad_roads(client):
    global dev_service
    # Sign out through the account page.
    click("tab_tabAccount")
    click("signOutButton")
    click("destructive")
    wait_for("signed out", lambda: model_is(isLoggedIn=False))

    # The service is down: a clear error in the form.
    stop(dev_service)
    click("emailField")
    key("ctrl+a")
    type_text("active@veloxa.test")
    key("Return")
    wait_for("the service-down error", lambda: model()["authErrorMessage"])
    shoot("10-service-down")
    log(f"service down: {model()['authErrorMessage']}")
    dev_service = start_dev_service()

    # The device limit: the chooser, then replacing one device.
    sign_in("full@veloxa.test")
    wait_for("the device chooser", lambda: model()["pendingDeviceLimit"])
    wait_for("the chooser's rows", lambda: item("replace_00000001-AAAA-4BBB-8CCC-000000000001"))
    shoot("11-device-limit")
    click("replace_00000001-AAAA-4BBB-8CCC-000000000001")
    wait_for("signed in after replacing",
             lambda: model_is(isLoggedIn=True, email="full@veloxa.test"))
    shoot("12-replaced")

    # The service revokes this device's session: the next account refresh signs out.
    dev("/dev/revoke", {"email": "full@veloxa.test"})
    wait_for("signed out by the service",
             lambda: model_is(isLoggedIn=False) and model()["sessionRevokedMessage"])
    shoot("13-revoked")

    # A wrong code.
    sign_in("active@veloxa.test", code="000000")
    wait_for("the wrong-code error", lambda: model()["authErrorMessage"])
    if not model_is(isLoggedIn=False, loginStage="code"):
        fail("a wrong code signed in or left the code step")
    shoot("14-wrong-code")
    log(f"wrong code: {model()['authErrorMessage']}")
    stop(client)


try:
    read_fd, write_fd = os.pipe()
    start(["Xvfb", "-displayfd", str(write_fd), "-screen", "0", "1280x800x24", "-nolisten", "tcp"],
          pass_fds=[write_fd], stderr=subprocess.DEVNULL)
    os.close(write_fd)
    env["DISPLAY"] = ":" + os.read(read_fd, 16).decode().strip()
    start([f"{build}/tools/fake-tray-host/fake-tray-host"], stdout=open(f"{root}/tray-items", "w"))
    port = free_port()
    service_url = f"http://127.0.0.1:{port}"
    dev_service = start_dev_service()
    tunnel_bin = next(os.path.join(d, f, "veloxa-tunnel") for d in
                      [f"{build}/Veloxa.app/Contents/Library/SystemExtensions"]
                      for f in os.listdir(d))
    start([tunnel_bin, "--user", "--runtime-dir", f"{root}/run", "--state-dir", f"{root}/state",
           "--sysfs-net", f"{root}/sys", "--engine",
           f"{build}/tools/fake-engine/fake-engine run -c {{config}} --sysfs {root}/sys"],
          stderr=open(f"{out}/tunnel-service.log", "w"))
    wait_for("the tunnel service", lambda: os.path.exists(f"{root}/run/tunnel.sock"))
    env.update(VELOXA_TUNNEL_RUNTIME_DIR=f"{root}/run", VELOXA_TEST_PROBE=probe_path,
               VELOXA_TEST_SERVICE_BASE_URL=service_url,
               VELOXA_TEST_IP_ECHO_URL=f"{service_url}/ip",
               VELOXA_TEST_ACCOUNT_REFRESH_MS="2000")

    client = happy_road()
    sad_roads(client)
    with open(f"{out}/client.log") as f:
        logged = f.read()
    for secret in ("inbounds", "SingboxConfig", "Bearer"):
        if secret in logged:
            fail(f"the client's log holds {secret!r}")
    log(f"PASS (screenshots in {out})")
finally:
    for process in reversed(children):
        if process.poll() is None:
            process.send_signal(signal.SIGTERM)
            try:
                process.wait(5)
            except subprocess.TimeoutExpired:
                process.kill()
    subprocess.run(["rm", "-rf", root])
