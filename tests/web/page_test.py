#!/usr/bin/python3
"""The page in headless Chromium, served as `make serve` serves it: what a
user sees and does, from the keyboard, the mouse, a phone and offline. The
logic behind it is proven by the shared tables; these prove the page.

    page_test.py SITE_FOLDER
"""
import socket
import subprocess
import sys
import tempfile
import time
import unittest

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support.ui import WebDriverWait

SITE = sys.argv.pop(1) if __name__ == "__main__" and len(sys.argv) > 1 else "build/web"
# Without the networking flags Chromium keeps trying to reach the outside.
CHROMIUM_FLAGS = ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                  "--disable-background-networking", "--disable-component-update", "--disable-sync"]
FOCUS_ORDER = ["Text1", "Text2", "Text3", "Text4", "Command1", "Text5"]


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


class Server:
    """Python's own http.server on the site folder, as `make serve` runs it."""

    def __init__(self):
        self.port = free_port()
        self.url = f"http://127.0.0.1:{self.port}/"
        self.process = None

    def start(self):
        self.process = subprocess.Popen(
            [sys.executable, "-m", "http.server", str(self.port), "--bind", "127.0.0.1", "--directory", SITE],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        for _ in range(100):
            try:
                socket.create_connection(("127.0.0.1", self.port), timeout=0.2).close()
                return
            except OSError:
                time.sleep(0.05)
        raise RuntimeError("the server did not start")

    def stop(self):
        if self.process:
            self.process.terminate()
            self.process.wait()
            self.process = None


def chromium(phone=False):
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for flag in CHROMIUM_FLAGS:
        options.add_argument(flag)
    options.add_argument(f"--user-data-dir={tempfile.mkdtemp(prefix='bemvara-chromium-')}")
    if phone:
        options.add_experimental_option("mobileEmulation", {
            "deviceMetrics": {"width": 360, "height": 740, "pixelRatio": 3.0, "touch": True}})
    else:
        options.add_argument("--window-size=1024,700")
    return webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)


class PageTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.server = Server()
        cls.server.start()
        cls.browser = chromium()

    @classmethod
    def tearDownClass(cls):
        cls.browser.quit()
        cls.server.stop()

    def open_page(self, browser=None):
        browser = browser or self.browser
        browser.get(self.server.url)
        WebDriverWait(browser, 20).until(
            lambda b: b.execute_script("return document.body.dataset.ready === 'true'"))
        return browser

    def by_id(self, name, browser=None):
        return (browser or self.browser).find_element(By.ID, name)

    def value(self, name, browser=None):
        return self.by_id(name, browser).get_property("value")

    def focused(self, browser=None):
        return (browser or self.browser).execute_script("return document.activeElement.id")

    def keys(self, *keys):
        ActionChains(self.browser).send_keys(*keys).perform()

    def message_shown(self):
        return self.browser.execute_script("return document.getElementById('message').open")

    def test_calculates_and_reports_like_the_desktop(self):
        self.open_page()
        self.assertEqual(["0.025", "0.016", "1", "20", ""], [self.value(f"Text{i}") for i in range(1, 6)])
        self.assertEqual("Text1", self.focused())
        self.by_id("Command1").click()
        self.assertEqual(" .453125", self.value("Text5"))

        # A message in the dialog, Text5 kept, the focus back where it was.
        self.by_id("Text1").clear()
        self.by_id("Command1").click()
        self.assertTrue(self.message_shown())
        self.assertEqual("抗弯惯性矩I不可能小于等于0", self.by_id("message-text").text)
        self.assertEqual("Bemvara", self.by_id("message-title").text)
        self.assertEqual("message-ok", self.focused())
        self.keys(Keys.ENTER)
        self.assertFalse(self.message_shown())
        self.assertEqual("Command1", self.focused())
        self.assertEqual(" .453125", self.value("Text5"))

        # Bad input is read as on the desktop: full-width digits, any
        # Unicode, a paste far longer than a box takes from the keyboard.
        # Each text is made in the page, as a lone surrogate cannot travel
        # through the driver.
        cases = [("'０．０２５'", " .453125"), ("'0.025😀\\u0000abc'", " .453125"), ("'9'.repeat(400000)", None),
                 ("'\\ud800' + '5'", None)]
        for text, expected in cases:
            self.browser.execute_script(f"document.getElementById('Text1').value = {text}")
            self.by_id("Text5").clear()
            self.by_id("Command1").click()
            if expected:
                self.assertEqual(expected, self.value("Text5"))
            else:
                self.assertTrue(self.message_shown())
                self.keys(Keys.ESCAPE)
                self.assertFalse(self.message_shown())
        self.browser.execute_script("document.getElementById('Text1').value = '2'")
        self.by_id("Text2").clear()
        self.by_id("Text2").send_keys("3")
        self.by_id("Text3").clear()
        self.by_id("Text3").send_keys("7")
        self.by_id("Text4").clear()
        self.by_id("Text4").send_keys("11")
        self.by_id("Command1").send_keys(Keys.ENTER)  # Enter on the focused button
        self.assertEqual(" 17.2242424242424", self.value("Text5"))

    def test_keyboard_order_tooltips_and_names(self):
        self.open_page()
        order = [self.focused()]
        for _ in FOCUS_ORDER:
            self.keys(Keys.TAB)
            order.append(self.focused())
        self.assertEqual(FOCUS_ORDER + ["Text1"], order)
        ActionChains(self.browser).key_down(Keys.SHIFT).send_keys(Keys.TAB).key_up(Keys.SHIFT).perform()
        self.assertEqual("Text5", self.focused())

        tooltips = {f"Label{n}": self.by_id(f"Label{n}").get_attribute("title") for n in (1, 4, 7, 9, 11, 2)}
        self.assertEqual({"Label1": "梁或板的抗弯惯性矩", "Label4": "梁或板的抗扭惯性矩", "Label7": "梁或板的宽度",
                          "Label9": "计算跨径", "Label11": "荷载分布系数计算中的弯矩参数", "Label2": ""}, tooltips)
        self.assertEqual("I: 梁或板的抗弯惯性矩", self.by_id("Text1").get_attribute("aria-label"))
        self.assertEqual("r: 荷载分布系数计算中的弯矩参数", self.by_id("Text5").get_attribute("aria-label"))
        self.assertEqual(("zh-CN", "Bemvara"), tuple(self.browser.execute_script(
            "return [document.documentElement.lang, document.title]")))
        # The raised "3" over its "m", the text boxes over their labels.
        z = self.browser.execute_script(
            "return ['Label2', 'Label3', 'Label1', 'Text1'].map(n => +getComputedStyle(document.getElementById(n)).zIndex)")
        self.assertLess(z[0], z[1])
        self.assertLess(z[2], z[3])

    def test_menus_from_the_keyboard_and_exit(self):
        self.open_page()
        self.by_id("Text2").click()
        self.keys(Keys.F10)
        self.assertEqual("FILE", self.focused())
        self.keys(Keys.ARROW_RIGHT)
        self.assertEqual("ABOUT", self.focused())
        self.keys(Keys.ARROW_DOWN)
        self.assertEqual("HELP", self.focused())
        self.assertEqual("true", self.by_id("ABOUT").get_attribute("aria-expanded"))
        self.keys(Keys.ARROW_DOWN, Keys.ARROW_DOWN)
        self.assertEqual("HELP", self.focused())  # round the two items
        self.keys(Keys.ENTER)
        self.assertTrue(self.message_shown())
        self.assertTrue(self.by_id("message-text").text.startswith("本程序完全参照"))
        self.keys(Keys.ESCAPE)
        self.assertFalse(self.message_shown())
        self.assertEqual("Text2", self.focused())

        # Alt alone into the bar, Escape out again.
        ActionChains(self.browser).key_down(Keys.ALT).key_up(Keys.ALT).perform()
        self.assertEqual("FILE", self.focused())
        self.keys(Keys.ESCAPE)
        self.assertEqual("Text2", self.focused())

        # The roles a screen reader needs.
        roles = self.browser.execute_script(
            "return ['FILE', 'EXIT', 'ABOUT', 'HELP', 'WRITER'].map(n => document.getElementById(n).getAttribute('role'))")
        self.assertEqual(["menuitem"] * 5, roles)
        self.assertEqual(1, len(self.browser.find_elements(By.CSS_SELECTOR, "[role=menubar]")))

        # With the mouse: 关于 → 作者.
        self.by_id("ABOUT").click()
        self.by_id("WRITER").click()
        self.assertTrue(self.by_id("message-text").text.startswith("作者"))
        self.by_id("message-ok").click()

        # EXIT: edited values are dropped without a question; a reload starts afresh.
        self.by_id("Text1").clear()
        self.by_id("Text1").send_keys("7")
        self.keys(Keys.F10, Keys.ENTER, Keys.ENTER)
        self.assertEqual([], self.browser.find_elements(By.ID, "Form1"))
        self.assertIn("已退出", self.by_id("app").text)
        self.open_page()
        self.assertEqual("0.025", self.value("Text1"))

    def test_phone_width_shows_the_whole_window(self):
        phone = chromium(phone=True)
        try:
            self.open_page(phone)
            width, scroll_width, right = phone.execute_script(
                "return [innerWidth, document.documentElement.scrollWidth,"
                " document.getElementById('Form1').getBoundingClientRect().right]")
            self.assertEqual(360, width)
            self.assertLessEqual(scroll_width, 360)
            self.assertLessEqual(right, 360)
            self.by_id("Command1", phone).click()
            self.assertEqual(" .453125", self.value("Text5", phone))
        finally:
            phone.quit()

    def test_reload_while_offline(self):
        browser = chromium()
        try:
            self.open_page(browser)
            browser.set_script_timeout(20)
            cached = browser.execute_async_script("""
                const done = arguments[arguments.length - 1];
                navigator.serviceWorker.ready
                  .then(() => caches.keys())
                  .then((names) => Promise.all(names.map((name) => caches.open(name).then((c) => c.keys()))))
                  .then((lists) => done(lists.flat().length));""")
            self.assertGreaterEqual(cached, 6)
            # Nothing from the browser's own HTTP cache either: only the
            # service worker's copies can answer.
            browser.execute_cdp_cmd("Network.enable", {})
            browser.execute_cdp_cmd("Network.setCacheDisabled", {"cacheDisabled": True})
            self.server.stop()
            try:
                self.open_page(browser)
                self.assertTrue(browser.execute_script("return navigator.serviceWorker.controller !== null"))
                self.by_id("Command1", browser).click()
                self.assertEqual(" .453125", self.value("Text5", browser))
            finally:
                self.server.start()
        finally:
            browser.quit()


if __name__ == "__main__":
    unittest.main(verbosity=2)
