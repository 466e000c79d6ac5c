"""The few things the page's tests do to a browser, in each of the three
engines: Chromium and WebKitGTK through WebDriver (Debian's Selenium and
the engines' own drivers), Firefox through WebDriver BiDi, which it speaks
itself. None of them downloads anything; all come from Debian.

Every engine gives the same calls: open a page (returning once it has
loaded, which does not wait for the module), evaluate a script (its
value, awaited if it is a promise, comes back as JSON), click an element by
its id, press keys, and quit. Keys are WebDriver key values (selenium's
Keys), which BiDi shares.
"""
import base64
import http.server
import itertools
import json
import mimetypes
import os
import shutil
import socket
import subprocess
import tempfile
import threading
import time

from selenium import webdriver
from selenium.webdriver.chrome.service import Service as ChromeService
from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.actions import interaction
from selenium.webdriver.common.actions.action_builder import ActionBuilder
from selenium.webdriver.common.actions.pointer_input import PointerInput
from selenium.common.exceptions import NoSuchFrameException
from selenium.webdriver.common.by import By
from selenium.webdriver.webkitgtk.options import Options as WebKitOptions

ENGINES = ("chromium", "firefox", "webkit")
PHONE = {"width": 360, "height": 740, "pixel_ratio": 3.0}


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def wait_for_port(port, what, seconds=20):
    for _ in range(int(seconds / 0.05)):
        try:
            socket.create_connection(("127.0.0.1", port), timeout=0.2).close()
            return
        except OSError:
            time.sleep(0.05)
    raise RuntimeError(f"{what} did not start")


class Server:
    """The site over HTTP, in a thread of this process, as a static host
    serves it: by default as `make serve` does (Python's http.server), or
    with the headers of `caching` ("none": no Cache-Control, as many plain
    hosts; "year": a year's max-age on every file but the service worker).
    It sends a file's .gz where the browser takes gzip, as the README's
    nginx example does, can hold back or withhold the module, and keeps a
    log of what it answered. `site` may be changed between requests: that
    is publishing a new build."""

    def __init__(self, site, caching=None):
        self.site = str(site)
        self.caching = caching
        self.hold_module = None      # an Event: the module's glue is held back until it is set
        self.module_missing = False  # answer 404 for the module's glue
        self.hold_page_tail = None   # an Event: the page's end (its data) is held back until it is set
        self.page_script_missing = False  # answer 404 for the page's own script
        self.page_missing = False    # answer 404 for the page itself
        # (content type, [(header, value)]) for what is under /downloads/,
        # as the host sends them; else as http.server guesses.
        self.download_headers = None
        self.page_headers = []  # (header, value) sent with the page itself
        self.log = []                # (path, status)
        self.port = free_port()
        self.url = f"http://127.0.0.1:{self.port}/"
        self.httpd = None

    def start(self):
        server = self

        class Handler(http.server.SimpleHTTPRequestHandler):
            def __init__(self, *args, **kwargs):
                super().__init__(*args, directory=server.site, **kwargs)

            def send_head(self):
                self.directory = server.site  # per request: a browser keeps connections open
                path = self.path.split("?")[0]
                if server.page_missing and path in ("/", "/index.html"):
                    self.send_error(404)
                    return None
                if server.page_script_missing and path.startswith("/page.") and path.endswith(".js"):
                    self.send_error(404)
                    return None
                if path.startswith("/bemvara.") and path.endswith(".js"):
                    if server.module_missing:
                        self.send_error(404)
                        return None
                    if server.hold_module:  # a test that forgets to let it go fails, not hangs
                        server.hold_module.wait(60)
                self.gzip = (not path.endswith("/") and "gzip" in self.headers.get("Accept-Encoding", "")
                             and os.path.exists(self.translate_path(path) + ".gz"))
                if self.gzip:
                    self.path = path + ".gz"
                return super().send_head()

            def copyfile(self, source, destination):
                # The page up to its scripts, then, once the test lets it go,
                # the rest: a slow link, where the window shows before it can
                # calculate.
                if server.hold_page_tail and self.path.split("?")[0] in ("/", "/index.html"):
                    data = source.read()
                    cut = data.index(b'<script type="application/json"')
                    destination.write(data[:cut])
                    destination.flush()
                    server.hold_page_tail.wait(60)
                    destination.write(data[cut:])
                    return
                super().copyfile(source, destination)

            def is_download(self):
                return server.download_headers and self.path.startswith("/downloads/")

            def guess_type(self, path):
                if self.is_download():
                    return server.download_headers[0]
                return super().guess_type(path[:-3] if getattr(self, "gzip", False) else path)

            def end_headers(self):
                for header, value in server.download_headers[1] if self.is_download() else []:
                    self.send_header(header, value)
                for header, value in server.page_headers if self.path.split("?")[0] in ("/", "/index.html") else []:
                    self.send_header(header, value)
                if getattr(self, "gzip", False):
                    self.send_header("Content-Encoding", "gzip")
                    self.send_header("Vary", "Accept-Encoding")
                if server.caching == "year" and not self.path.startswith("/service-worker.js"):
                    self.send_header("Cache-Control", "max-age=31536000")
                super().end_headers()

            def log_request(self, code="-", size="-"):
                server.log.append((self.path.removesuffix(".gz"), int(code)))

            def log_message(self, *args):  # the log above is all a test reads
                pass

        mimetypes.add_type("application/wasm", ".wasm")
        mimetypes.add_type("application/manifest+json", ".webmanifest")
        self.httpd = http.server.ThreadingHTTPServer(("127.0.0.1", self.port), Handler)
        threading.Thread(target=self.httpd.serve_forever, daemon=True).start()
        wait_for_port(self.port, "the server")

    def stop(self):
        if self.httpd:
            self.httpd.shutdown()
            self.httpd.server_close()
            self.httpd = None


