"""Drives the real client as a user does, for the end-to-end tests.

A Session starts its own Xvfb, tray host, dev service and tunnel service, runs the test
build of the client (build/e2e/Veloxa.app), which writes its model and the places of its
named items to a probe file, and clicks and types through the X server with xdotool.
With `netns`, the dev service, the tunnel service and the client run inside that network
namespace; the display, the session bus and the files are shared with it.
"""
import json, os, signal, socket, subprocess, sys, tempfile, threading, time, urllib.request


class Failure(Exception):
    pass


class Session:
    def __init__(self, build, out, netns=None):
        self.build, self.out, self.netns = build, out, netns
        os.makedirs(out, exist_ok=True)
        for old in os.listdir(out):  # one run's screenshots and logs only
            os.remove(os.path.join(out, old))
        self.root = tempfile.mkdtemp(prefix="veloxa-e2e-")
        self.probe_path = f"{self.root}/probe.json"
        self.children = []
        self.env = dict(os.environ)
        self.service_url = None
        self.dev_service = None

    # ------------------------------------------------------------ processes

    def log(self, text):
        print(f"[{time.strftime('%H:%M:%S')}] {text}", flush=True)

    def fail(self, text):
        self.log("FAIL: " + text)
        try:
            if "DISPLAY" in self.env:
                self.shoot("failure", whole=True)
            self.log("last probe: " + json.dumps(self.probe().get("model", {}))[:2000])
        except Exception:
            pass
        for line in self.diagnose():
            self.log(line)
        raise Failure(text)

    # What a test adds to a failure's log (say, the state of its network).
    diagnose = staticmethod(lambda: [])

    def wait_for(self, what, predicate, timeout=15):
        value = self.poll(predicate, timeout)
        if value:
            return value
        self.fail(f"timed out waiting for {what}")

    @staticmethod
    def poll(predicate, timeout, interval=0.1):
        """The predicate's first true value within `timeout` seconds, else None."""
        deadline = time.monotonic() + timeout
        while True:
            try:
                value = predicate()
                if value:
                    return value
            except (KeyError, TypeError, ValueError, OSError):
                pass
            if time.monotonic() >= deadline:
                return None
            time.sleep(interval)

    def inside(self, command):
        """The command as it runs in the session's namespace."""
        return ["ip", "netns", "exec", self.netns, *command] if self.netns else list(command)

    def start(self, command, netns=False, **kw):
        process = subprocess.Popen(self.inside(command) if netns else command, env=self.env, **kw)
        self.children.append(process)
        return process

    def stop(self, process):
        process.terminate()
        process.wait(10)

    def close(self):
        for process in reversed(self.children):
            if process.poll() is None:
                process.send_signal(signal.SIGTERM)
                try:
                    process.wait(5)
                except subprocess.TimeoutExpired:
                    process.kill()
        subprocess.run(["rm", "-rf", self.root])

    # ------------------------------------------------------------ the desktop and services

    def start_desktop(self):
        read_fd, write_fd = os.pipe()
        self.start(["Xvfb", "-displayfd", str(write_fd), "-screen", "0", "1280x800x24",
                    "-nolisten", "tcp"], pass_fds=[write_fd], stderr=subprocess.DEVNULL)
        os.close(write_fd)
        self.env["DISPLAY"] = ":" + os.read(read_fd, 16).decode().strip()
        self.start([f"{self.build}/tools/fake-tray-host/fake-tray-host"],
                   stdout=open(f"{self.root}/tray-items", "w"))

    def start_dev_service(self, *extra):
        if not self.service_url:
            with socket.socket() as s:
                s.bind(("127.0.0.1", 0))
                port = s.getsockname()[1]
            self.service_url = f"http://127.0.0.1:{port}"
        port = self.service_url.rsplit(":", 1)[1]
        self.dev_service = self.start([f"{self.build}/devservice/veloxa-devservice", "--port", port,
                                       *extra], netns=True,
                                      stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.wait_for("the dev service", lambda: self.dev("/dev/requests") is not None)
        return self.dev_service

    def dev(self, path, body=None):
        data = json.dumps(body).encode() if body is not None else None
        if self.netns:  # the service listens on the namespace's own loopback
            command = ["curl", "-sf", "-m", "5", "-H", "Content-Type: application/json"]
            if data is not None:
                command += ["--data-binary", data.decode()]
            reply = subprocess.run(self.inside(command + [self.service_url + path]),
                                   capture_output=True)
            if reply.returncode != 0:
                raise OSError(f"curl {path}: exit {reply.returncode}")
            return json.loads(reply.stdout or b"null")
        request = urllib.request.Request(self.service_url + path, data=data,
                                         headers={"Content-Type": "application/json"})
        with urllib.request.urlopen(request, timeout=5) as reply:
            return json.loads(reply.read() or b"null")

    def tunnel_binary(self, name):
        folder = f"{self.build}/Veloxa.app/Contents/Library/SystemExtensions"
        return next(os.path.join(folder, f, name) for f in os.listdir(folder))

    def start_tunnel_service(self, engine=None, name="tunnel-service"):
        """A private tunnel service; fake-engine unless `engine` says otherwise ('' picks
        the service's own default)."""
        if engine is None:
            engine = (f"{self.build}/tools/fake-engine/fake-engine run -c {{config}} "
                      f"--sysfs {self.root}/sys")
        command = [self.tunnel_binary("veloxa-tunnel"), "--user", "--runtime-dir",
                   f"{self.root}/run", "--state-dir", f"{self.root}/state"]
        if engine:
            command += ["--sysfs-net", f"{self.root}/sys", "--engine", engine]
        service = self.start(command, netns=True, stderr=open(f"{self.out}/{name}.log", "a"))
        self.wait_for("the tunnel service",
                      lambda: os.path.exists(f"{self.root}/run/tunnel.sock") and
                      self.tunnel_configurations() is not None)
        return service

    def client_environment(self, ip_echo=None):
        self.env.update(VELOXA_TUNNEL_RUNTIME_DIR=f"{self.root}/run",
                        VELOXA_TEST_PROBE=self.probe_path,
                        VELOXA_TEST_SERVICE_BASE_URL=self.service_url,
                        VELOXA_TEST_IP_ECHO_URL=ip_echo or f"{self.service_url}/ip",
                        VELOXA_TEST_ACCOUNT_REFRESH_MS="2000")

    def tunnel_request(self, op, **fields):
        """One request to the tunnel service's control socket; its reply."""
        with socket.socket(socket.AF_UNIX) as s:
            s.settimeout(10)
            s.connect(f"{self.root}/run/tunnel.sock")
            s.sendall((json.dumps({"id": 1, "op": op, **fields}) + "\n").encode())
            for line in s.makefile("rb"):
                frame = json.loads(line)
                if frame.get("id") == 1:
                    return frame
        raise OSError(f"the tunnel service closed the connection before answering {op}")

    def tunnel_configurations(self):
        return self.tunnel_request("loadAll")["configurations"]

    def tunnel_status(self, description):
        for configuration in self.tunnel_configurations():
            if configuration["localizedDescription"] == description:
                return configuration.get("status")
        return None

    # ------------------------------------------------------------ the client and its window

    def start_client(self):
        if os.path.exists(self.probe_path):
            os.remove(self.probe_path)
        client = self.start([f"{self.build}/e2e/Veloxa.app/Contents/MacOS/veloxa"], netns=True,
                            stderr=open(f"{self.out}/client.log", "a"))
        self.wait_for("the window",
                      lambda: self.probe()["window"]["visible"] and self.probe()["items"])
        time.sleep(0.5)
        return client

    def probe(self):
        with open(self.probe_path) as f:
            return json.load(f)

    def model(self):
        return self.probe()["model"]

    def model_is(self, **expected):
        current = self.model()
        return all(current.get(k) == v for k, v in expected.items())

    def item(self, name):
        state = self.probe()
        if not state["window"]["visible"] or name not in state["items"]:
            return None
        return state["window"], state["items"][name]

    def click(self, name, timeout=10):
        window, it = self.wait_for(f"item {name}", lambda: self.item(name), timeout)
        cx, cy = it["x"] + it["w"] / 2, it["y"] + it["h"] / 2
        if not (0 <= cx < window["w"] and 0 <= cy < window["h"]):
            self.fail(f"item {name} lies outside the window at {cx:.0f},{cy:.0f}")
        x, y = int(window["x"] + cx), int(window["y"] + cy)
        self.xdotool("mousemove", "--sync", str(x), str(y), "click", "1")
        time.sleep(0.3)

    def xdotool(self, *args):
        subprocess.run(["xdotool", *args], env=self.env, check=True)

    def type_text(self, text):
        self.xdotool("type", "--delay", "40", text)

    def key(self, *names):
        self.xdotool("key", *names)

    def shoot(self, name, whole=False):
        command = ["import", "-window", "root"]
        if not whole:
            window = self.probe()["window"]
            if window.get("visible"):
                command += ["-crop", f"{window['w']}x{window['h']}+{window['x']}+{window['y']}",
                            "+repage"]
        subprocess.run(command + [f"{self.out}/{name}.png"], env=self.env, check=False)

    def tray(self, method):
        """Clicks the client's tray item the way a panel does, over D-Bus."""
        with open(f"{self.root}/tray-items") as f:
            items = [line.split()[1] for line in f if line.startswith("item ")]
        if not items:
            self.fail("the client registered no tray item")
        subprocess.run(["dbus-send", "--session", "--type=method_call", f"--dest={items[-1]}",
                        "/StatusNotifierItem", f"org.kde.StatusNotifierItem.{method}",
                        "int32:0", "int32:0"], env=self.env, check=True)
        time.sleep(0.5)

    def tray_menu_choose(self, index, shot):
        """Opens the tray menu with a right click and picks its entry `index` by keyboard."""
        self.tray("ContextMenu")
        self.shoot(shot, whole=True)
        self.key(*(["Down"] * (index + 1)), "Return")

    def latest_code(self, email, after=0):
        codes = self.wait_for(f"a code for {email}",
                              lambda: (lambda c: c if len(c) > after else None)(
                                  self.dev(f"/dev/mailbox?email={email}")["codes"]))
        return codes[-1]

    def sign_in(self, email, code=None):
        self.click("tab_tabAccount")
        self.click("emailField")
        self.key("ctrl+a")
        self.type_text(email)
        sent = len(self.dev(f"/dev/mailbox?email={email}")["codes"])
        self.key("Return")
        self.wait_for("the code step", lambda: self.model_is(loginStage="Code"))
        self.click("codeField")
        self.type_text(code or self.latest_code(email, sent))

    def check_log_keeps_secrets(self):
        with open(f"{self.out}/client.log") as f:
            logged = f.read()
        for secret in ("inbounds", "SingboxConfig", "Bearer", "private_key"):
            if secret in logged:
                self.fail(f"the client's log holds {secret!r}")


class StatusLog:
    """Every status event of a tunnel service, as it arrives (from a listener thread that
    reconnects when the service restarts)."""

    def __init__(self, path):
        self.seen, self.errors, self.path = [], [], path
        self.listening = threading.Event()
        threading.Thread(target=self.listen, daemon=True).start()

    def listen(self):
        while True:
            try:
                with socket.socket(socket.AF_UNIX) as s:
                    s.connect(self.path)
                    # A request answered means events reach this connection from now on.
                    s.sendall(b'{"id":1,"op":"hello"}\n')
                    for line in s.makefile("rb"):
                        frame = json.loads(line)
                        if frame.get("id") == 1:
                            self.listening.set()
                        if frame.get("event") == "status":
                            self.seen.append(frame["status"])
                            if frame.get("error"):
                                self.errors.append(frame["error"])
            except (OSError, ValueError):
                time.sleep(0.1)

    def mark(self):
        return len(self.seen)

    def since(self, mark):
        return self.seen[mark:]


def run(main):
    """Runs main(session-making args) and turns a Failure into exit status 1."""
    try:
        main()
    except Failure:
        sys.exit(1)