class VirtualDisplay:
    """Xvfb for WebKitGTK, which has no headless mode of its own."""

    def __init__(self):
        readable, writable = os.pipe()
        self.process = subprocess.Popen(
            ["Xvfb", "-displayfd", str(writable), "-screen", "0", "1280x900x24", "-nolisten", "tcp"],
            pass_fds=(writable,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(writable)
        with os.fdopen(readable) as pipe:
            self.name = ":" + pipe.readline().strip()

    def stop(self):
        self.process.terminate()
        self.process.wait()


# Where an element's middle is in the viewport: [x, y].
def middle_of(element_id):
    return (f"(() => {{ const r = document.getElementById({json.dumps(element_id)}).getBoundingClientRect();"
            " return [r.x + r.width / 2, r.y + r.height / 2]; })()")


# Wraps an expression so that its value, awaited, comes back as JSON text.
def as_json(expression):
    return f"Promise.resolve((async () => ({expression}))()).then((value) => JSON.stringify(value ?? null))"


class SeleniumBrowser:
    def __init__(self, driver):
        self.shared_driver = driver
        self.handle = driver.current_window_handle
        driver.bemvara_window = self.handle
        driver.set_script_timeout(30)

    def on_own_window(self):
        """The driver, on this browser's own window: the windows of one
        browser share it, and it speaks to one at a time."""
        if self.shared_driver.bemvara_window != self.handle:
            self.shared_driver.switch_to.window(self.handle)
            self.shared_driver.bemvara_window = self.handle
        return self.shared_driver

    driver = property(on_own_window)

    def open(self, url):
        self.driver.get(url)

    def start_opening(self, url):
        """Starts going to `url` and returns at once, while it still loads."""
        self.driver.execute_script(f"location.href = {json.dumps(url)}")

    # WebDriver awaits a promise that a script returns. A script whose page
    # is replaced as it runs (a navigation under way) gives no answer: None.
    def js(self, expression):
        try:
            return json.loads(self.driver.execute_script(
                f"return {as_json(expression)}.catch((error) => JSON.stringify({{error: String(error)}}))"))
        except NoSuchFrameException as error:
            if "unload" not in str(error):
                raise
            return None

    def click(self, element_id):
        self.driver.find_element(By.ID, element_id).click()

    def screenshot(self):
        """The viewport as PNG, in device pixels."""
        return self.driver.get_screenshot_as_png()

    def double_click(self, x, y):
        """A double-click at (x, y) in the viewport's CSS pixels."""
        actions = ActionBuilder(self.driver)
        actions.pointer_action.move_to_location(round(x), round(y))
        actions.pointer_action.double_click()
        actions.perform()

    # The driver's first window was not opened by a script, so these
    # engines never let the page close it.
    def closed(self):
        return self.handle not in self.shared_driver.window_handles

    def reopen(self):
        raise RuntimeError(f"{self.engine}: the window cannot be opened again")

    def press(self, *keys, modifier=None):
        actions = ActionChains(self.driver)
        if modifier:
            actions.key_down(modifier)
        for key in keys:
            actions.key_down(key).key_up(key)
        if modifier:
            actions.key_up(modifier)
        actions.perform()

    def quit(self):
        self.driver.quit()


# Without these flags Chromium keeps trying to reach the outside.
CHROMIUM_FLAGS = ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                  "--disable-background-networking", "--disable-component-update", "--disable-sync"]


class Chromium(SeleniumBrowser):
    engine = "chromium"

    def __init__(self, phone=False, webassembly=True, forced_colors=False, sideways=False, dark=False, script=True,
                 while_loading=False, downloads=None, width=None, profile=None, height=None, window_of=None):
        if phone:
            long_side, short_side = PHONE["height"], PHONE["width"]
            width, height = (width or long_side, height or short_side) if sideways else (width or short_side, height or long_side)
        self.owner, self.own_profile = window_of, None
        # A phone's finger: touch events, then the click. (A driver's
        # input source keeps its kind, so each kind has its own.)
        self.pointer = PointerInput(interaction.POINTER_TOUCH, "finger") if phone else None
        if window_of:  # a tab of that browser's own: a start of Chromium costs seconds of processor
            window_of.driver.switch_to.new_window("tab")
            super().__init__(window_of.shared_driver)
            if phone:  # as the driver's phone emulation has it, for this tab alone
                self.driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride", {
                    "width": width, "height": height, "deviceScaleFactor": PHONE["pixel_ratio"], "mobile": True})
                self.driver.execute_cdp_cmd("Emulation.setTouchEmulationEnabled", {"enabled": True, "maxTouchPoints": 1})
        else:
            self.start(phone, width, height, while_loading, profile)
        self.emulate(webassembly, forced_colors, dark, script, downloads)

    def start(self, phone, width, height, while_loading, profile):
        options = webdriver.ChromeOptions()
        if while_loading:  # scripts run on a page still arriving, not after it
            options.page_load_strategy = "none"
        options.binary_location = "/usr/bin/chromium"
        for flag in CHROMIUM_FLAGS:
            options.add_argument(flag)
        # A profile of its own, gone with it, unless the caller keeps one.
        self.own_profile = None if profile else tempfile.mkdtemp(prefix="bemvara-chromium-")
        options.add_argument(f"--user-data-dir={profile or self.own_profile}")
        if phone:
            options.add_experimental_option("mobileEmulation", {"deviceMetrics": {
                "width": width, "height": height, "pixelRatio": PHONE["pixel_ratio"], "touch": True}})
        else:
            options.add_argument("--window-size=1024,700")
        super().__init__(webdriver.Chrome(service=ChromeService("/usr/bin/chromedriver"), options=options))

    # Told to each tab on its own.
    def emulate(self, webassembly, forced_colors, dark, script, downloads):
        # Offline must mean offline: nothing from the HTTP cache either.
        self.driver.execute_cdp_cmd("Network.enable", {})
        self.driver.execute_cdp_cmd("Network.setCacheDisabled", {"cacheDisabled": True})
        if downloads:  # saved there as they come, unasked
            self.driver.execute_cdp_cmd("Browser.setDownloadBehavior", {"behavior": "allow", "downloadPath": downloads})
        if not script:  # the page's own; the driver's scripts still run
            self.driver.execute_cdp_cmd("Emulation.setScriptExecutionDisabled", {"value": True})
        if not webassembly:  # no switch turns it off any more: it goes before the page's scripts run
            self.driver.execute_cdp_cmd("Page.addScriptToEvaluateOnNewDocument",
                                        {"source": "delete globalThis.WebAssembly"})
        if forced_colors or dark:
            self.driver.execute_cdp_cmd("Emulation.setEmulatedMedia", {"features": [
                {"name": "forced-colors", "value": "active" if forced_colors else "none"},
                {"name": "prefers-color-scheme", "value": "dark" if dark else "light"}]})

    def start_opening(self, url):
        """Starts going to `url` and returns once it is under way, while it
        still loads. (A page script setting location.href is lost now and
        then to a start-up navigation still in flight.)"""
        self.driver.execute_cdp_cmd("Page.navigate", {"url": url})

    def click(self, element_id):
        """A press and release at the element's middle, as a user's: the
        driver's element click adds checks that cost 0.1 s a click."""
        x, y = self.js(middle_of(element_id))
        actions = ActionBuilder(self.driver, mouse=self.pointer, duration=0)
        actions.pointer_action.move_to_location(round(x), round(y)).pointer_down().pointer_up()
        actions.perform()

    def quit(self):
        if self.owner:  # its tab closed, and the driver back on the owner's
            if not self.closed():
                self.driver.close()
            self.owner.on_own_window()
            return
        try:
            super().quit()
        finally:
            if self.own_profile:
                shutil.rmtree(self.own_profile, ignore_errors=True)


class WebKit(SeleniumBrowser):
    engine = "webkit"
    MINIBROWSER = "/usr/lib/x86_64-linux-gnu/webkit2gtk-4.1/MiniBrowser"

    def __init__(self, phone=False, webassembly=True, forced_colors=False, while_loading=False, dark=False):
        if not webassembly or forced_colors:
            raise NotImplementedError("WebKitGTK's MiniBrowser has no switch for that")
        self.display = VirtualDisplay()
        os.environ["DISPLAY"] = self.display.name
        # Storage of its own, gone with it: MiniBrowser keeps service workers
        # and caches under the user's home, shared by every run at once (two
        # make tests side by side) and left to the next.
        self.own_home = tempfile.mkdtemp(prefix="bemvara-webkit-")
        for name in ("XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_CONFIG_HOME"):
            os.environ[name] = os.path.join(self.own_home, name.lower())
            os.mkdir(os.environ[name])
        # A dark system, as GTK has it: MiniBrowser follows GTK's theme.
        if dark:
            os.environ["GTK_THEME"] = "Adwaita:dark"
        else:
            os.environ.pop("GTK_THEME", None)
        options = WebKitOptions()
        options.binary_location = self.MINIBROWSER
        if while_loading:
            options.page_load_strategy = "none"
        options.add_argument("--automation")
        try:
            super().__init__(webdriver.WebKitGTK(executable_path="/usr/bin/WebKitWebDriver", options=options))
            if phone:
                self.driver.set_window_size(PHONE["width"], PHONE["height"])
            else:
                self.driver.set_window_size(1024, 700)
        except Exception:
            self.display.stop()
            shutil.rmtree(self.own_home, ignore_errors=True)
            raise

    def quit(self):
        try:
            super().quit()
        finally:
            self.display.stop()
            shutil.rmtree(self.own_home, ignore_errors=True)


class Firefox:
    """firefox-esr through WebDriver BiDi on a socket of its own."""
    engine = "firefox"
    # A quiet profile: no first-run pages, no updates, no reports, no
    # connections of its own.
    PREFERENCES = {
        "browser.shell.checkDefaultBrowser": False,
        "browser.startup.homepage_override.mstone": "ignore",
        "datareporting.policy.dataSubmissionEnabled": False,
        "toolkit.telemetry.reportingpolicy.firstRun": False,
        "app.update.disabledForTesting": True,
        "network.captive-portal-service.enabled": False,
        "network.connectivity-service.enabled": False,
        "browser.safebrowsing.update.enabled": False,
        "extensions.update.enabled": False,
        # Off, as each costs every start processor time (together 1.5 CPU-s).
        "extensions.enabledScopes": 0,
        "browser.startup.page": 0,
        "browser.newtabpage.enabled": False,
        "browser.aboutwelcome.enabled": False,
        "browser.safebrowsing.malware.enabled": False,
        "browser.safebrowsing.phishing.enabled": False,
        "browser.translations.enable": False,
    }

    # Its navigation can return at once (start_opening) whatever this says.
    def __init__(self, phone=False, webassembly=True, forced_colors=False, while_loading=False, downloads=None,
                 width=None, dark=False, window_of=None):
        import websocket  # Debian's python3-websocket

        if window_of:  # a window of that browser's own: a start of Firefox costs seconds of processor
            self.owner, self.process, self.profile = window_of, None, None
            self.socket, self.ids = window_of.socket, window_of.ids
            self.reopen()
            self.set_viewport(phone, width)
            if not webassembly:  # as in Chromium's tab: gone before the page's scripts run, in this window alone
                self.send("script.addPreloadScript", {"functionDeclaration": "() => { delete globalThis.WebAssembly; }",
                                                      "contexts": [self.context]})
            return
        self.owner = None
        self.profile = tempfile.mkdtemp(prefix="bemvara-firefox-")
        preferences = dict(self.PREFERENCES)
        if not webassembly:
            preferences["javascript.options.wasm"] = False
        if forced_colors:
            preferences["browser.display.document_color_use"] = 2  # always the system's colours
        if dark:  # a dark system, as the page is told it
            preferences["ui.systemUsesDarkTheme"] = 1
        if downloads:  # saved there as they come, unasked
            preferences.update({"browser.download.folderList": 2, "browser.download.dir": downloads,
                                "browser.download.useDownloadDir": True,
                                "browser.download.always_ask_before_handling_new_types": False})
        with open(os.path.join(self.profile, "user.js"), "w") as prefs:
            for name, value in preferences.items():
                prefs.write(f"user_pref({json.dumps(name)}, {json.dumps(value)});\n")
        port = free_port()
        self.process = subprocess.Popen(
            ["/usr/bin/firefox-esr", "--headless", "--no-remote", "--profile", self.profile,
             "--remote-debugging-port", str(port), "about:blank"],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.ids = itertools.count(1)
        try:
            wait_for_port(port, "Firefox", seconds=60)
            # Firefox refuses a handshake that names an origin.
            self.socket = websocket.create_connection(f"ws://127.0.0.1:{port}/session", timeout=60,
                                                      suppress_origin=True)
            self.send("session.new", {"capabilities": {}})
            # The window Firefox starts with never has the focus, so focus
            # events do not fire in it and keys do not press buttons; a
            # window the session opens itself has the focus, as a user's would.
            # The first stays open, so that Firefox goes on when the page
            # closes the window it is in.
            self.reopen()
            self.set_viewport(phone, width)
        except Exception:
            self.quit()
            raise

    def set_viewport(self, phone, width):
        width, height = (width or PHONE["width"], PHONE["height"]) if phone else (1024, 700)
        self.send("browsingContext.setViewport", {
            "context": self.context, "viewport": {"width": width, "height": height},
            "devicePixelRatio": PHONE["pixel_ratio"] if phone else 1})

    def reopen(self):
        self.context = self.send("browsingContext.create", {"type": "window"})["context"]

    def closed(self):
        return all(c["context"] != self.context for c in self.send("browsingContext.getTree", {})["contexts"])

    def send(self, method, params):
        command_id = next(self.ids)
        self.socket.send(json.dumps({"id": command_id, "method": method, "params": params}))
        while True:
            message = json.loads(self.socket.recv())
            if message.get("id") == command_id:
                if message.get("type") == "error":
                    raise RuntimeError(f"{method}: {message.get('error')}: {message.get('message')}")
                return message["result"]

    def open(self, url):
        self.send("browsingContext.navigate", {"context": self.context, "url": url, "wait": "complete"})

    def start_opening(self, url):
        """Starts going to `url` and returns at once, while it still loads."""
        self.send("browsingContext.navigate", {"context": self.context, "url": url, "wait": "none"})

    def js(self, expression):
        result = self.send("script.evaluate", {
            "expression": as_json(expression), "target": {"context": self.context}, "awaitPromise": True})
        if result["type"] == "exception":
            return {"error": result["exceptionDetails"].get("text")}
        return json.loads(result["result"]["value"])

    def click(self, element_id):
        x, y = self.js(middle_of(element_id))
        self.send("input.performActions", {"context": self.context, "actions": [{
            "type": "pointer", "id": "mouse", "parameters": {"pointerType": "mouse"}, "actions": [
                {"type": "pointerMove", "x": round(x), "y": round(y)},
                {"type": "pointerDown", "button": 0}, {"type": "pointerUp", "button": 0}]}]})

    def screenshot(self):
        """The viewport as PNG, in device pixels."""
        return base64.b64decode(self.send("browsingContext.captureScreenshot", {"context": self.context})["data"])

    def double_click(self, x, y):
        press = [{"type": "pointerDown", "button": 0}, {"type": "pointerUp", "button": 0}]
        self.send("input.performActions", {"context": self.context, "actions": [{
            "type": "pointer", "id": "mouse", "parameters": {"pointerType": "mouse"},
            "actions": [{"type": "pointerMove", "x": round(x), "y": round(y)}] + press + press}]})

    def press(self, *keys, modifier=None):
        actions = []
        if modifier:
            actions.append({"type": "keyDown", "value": modifier})
        for key in keys:
            actions += [{"type": "keyDown", "value": key}, {"type": "keyUp", "value": key}]
        if modifier:
            actions.append({"type": "keyUp", "value": modifier})
        try:
            self.send("input.performActions", {"context": self.context, "actions": [
                {"type": "key", "id": "keyboard", "actions": actions}]})
        except RuntimeError:
            if not self.closed():  # else the keys closed the window: 退出
                raise

    def quit(self):
        if self.owner:  # its window closed, and the focus given back to the owner's
            if not self.closed():
                self.send("browsingContext.close", {"context": self.context})
            self.send("browsingContext.activate", {"context": self.owner.context})
            return
        try:
            if getattr(self, "socket", None):
                self.send("session.end", {})
                self.socket.close()
        except Exception:
            pass
        finally:
            self.process.terminate()
            try:
                self.process.wait(timeout=20)
            except subprocess.TimeoutExpired:
                self.process.kill()
            shutil.rmtree(self.profile, ignore_errors=True)


def launch(engine, **options):
    """A new browser of `engine`, with a fresh profile: phone=True for a
    phone's viewport (sideways=True: held sideways, a touch screen as wide
    as a small desktop; Chromium only), webassembly=False, forced_colors=True,
    dark=True (a dark system), script=False (the page's scripts off, Chromium
    only); while_loading=True, scripts run on a page still arriving;
    downloads=FOLDER, what a link sends to be saved is saved there (Chromium
    and Firefox); width=CSS_PIXELS, a phone's other than the usual 360;
    profile=FOLDER, Chromium's, kept after it quits (a visitor's browser
    closed and opened again); window_of=BROWSER, a new window of that
    browser, sharing its profile, rather than a browser of its own: in
    Firefox for phone, width, while_loading and webassembly; in Chromium (a tab) for all
    but downloads and profile, and while_loading only in a browser started
    with it."""
    return {"chromium": Chromium, "firefox": Firefox, "webkit": WebKit}[engine](**options)
