#!/usr/bin/python3
"""The page in one browser engine, served as `make serve` serves it: what a
user sees and does, from the keyboard, the mouse, a phone and offline. The
same scenarios run in Chromium, Firefox and WebKit; the logic behind them
is proven by the shared tables, which these type into the page as well.

    page_test.py SITE_FOLDER ENGINE PARTS SCENARIOS
        ENGINE: chromium, firefox or webkit; PARTS: what the site was made
        from; SCENARIOS: the behaviour table as print_scenarios gives it
"""
import csv
import io
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import threading
import time
import unittest
from pathlib import Path

import PIL.Image
from selenium.webdriver.common.keys import Keys

import browsers

HERE = os.path.dirname(os.path.abspath(__file__))
TABLES = os.path.join(HERE, "..", "tables")
MAKE_SITE = os.path.join(HERE, "..", "..", "ui", "web", "page", "make_site.py")
SITE = "build/web"
ENGINE = "chromium"
PARTS = "build/wasm/ui/web"  # what the site is made from: module/, icons/
SCENARIOS = "build/wasm/tests/web/behaviour.json"  # the behaviour table, read
# The shared scenarios' keys, as WebDriver names them: its "Enter" is the
# keypad's, its "Return" the main one.
KEYS = {"Tab": (Keys.TAB, None), "Shift+Tab": (Keys.TAB, Keys.SHIFT), "Enter": (Keys.RETURN, None),
        "KeypadEnter": (Keys.ENTER, None), "F10": (Keys.F10, None), "Right": (Keys.ARROW_RIGHT, None),
        "Down": (Keys.ARROW_DOWN, None), "Space": (Keys.SPACE, None), "Escape": (Keys.ESCAPE, None),
        "Alt": (Keys.ALT, None)}

# The clipboard as the browser gives a paste: Ctrl+V in a box of the test's
# own, whose paste event hands over both forms; the focus goes back after.
PASTE_TARGET = """(() => { const target = document.getElementById('paste-target') || document.body.appendChild(
        Object.assign(document.createElement('div'), { id: 'paste-target', contentEditable: 'true', onpaste(event) {
            [this.dataset.plain, this.dataset.html] = ['text/plain', 'text/html'].map((t) => event.clipboardData.getData(t));
            event.preventDefault(); } }));
    target.style.cssText = 'position: fixed; left: 0; bottom: 0; width: 1px; height: 1px; opacity: 0';
    window.focusBeforePaste = document.activeElement;
    delete target.dataset.plain;
    return target.focus(), true; })()"""


def rich_text_lines(markup):
    """What a rich-text paste shows of HTML, a line a paragraph or table
    row: cells between " | ", a raised digit after "^", as the Qt and Wine
    drivers read it."""
    for pattern, replacement in (("<sup>", "^"), (r"</t[dh]>\s*<t[dh][^>]*>", " | "), ("</(p|tr|h1|div)>", "\n"),
                                 ("<[^>]*>", ""), ("&amp;", "&"), (r"[ \t\r]*\n\s*", "\n")):
        markup = re.sub(pattern, replacement, markup, flags=re.IGNORECASE)
    return markup.strip("\n")

# The scenarios an engine cannot run, each with the reason. Every other
# scenario runs in every engine; one listed here is reported as skipped
# with its reason, never dropped in silence.
CANNOT = {
    ("webkit", "test_phone_gets_one_column_of_fingertip_sized_controls"):
        "WebKitGTK has no device emulation, and MiniBrowser's window keeps a viewport at least 447 CSS px wide",
    ("webkit", "test_without_webassembly_the_page_says_so"):
        "MiniBrowser has no switch that turns WebAssembly off, and WebDriver none to run a script before the page's",
    ("webkit", "test_forced_colours_keep_the_line_and_focus_marks_stand_out"):
        "WebKitGTK has no forced-colours mode to turn on",
    ("firefox", "test_without_javascript_the_window_is_inert_and_says_so"):
        "Firefox's WebDriver BiDi cannot turn the page's scripts off",
    ("webkit", "test_without_javascript_the_window_is_inert_and_says_so"):
        "MiniBrowser has no switch that turns scripts off",
    ("webkit", "test_keys_typed_before_the_page_script_runs_replace_the_first_value"):
        "WebKitGTK gives the markup's first box the focus only once the whole page has arrived, so keys "
        "typed before go nowhere (no box changes)",
    ("webkit", "test_a_host_that_forbids_webassembly_is_named_as_the_cause"):
        "WebKitGTK 2.50 runs WebAssembly under a policy without 'wasm-unsafe-eval': the page simply works",
    ("webkit", "test_the_longest_results_show_whole_on_the_smallest_phone"):
        "WebKitGTK's MiniBrowser keeps a viewport at least 447 CSS px wide",
    ("firefox", "test_a_touch_screen_held_sideways_gets_the_column"):
        "Firefox's WebDriver BiDi sets a viewport but cannot make its pointer coarse",
    ("webkit", "test_a_touch_screen_held_sideways_gets_the_column"):
        "WebKitGTK has no device emulation: its pointer is the mouse",
    ("firefox", "test_a_mouse_gets_the_column_below_480_px_and_the_window_from_480"):
        "Firefox's WebDriver BiDi sets no viewport for a desktop",
    ("webkit", "test_a_mouse_gets_the_column_below_480_px_and_the_window_from_480"):
        "WebKitGTK has no device emulation",
}


def calculation_table():
    with open(os.path.join(TABLES, "calculations.tsv"), encoding="utf-8", newline="") as table:
        rows = (line for line in table if not line.startswith("#"))
        return list(csv.reader(rows, delimiter="\t", quoting=csv.QUOTE_NONE))


def behaviour_scenarios():
    """The shared scenarios, as the one reader of the table made them."""
    return json.loads(Path(SCENARIOS).read_text(encoding="utf-8"))


def by_id(name):
    return f"document.getElementById({json.dumps(name)})"


# The page's own measures: a point in twips within the client area, in the
# viewport's pixels, at the scale the window is drawn (1440 twips an inch,
# 96 CSS pixels an inch).
CLIENT_SCALE = """(() => { const r = document.querySelector('#Form1 .client').getBoundingClientRect();
    const s = parseFloat(getComputedStyle(document.documentElement).getPropertyValue('--scale')) || 1;
    return [r, s * 96 / 1440]; })()"""


# In the page: [ratio(colour, colour), background(element)], the WCAG
# contrast of two colours and what shows behind an element.
CONTRAST = """(() => {
    const probe = document.createElement('div');
    probe.style.forcedColorAdjust = 'none';  // or forced colours repaint it too
    document.body.append(probe);
    const rgb = (colour) => { probe.style.color = colour;
        return getComputedStyle(probe).color.match(/[\\d.]+/g).slice(0, 3).map(Number); };
    const luminance = (colour) => rgb(colour).map((c) => c / 255)
        .map((c) => (c <= 0.03928 ? c / 12.92 : ((c + 0.055) / 1.055) ** 2.4))
        .reduce((sum, c, i) => sum + c * [0.2126, 0.7152, 0.0722][i], 0);
    const ratio = (a, b) => { const [x, y] = [luminance(a), luminance(b)].sort((p, q) => q - p);
        return (x + 0.05) / (y + 0.05); };
    // What shows behind an element: the first background that is not transparent.
    const background = (element) => {
        for (; element; element = element.parentElement) {
            const colour = getComputedStyle(element).backgroundColor;
            if (!/^rgba\\(.*, 0\\)$/.test(colour) && colour !== 'transparent') return colour;
        }
        return 'white';
    };
    return [ratio, background];
})()"""


# The page the window stands in: something to focus before it and after
# it, as a host's page or the downloads give, so that the keyboard has
# somewhere to go out of the window.
PAGE_AROUND = """(() => { for (const [where, name] of [['prepend', 'before'], ['append', 'after']]) {
    const button = document.createElement('button');
    button.id = `page-${name}`;
    button.textContent = name;
    button.style.cssText = 'position: fixed; left: 0; top: 0; width: 1px; height: 1px; opacity: 0';
    document.body[where](button);
} })()"""


# Each text shown that reads below 4.5:1 against what is behind it.
POOR_CONTRAST = f"""(() => {{ const [ratio, background] = {CONTRAST};
    return [...document.querySelectorAll('body *')].filter((e) => e.offsetParent !== null && getComputedStyle(e)
        .visibility === 'visible' && [...e.childNodes].some((n) => n.nodeType === 3 && n.data.trim()))
        .map((e) => [e.id || e.className || e.tagName, ratio(getComputedStyle(e).color, background(e))])
        .filter(([, contrast]) => contrast < 4.5); }})()"""


# How many files the page's worker holds in its caches, once it is ready.
STORED_FILES = ("navigator.serviceWorker.ready.then(() => caches.keys())"
                ".then((names) => Promise.all(names.map((name) => caches.open(name).then((c) => c.keys()))))"
                ".then((lists) => lists.flat().length)")


# What a window of the shared browser can be told on its own, per engine.
WINDOW_OPTIONS = {"firefox": {"phone", "width", "while_loading", "webassembly"},
                  "chromium": {"phone", "width", "height", "sideways", "dark", "forced_colors", "webassembly", "script"}}


class PageScenarios(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.server = browsers.Server(SITE)
        cls.server.start()
        cls.browser = browsers.launch(ENGINE)

    @classmethod
    def tearDownClass(cls):
        cls.browser.quit()
        if cls.loading_browser:
            cls.loading_browser.quit()
        cls.server.stop()

    # Chromium's own, for scripts run on pages still arriving: a page-load
    # strategy is its driver's, for all its tabs.
    loading_browser = None

    def setUp(self):
        reason = CANNOT.get((ENGINE, self._testMethodName))
        if reason:
            self.skipTest(f"{ENGINE} cannot: {reason}")

    def launch(self, **options):
        """A browser of this scenario's own, quit when it ends; where the
        engine can tell it apart from the shared browser's other windows, a
        window of that browser, whose profile it shares: the tests of a
        first visit go to a server of their own."""
        if ENGINE == "chromium" and options == {"while_loading": True}:
            if not PageScenarios.loading_browser:
                PageScenarios.loading_browser = browsers.launch(ENGINE, while_loading=True)
            options["window_of"] = PageScenarios.loading_browser
        elif ENGINE in WINDOW_OPTIONS and set(options) <= WINDOW_OPTIONS[ENGINE]:
            options["window_of"] = self.browser
        browser = browsers.launch(ENGINE, **options)
        self.addCleanup(browser.quit)
        return browser

    def serve(self, site, caching=None):
        server = browsers.Server(site, caching)
        server.start()
        self.addCleanup(server.stop)
        return server

    # What the scenarios do, in the page's own terms.

    def open_page(self, browser=None, server=None):
        browser = browser or self.browser
        # The page on screen is marked first: where a driver returns before
        # the new page has replaced it, "ready" must not be read off the old.
        browser.js("document.body ? delete document.body.dataset.ready : true")
        browser.open((server or self.server).url)
        self.wait_for(lambda: browser.js("document.body.dataset.ready === 'true'"), "the page is ready", browser)
        # WebKit gives the markup's first box the focus as it renders, which
        # can come after "ready" on a loaded machine: a click made before
        # would lose its focus. So the page has loaded and drawn two frames.
        self.wait_for(lambda: browser.js("document.readyState === 'complete' && new Promise((drawn) => "
                                         "requestAnimationFrame(() => requestAnimationFrame(() => drawn(true))))"),
                      "the page drawn", browser)

    def wait_until_stored(self):
        """Until the worker has stored the page's files, which a loaded
        machine may finish after the page is ready: how many it holds."""
        self.wait_for(lambda: (self.js(STORED_FILES) or 0) >= 6, "the page's files stored by its worker")
        return self.js(STORED_FILES)

    # A state, awaited: the bound only ends a test that would hang, so it is
    # set for a machine loaded three times over (a service worker storing
    # its files took more than 20 s at a load of 14 on 2 cores).
    def wait_for(self, condition, what, browser=None, seconds=60):
        deadline = time.monotonic() + seconds
        while not condition():
            if time.monotonic() > deadline:
                self.fail(f"{what}: not within {seconds} s in {ENGINE}")
            time.sleep(0.05)

    def js(self, expression, browser=None):
        return (browser or self.browser).js(expression)

    def value(self, name, browser=None):
        return self.js(f"{by_id(name)}.value", browser)

    def focused(self):
        return self.js("document.activeElement.id")

    def set_value(self, name, text):
        self.js(f"{by_id(name)}.value = {json.dumps(text)}")

    def type_into(self, name, text):
        """Focuses the box, selects what it holds and types over it."""
        self.js(f"{by_id(name)}.focus(), {by_id(name)}.select()")
        self.browser.press(*text)

    def message(self):
        """The open message's text, or None."""
        return self.js(f"{by_id('message')}.open ? {by_id('message-text')}.textContent : null")

    def press(self, *keys, modifier=None):
        self.browser.press(*keys, modifier=modifier)

    def double_click_character(self, name, index):
        """A real double-click on the index-th character of a box."""
        x, y = self.js(f"""(() => {{ const box = {by_id(name)}, style = getComputedStyle(box);
            const measure = document.createElement('canvas').getContext('2d');
            measure.font = `${{style.fontWeight}} ${{style.fontSize}} ${{style.fontFamily}}`;
            const before = measure.measureText(box.value.slice(0, {index})).width;
            const after = measure.measureText(box.value.slice(0, {index + 1})).width;
            const r = box.getBoundingClientRect(), scale = r.width / box.offsetWidth;
            const inset = parseFloat(style.borderLeftWidth) + parseFloat(style.paddingLeft) - box.scrollLeft;
            return [r.left + (inset + (before + after) / 2) * scale, r.top + r.height / 2]; }})()""")
        self.browser.double_click(x, y)

    def ended(self):
        return self.browser.closed() or self.js(f"{by_id('Form1')} === null")

    def seen(self, what, target):
        """What the page shows of one check's subject."""
        if what == "ended":
            return "yes" if self.ended() else "no"
        if what in ("clipboard", "clipboard-rich"):
            self.js(PASTE_TARGET)
            self.press("v", modifier=Keys.CONTROL)
            pasted = self.js("(() => { const target = document.getElementById('paste-target');"
                             "window.focusBeforePaste && window.focusBeforePaste.focus();"
                             "return 'plain' in target.dataset ? [target.dataset.plain, target.dataset.html] : null; })()")
            if pasted is None:
                return "(nothing pasted)"
            return pasted[0].replace("\r\n", "\n") if what == "clipboard" else rich_text_lines(pasted[1])
        if what == "focus":
            if self.js("document.activeElement.classList.contains('command')"):
                return self.focused()
            if self.js("!document.getElementById('Form1').contains(document.activeElement) && "
                       "!document.getElementById('message').open"):
                return "(outside)"
            focused = self.focused()
            return "OK" if focused == "message-ok" else focused
        if what == "text":
            return self.value(target)
        if what == "selected":
            return self.js(f"(({by_id(target)}).value.substring({by_id(target)}.selectionStart, "
                           f"{by_id(target)}.selectionEnd))")
        if what == "name":
            return self.js(f"{by_id(target)}.getAttribute('aria-label')")
        if what == "tooltip":
            return self.js(f"{by_id(target)}.getAttribute('title') || ''")
        if what == "whole":
            return self.js(f"""(() => {{ const box = {by_id(target)}, style = getComputedStyle(box);
                const measure = document.createElement('canvas').getContext('2d');
                measure.font = `${{style.fontWeight}} ${{style.fontSize}} ${{style.fontFamily}}`;
                const needed = measure.measureText(box.value).width;
                const room = box.clientWidth - parseFloat(style.paddingLeft) - parseFloat(style.paddingRight);
                return needed <= room && box.scrollLeft === 0 ? 'yes' : `shows ${{room}} of ${{needed}} px from ${{box.scrollLeft}}`;
            }})()""")
        if what == "title":
            return self.js("document.title")
        if what == "level":
            return self.level(*target)
        if what == "announced":  # a polite live region's text
            return self.js(f"{by_id('announcer')}.textContent")
        if what == "client":
            return self.js(f"(([r, s]) => `${{Math.round(r.width / s)}} ${{Math.round(r.height / s)}}`)({CLIENT_SCALE})")
        if what == "place":
            return self.js(f"""(([c, s]) => {{ const r = {by_id(target)}.getBoundingClientRect();
                return [r.left - c.left, r.top - c.top, r.width, r.height].map((v) => Math.round(v / s)).join(' '); }})({CLIENT_SCALE})""")
        if what == "place":
            return self.js(f"""(([c, s]) => {{ const r = {by_id(target)}.getBoundingClientRect();
                return [r.left - c.left, r.top - c.top, r.width, r.height].map((v) => Math.round(v / s)).join(' '); }})({CLIENT_SCALE})""")
        if what == "on-top":
            x, y = target
            return self.js(f"""(([r, s]) => {{ const hit = document.elementFromPoint(r.left + {x} * s, r.top + {y} * s);
                const control = hit && hit.closest('.client > *'); return control ? control.id : '(none)'; }})({CLIENT_SCALE})""")
        message = self.js(f"""{by_id('message')}.open ? [{by_id('message-text')}.textContent,
            {by_id('message-title')}.textContent, [...{by_id('message')}.querySelectorAll('button')].map((b) => b.textContent).join(' '),
            {by_id('message')}.querySelector('img, svg, [role=img]') !== null] : null""")
        if message is None:
            return "(no message)"
        text, title, buttons, icon = message
        return {"message": text, "message-title": title, "button": buttons, "icon": "shown" if icon else "none"}[what]

    def level(self, label, box):
        """Whether the label's ink ends on the row the box's text ends on,
        in a picture of the viewport, where the browser drew the two."""
        shot = PIL.Image.open(io.BytesIO(self.browser.screenshot())).convert("L")
        # Screen pixels a pixel of the window takes: the device's, times the
        # scale the window is drawn at.
        ratio = shot.width / self.js("innerWidth")
        window_pixel = ratio * self.js(f"{by_id(box)}.getBoundingClientRect().height / {by_id(box)}.offsetHeight")
        places = self.js(f"[{by_id(label)}, {by_id(box)}].map((e) => e.getBoundingClientRect().toJSON())")
        (label_left, label_top, label_right, label_bottom), (box_left, box_top, box_right, box_bottom) = (
            [round(place[side] * ratio) for side in ("left", "top", "right", "bottom")] for place in places)
        inset = round(3 * ratio)  # the box's text inside its frame

        def lowest_ink(left, top, right, bottom):
            return max((y for y in range(top, bottom) for x in range(left, right) if shot.getpixel((x, y)) < 140),
                       default=None)

        # A symbol label runs on behind its box: up to where the box begins.
        label_ink = lowest_ink(label_left, label_top, min(label_right, box_left) if label_left < box_left else
                               label_right, label_bottom)
        box_ink = lowest_ink(box_left + inset, box_top + inset, box_right - inset, box_bottom - inset)
        if label_ink is not None and box_ink is not None and abs(label_ink - box_ink) <= round(window_pixel):
            return "level"
        return f"the label's ink ends on row {label_ink}, the box's on row {box_ink}"

    def choose(self, item):
        """A menu item chosen with the mouse: its menu's title, then the
        item; a box's command, which is a button, with a click."""
        menu_title = self.js(f"{by_id(item)}.closest('.menu')?.querySelector('.menu-title').id")
        if menu_title:
            self.browser.click(menu_title)
        self.browser.click(item)

    def run_step(self, step):
        """Does one step of a shared scenario; a check is waited for."""
        op, target = step["op"], step["target"]
        if step["only"] not in ("", "page"):
            return
        if op == "key" and target == "Enter-composing":  # no driver can compose: the event an input method sends
            self.js("document.activeElement.dispatchEvent(new KeyboardEvent('keydown', "
                    "{key: 'Enter', isComposing: true, bubbles: true, cancelable: true}))")
        elif op == "key":
            key, modifier = KEYS[target]
            self.press(key, modifier=modifier)
        elif op == "type":
            self.press(*step["text"])
        elif op == "set":
            self.set_value(target, step["text"])
        elif op == "click":
            self.browser.click(target)
        elif op == "choose":
            self.choose(target)
        elif op == "double-click":
            self.double_click_character(target, step["x"])
        elif op == "expect":
            what, wanted = step["what"], step["text"]
            if what == "on-top":
                target = (step["x"], step["y"])
            elif what == "level":
                target = (target, step["box"])
            deadline = time.monotonic() + 5
            while (seen := self.seen(what, target)) != wanted and time.monotonic() < deadline:
                time.sleep(0.05)
            self.assertEqual(wanted, seen, step)
        else:
            raise ValueError(step)

    # The scenarios.

    def test_behaviour_scenarios(self):
        for scenario in behaviour_scenarios():
            with self.subTest(scenario["name"]):
                if self.browser.closed():  # a scenario's 退出 closed it
                    self.browser.reopen()
                self.open_page()
                self.js(PAGE_AROUND)
                for step in scenario["steps"]:
                    self.run_step(step)

    def test_page_comes_up(self):
        self.open_page()
        self.assertEqual("zh-CN", self.js("document.documentElement.lang"))
        if ENGINE == "chromium":  # the one engine whose driver shows its accessibility tree
            tree = self.browser.driver.execute_cdp_cmd("Accessibility.getFullAXTree", {})["nodes"]
            said = [node["name"]["value"] for node in tree if not node.get("ignored") and "name" in node]
            # A box's name says its symbol and unit: the labels are not read again.
            self.assertEqual([], [text for text in ("I:", "IT:", "b:", "l:", "r:", "m", "3", "4") if text in said])
            self.assertIn("I: 梁或板的抗弯惯性矩，单位 m³", said)
        version = re.search(r"project\(Bemvara VERSION (\S+)", (Path(__file__).parents[2] / "CMakeLists.txt").read_text())[1]
        tree = Path(__file__).parents[2]
        git = lambda *words: subprocess.run(["git", "-C", str(tree), *words], capture_output=True, text=True)
        build = git("rev-parse", "--short=12", "HEAD").stdout.strip() + ("" if git("diff", "--quiet", "HEAD").returncode == 0 else "-dirty")
        self.assertEqual(f"版本 {version}（构建 {build}）", self.js("document.querySelector('.version').textContent"))
        self.assertEqual("decimal", self.js(f"{by_id('Text1')}.inputMode"))
        # The labels' and boxes' Latin letters come from the face the site
        # carries, so "l", "1" and "I" are drawn as on the desktop.
        self.assertEqual(["loaded"], self.js("document.fonts.load('9pt \"Bemvara Latin\"', 'l1I')"
                                             ".then((faces) => faces.map((face) => face.status))"))
        self.assertTrue(self.js(f"getComputedStyle({by_id('Label9')}).fontFamily.startsWith('\"Bemvara Latin\"')"))
        # The Latin of the messages' title and of 帮助 and 作者 is drawn in
        # that face too, one face a text: each letter as wide as its "0"
        # (the face sets every glyph on one width), not another face's.
        widths = self.js("""(() => { const measure = document.createElement('canvas').getContext('2d');
            measure.font = '64px "Bemvara Latin", serif';
            return [...'0BemvaraZelvornQQ!'].map((c) => measure.measureText(c).width); })()""")
        self.assertEqual([widths[0]] * len(widths), widths)

    def test_a_message_keeps_the_focus_and_gives_it_back_at_once(self):
        # The second click of a double-click on 计算 lands on the message,
        # which keeps the focus on its button.
        self.open_page()
        self.set_value("Text1", "")
        self.browser.double_click(*self.js(
            f"(() => {{ const r = {by_id('Command1')}.getBoundingClientRect(); "
            "return [r.left + r.width / 2, r.top + r.height / 2]; })()"))
        self.assertIsNotNone(self.message())
        self.assertEqual("message-ok", self.focused())
        self.press(Keys.RETURN)
        self.assertIsNone(self.message())

        # A box chosen the moment the message has gone keeps the focus.
        self.browser.click("Command1")
        self.assertEqual("Text1", self.js(
            f"({by_id('message-ok')}.click(), {by_id('Text1')}.focus(), "
            "new Promise((done) => setTimeout(() => done(document.activeElement.id), 100)))"))
        self.assertIsNone(self.message())

    def test_calculation_tables_through_the_page(self):
        self.open_page()
        for group, name, *texts, outcome, expected in calculation_table():
            with self.subTest(name):
                # The five boxes filled in one script: a driver's round trip
                # costs more than the row itself.
                self.js(", ".join(f"{by_id(box)}.value = {json.dumps(text)}" for box, text in
                                  zip(("Text1", "Text2", "Text3", "Text4", "Text5"), [*texts, "before"])))
                self.browser.click("Command1")
                if outcome == "result":
                    self.assertEqual(expected, self.value("Text5"))
                else:
                    self.assertEqual(expected, self.message())
                    self.press(Keys.ESCAPE)
                    self.assertIsNone(self.message())
                    self.assertEqual("before", self.value("Text5"))

    def test_a_refused_clipboard_is_said_and_the_record_shown_to_copy(self):
        self.open_page()
        self.js("(document.execCommand = () => false, navigator.clipboard && "
                "(navigator.clipboard.write = () => Promise.reject(new Error('denied'))), true)")
        self.browser.click("RECORD")
        self.wait_for(lambda: self.js("!document.getElementById('copy-by-hand').hidden"), "the record shown")
        self.assertEqual("浏览器未允许写入剪贴板，请选中下面的计算记录自行复制。",
                         self.js("document.querySelector('#copy-by-hand p').textContent"))
        self.assertEqual(["r = 5.8 × 0.025 × 1² / (0.016 × 20) = 0.453125", "copy-by-hand"],
                         self.js("[document.querySelector('#copy-by-hand textarea').value.split('\\n')[5], "
                                 "document.activeElement.parentElement.id]"))

    def test_any_text_is_read_safely(self):
        # Full-width digits, any Unicode, a paste far longer than a box
        # takes from the keyboard. Each text is made in the page, as a lone
        # surrogate cannot travel through a driver.
        self.open_page()
        cases = [("'０．０２５'", " .453125"), ("'0.025😀\\u0000abc'", " .453125"), ("'9'.repeat(400000)", None),
                 ("'\\ud800' + '5'", None)]
        for text, expected in cases:
            with self.subTest(text):
                self.js(f"{by_id('Text1')}.value = {text}")
                self.set_value("Text5", "")
                self.browser.click("Command1")
                if expected:
                    self.assertEqual(expected, self.value("Text5"))
                else:
                    self.assertIsNotNone(self.message())
                    self.press(Keys.ESCAPE)
                    self.assertIsNone(self.message())

    def test_menus_for_screen_readers_and_a_fresh_start_after_exit(self):
        self.open_page()
        roles = self.js("['FILE', 'EXIT', 'ABOUT', 'HELP', 'WRITER']"
                        ".map((n) => document.getElementById(n).getAttribute('role'))")
        self.assertEqual(["menuitem"] * 5, roles)
        self.assertEqual(1, self.js("document.querySelectorAll('[role=menubar]').length"))

        # Where the browser keeps the tab open after 退出, the note says so
        # and a reload starts afresh.
        self.type_into("Text1", "7")
        self.press(Keys.F10, Keys.ENTER, Keys.ENTER)
        self.wait_for(self.ended, "the window is gone")
        if self.browser.closed():
            self.browser.reopen()
        else:
            self.assertIn("Bemvara 已退出，输入的数值均未保存。", self.js(f"{by_id('app')}.textContent"))
        self.open_page()
        self.assertEqual("0.025", self.value("Text1"))

    def test_phone_gets_one_column_of_fingertip_sized_controls(self):
        phone = self.launch(phone=True)
        self.open_page(phone)
        sizes = self.js(
            "Object.fromEntries([...document.querySelectorAll('.text-box, .push-button, .menu-title')]"
            ".map((e) => [e.id, [e.getBoundingClientRect().width, e.getBoundingClientRect().height]]))", phone)
        self.assertEqual(8, len(sizes))
        for name, (width, height) in sizes.items():
            self.assertGreaterEqual(min(width, height), 44, name)
        smallest_text = self.js(
            "Math.min(...[...document.querySelectorAll('#Form1 *')].filter((e) => e.offsetHeight && "
            "[...e.childNodes].some((n) => n.nodeType === 3 && n.data.trim()) || e.value)"
            ".map((e) => parseFloat(getComputedStyle(e).fontSize)))", phone)
        self.assertGreaterEqual(smallest_text, 16)
        width, scroll_width, right = self.js(
            f"[innerWidth, document.documentElement.scrollWidth, {by_id('Form1')}.getBoundingClientRect().right]",
            phone)
        self.assertEqual(browsers.PHONE["width"], width)
        self.assertLessEqual(scroll_width, width)
        self.assertLessEqual(right, width)

        # One column: symbol, box and unit in a row, then 计算, the line, r;
        # each symbol's meaning in words above its row.
        box = self.js("Object.fromEntries([...document.querySelectorAll('#Form1 .client > *')]"
                      ".map((e) => [e.id, e.getBoundingClientRect().toJSON()]))", phone)
        middle = lambda name: box[name]["top"] + box[name]["height"] / 2
        column = ["Text1", "Text2", "Text3", "Text4", "Command1", "Line1", "Text5"]
        self.assertEqual(column, sorted(column, key=middle))
        for symbol, text_box, unit in (("Label1", "Text1", "Label2"), ("Label4", "Text2", "Label5"),
                                       ("Label9", "Text4", "Label10"), ("Label11", "Text5", None)):
            self.assertLess(box[symbol]["right"], box[text_box]["left"], symbol)
            self.assertLess(abs(middle(symbol) - middle(text_box)), 4, symbol)
            self.assertLess(box[f"{symbol}-meaning"]["bottom"], box[text_box]["top"], symbol)
            if unit:
                self.assertLess(box[text_box]["right"], box[unit]["left"], unit)
        self.assertLess(box["Label3"]["top"], box["Label2"]["top"])  # m³ still reads m³

        # The same tab order, and it still calculates.
        focus_order = ["Text1", "Text2", "Text3", "Text4", "Command1", "Text5"]
        order = [self.js("document.activeElement.id", phone)]
        for _ in focus_order[1:]:
            phone.press(Keys.TAB)
            order.append(self.js("document.activeElement.id", phone))
        self.assertEqual(focus_order, order)
        phone.click("Command1")
        self.assertEqual(" .453125", self.value("Text5", phone))

    def test_the_longest_results_show_whole_on_the_smallest_phone(self):
        phone = self.launch(phone=True, width=320)
        self.open_page(phone)
        self.assertEqual(320, self.js("innerWidth", phone))
        whole = f"""(() => {{ const box = {by_id('Text5')}; box.scrollLeft = 0;
            return box.scrollWidth <= box.clientWidth; }})()"""
        for texts, shown in ((["1e-300", "3", "1", "1"], " 1.93333333333333E-300"),
                             (["0.1", "3", "1", "1"], " .193333333333333"),
                             (["1e-7", "3", "1", "1"], " 1.93333333333333E-07")):
            for box, text in zip(("Text1", "Text2", "Text3", "Text4"), texts):
                self.js(f"{by_id(box)}.value = {json.dumps(text)}", phone)
            phone.click("Command1")
            self.wait_for(lambda: self.value("Text5", phone) == shown, shown, phone)
            self.assertTrue(self.js(whole, phone), shown)

    def test_a_touch_screen_held_sideways_gets_the_column(self):
        # 740 x 360, and the smallest phone's 568 x 320: as wide as a small
        # desktop, but a finger cannot hover for a symbol's meaning, nor hit
        # a box of a desktop's size.
        for width, height in ((740, 360), (568, 320)):
            with self.subTest(f"{width} x {height}"):
                sideways = self.launch(phone=True, sideways=True, width=width, height=height)
                self.open_page(sideways)
                self.assertEqual(width, self.js("innerWidth", sideways))
                meanings = self.js("[...document.querySelectorAll('.meaning')].map((e) => e.offsetHeight > 0)", sideways)
                self.assertEqual([True] * 5, meanings)
                sizes = self.js("[...document.querySelectorAll('.text-box, .push-button, .menu-title')]"
                                ".map((e) => Math.min(e.getBoundingClientRect().width, e.getBoundingClientRect().height))",
                                sideways)
                self.assertEqual(8, len(sizes))
                self.assertGreaterEqual(min(sizes), 44)
                # In two halves: the boxes, 计算 and r all show without scrolling.
                bottoms = self.js("['Text1', 'Text2', 'Text3', 'Text4', 'Command1', 'Text5']"
                                  ".map((name) => document.getElementById(name).getBoundingClientRect().bottom)", sideways)
                self.assertLessEqual(max(bottoms), height)
                # Each meaning stands on its box.
                gaps = self.js("[['Label1', 'Text1'], ['Label4', 'Text2'], ['Label7', 'Text3'], ['Label9', 'Text4'], "
                               "['Label11', 'Text5']].map(([label, box]) => document.getElementById(box).getBoundingClientRect()"
                               ".top - document.getElementById(`${label}-meaning`).getBoundingClientRect().bottom)", sideways)
                self.assertLessEqual(max(gaps), 4, gaps)

    def test_a_mouse_gets_the_column_below_480_px_and_the_window_from_480(self):
        # No width falls between the two layouts: each width has one.
        browser = self.launch()
        self.open_page(browser)
        drawn = []
        for width in (479, 480):
            browser.driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride",
                                           {"width": width, "height": 700, "deviceScaleFactor": 1, "mobile": False})
            drawn.append(browser.js("(() => { const client = document.querySelector('.client');"
                                    "return [getComputedStyle(client).display, client.offsetWidth]; })()"))
        # The column fills the width but the page's margins and the window's
        # border; the window is its 279 px (4185 twips).
        self.assertEqual([["grid", 479 - 16 - 2], ["block", 279]], drawn)

    def test_service_worker_and_a_reload_offline(self):
        self.open_page()
        self.wait_until_stored()
        # The first visit is not controlled yet; a reload is, and then the
        # server goes away.
        self.open_page()
        self.assertTrue(self.js("navigator.serviceWorker.controller !== null"))
        self.server.stop()
        try:
            self.open_page()
            self.assertTrue(self.js("navigator.serviceWorker.controller !== null"))
            self.browser.click("Command1")
            self.assertEqual(" .453125", self.value("Text5"))
        finally:
            self.server.start()

    def test_a_failed_install_of_the_version_in_use_keeps_its_stored_files(self):
        # The version in use installed again (registered at another
        # address) and failing, as when the host does not answer for the
        # page: the copy the page opens offline from is still whole.
        server = self.serve(SITE)
        self.open_page(server=server)
        before = self.wait_until_stored()
        server.page_missing = True
        self.assertEqual("redundant", self.js(
            "navigator.serviceWorker.register('service-worker.js?again').then((r) => new Promise((ended) => {"
            " const worker = r.installing; worker.addEventListener('statechange', () => worker.state === 'redundant'"
            " && ended(worker.state)); }))"))
        self.assertEqual(before, self.js(STORED_FILES))

    # A first visit each, to a server of its own: another origin, which the
    # browser has neither a worker nor anything cached for.

    def test_window_shows_before_the_module_and_early_actions_are_answered(self):
        server = self.serve(SITE)
        server.hold_module = threading.Event()
        browser = self.launch(while_loading=True)
        browser.start_opening(server.url)
        self.wait_for(lambda: browser.js("performance.getEntriesByName('started').length > 0"), "the page's script",
                      browser)
        self.assertFalse(self.js("document.body.dataset.ready === 'true'", browser))
        self.assertEqual(["0.025", "计算"], self.js(
            f"[{by_id('Text1')}.value, {by_id('Command1')}.textContent]", browser))
        browser.click("Command1")
        browser.click("ABOUT")
        browser.click("HELP")
        self.assertEqual("", self.value("Text5", browser))
        self.assertFalse(self.js(f"{by_id('message')}.open", browser))
        server.hold_module.set()
        self.wait_for(lambda: self.js("document.body.dataset.ready === 'true'", browser), "the module", browser)
        self.assertEqual(" .453125", self.value("Text5", browser))
        self.assertTrue(self.js(f"{by_id('message')}.open && {by_id('message-text')}.textContent !== ''", browser))

    def window_before_its_page_ends(self, and_then="true"):
        """A first visit whose page's end (its data, so its scripts wait) is
        held back until the test sets self.page_tail: the browser, once the
        window shows and `and_then`."""
        server = self.serve(SITE)
        server.hold_page_tail = self.page_tail = threading.Event()
        self.addCleanup(self.page_tail.set)
        browser = self.launch(while_loading=True)
        browser.start_opening(server.url)
        self.wait_for(lambda: browser.js("document.getElementById('announcer') !== null && "
                                         f"document.getElementById('description') === null && {and_then}"),
                      "the window", browser)
        return browser

    def test_what_is_done_before_the_page_script_runs_is_kept_and_answered(self):
        # The window shows while the end of the page is still arriving. A
        # user who has gone to b, typed there and clicked 计算 keeps the text
        # and the focus, and the click is answered with what was typed.
        browser = self.window_before_its_page_ends()
        browser.click("Text3")
        browser.press(Keys.END, Keys.BACKSPACE, "2")
        browser.click("Command1")
        self.assertTrue(browser.js("document.getElementById('module') === null"), "the page arrived too soon")
        # The click is kept for the script, and no note says it never came.
        self.assertIn(browser.js("(document.querySelector('.not-started') || {}).isConnected ? "
                                 "getComputedStyle(document.querySelector('.not-started')).visibility : 'not yet come'"),
                      ("hidden", "not yet come"))
        self.page_tail.set()
        self.wait_for(lambda: browser.js("document.body.dataset.ready === 'true'"), "the page's script", browser)
        self.wait_for(lambda: self.value("Text5", browser) != "", "the answer", browser)
        self.assertEqual(["2", " 1.8125"], [self.value("Text3", browser), self.value("Text5", browser)])
        self.assertIn(browser.js("document.activeElement.id"), ("Command1", "Text3"))

    def test_keys_typed_before_the_page_script_runs_replace_the_first_value(self):
        browser = self.window_before_its_page_ends("document.activeElement.id === 'Text1'")
        browser.press("2", Keys.RETURN)
        self.assertTrue(browser.js("document.getElementById('module') === null"), "the page arrived too soon")
        self.page_tail.set()
        self.wait_for(lambda: self.value("Text5", browser) != "", "the answer", browser)
        self.assertEqual(["2", " 36.25"], [self.value("Text1", browser), self.value("Text5", browser)])

    def test_labels_tell_l_1_and_I_apart_and_values_read_whole_before_any_script_runs(self):
        # The face the labels are drawn in as the window first shows: "l"
        # and "1" must not share most of their ink, as they do in the Song
        # faces (77 %). Measured at 64 px: ink in both over ink in either.
        browser = self.window_before_its_page_ends("Array.from(document.fonts).every((face) => face.status === 'loaded')")
        share = browser.js("""(() => {
            const style = getComputedStyle(document.getElementById('Label9'));
            const font = `${style.fontStyle} ${style.fontWeight} 64px ${style.fontFamily}`;
            const ink = (character) => {
                const canvas = document.createElement('canvas');
                canvas.width = 64; canvas.height = 96;
                const context = canvas.getContext('2d');
                context.font = font;
                context.fillText(character, 8, 72);
                return Array.from(context.getImageData(0, 0, 64, 96).data.filter((_, i) => i % 4 === 3), (a) => a > 127);
            };
            const l = ink('l'), one = ink('1');
            return l.filter((on, i) => on && one[i]).length / l.filter((on, i) => on || one[i]).length;
        })()""")
        # Every character a result holds is the carried face's own, each as
        # wide as its "0" (a face standing in for a missing one is not), and
        # the first value, a placeholder still, is drawn as the others are.
        widths, colours = browser.js("""(() => { const context = document.createElement('canvas').getContext('2d');
            context.font = '64px "Bemvara Latin", serif';
            const style = (name, part) => getComputedStyle(document.getElementById(name), part).color;
            return [[...'0123456789.+-E'].map((c) => context.measureText(c).width),
                    [style('Text1', '::placeholder'), style('Text2')]]; })()""")
        self.assertTrue(browser.js("document.getElementById('description') === null"), "the page arrived too soon")
        self.assertLessEqual(share, 0.5)
        self.assertEqual([widths[0]] * len(widths), widths)
        self.assertEqual(colours[1], colours[0])

    def test_a_page_script_that_never_runs_is_reported(self):
        # A host's policy, say, keeps the page's script from running: the
        # window does not pretend to calculate.
        server = self.serve(SITE)
        server.page_script_missing = True
        browser = self.browser
        browser.open(server.url)
        note = "document.querySelector('.not-started')"
        self.wait_for(lambda: self.js(f"getComputedStyle({note}).visibility === 'visible'", browser), "the note", browser)
        self.assertEqual("Bemvara 尚未启动。请检查网络连接，然后重新载入本页。",
                         self.js(f"{note}.textContent", browser))

    def test_a_module_that_fails_to_load_is_reported(self):
        server = self.serve(SITE)
        server.module_missing = True
        browser = self.browser
        browser.open(server.url)
        self.wait_for(lambda: self.js("document.querySelector('[role=alert]') !== null", browser), "a note", browser)
        note = self.js("document.getElementById('app').textContent", browser)
        self.assertIn("请检查网络连接，然后重新载入本页。", note)
        self.assertIn("重新载入", note)
        self.assertIsNone(self.js(f"{by_id('Form1')}", browser))

    def test_a_host_that_forbids_webassembly_is_named_as_the_cause(self):
        server = self.serve(SITE)
        server.page_headers = [("Content-Security-Policy", "script-src 'self'")]
        self.browser.open(server.url)
        self.wait_for(lambda: self.js("document.querySelector('[role=alert]') !== null"), "a note")
        note = self.js("document.getElementById('app').textContent")
        self.assertIn("本网站的内容安全策略（Content-Security-Policy）不允许运行 WebAssembly。", note)
        self.assertNotIn("网络", note)

    def test_without_webassembly_the_page_says_so(self):
        browser = self.launch(webassembly=False)
        browser.open(self.server.url)
        self.wait_for(lambda: browser.js("document.querySelector('[role=alert]') !== null"), "a note", browser)
        self.assertIn("此浏览器不支持 WebAssembly。", browser.js("document.getElementById('app').textContent"))

    def test_forced_colours_keep_the_line_and_focus_marks_stand_out(self):

        # Each focus mark, reached from the keyboard, against what it is
        # drawn on: the control's own background and the one around it.
        mark = f"""(() => {{ const [ratio, background] = {CONTRAST};
            const element = document.activeElement, style = getComputedStyle(element);
            return [element.id, style.outlineStyle, ratio(style.outlineColor, background(element)),
                    ratio(style.outlineColor, background(element.parentElement))]; }})()"""
        self.open_page()
        marks = [self.js(mark)]
        self.js(f"{by_id('Text4')}.focus()")
        self.press(Keys.TAB)
        marks.append(self.js(mark))
        self.press(Keys.F10)
        marks.append(self.js(mark))
        self.press(Keys.ARROW_DOWN)
        marks.append(self.js(mark))
        self.press(Keys.ESCAPE, Keys.ESCAPE)
        self.assertEqual(["Text1", "Command1", "FILE", "EXIT"], [name for name, *_ in marks])
        for name, style, inside, around in marks:
            self.assertEqual("solid", style, name)
            self.assertGreaterEqual(min(inside, around), 3, name)

        browser = self.launch(forced_colors=True)
        self.open_page(browser)
        line = browser.js(f"""(() => {{ const [ratio, background] = {CONTRAST};
            const line = document.getElementById('Line1'), style = getComputedStyle(line);
            return [matchMedia('(forced-colors: active)').matches, style.borderTopStyle,
                    parseFloat(style.borderTopWidth), ratio(style.borderTopColor, background(line))]; }})()""")
        self.assertEqual([True, "solid"], line[:2])
        self.assertGreaterEqual(line[2], 1)
        self.assertGreaterEqual(line[3], 3)

    def test_without_javascript_the_window_is_inert_and_says_so(self):
        browser = self.launch(script=False)
        browser.open(self.server.url)
        note, window, font_size, opacity, clicks = self.js(
            "[document.querySelector('.no-script').getBoundingClientRect().toJSON(), "
            "document.getElementById('Form1').getBoundingClientRect().toJSON(), "
            "parseFloat(getComputedStyle(document.querySelector('.no-script')).fontSize), "
            "+getComputedStyle(document.getElementById('Form1')).opacity, "
            "getComputedStyle(document.getElementById('Command1')).pointerEvents]", browser)
        self.assertEqual("本计算器需要启用 JavaScript。",
                         self.js("document.querySelector('.no-script').textContent", browser))
        self.assertTrue(note["top"] < window["bottom"] and note["bottom"] > window["top"], "the note stands over the window")
        self.assertGreaterEqual(font_size, 18)
        self.assertLess(opacity, 0.5)
        self.assertEqual("none", clicks)

    def test_a_dark_system_gets_a_dark_window_that_reads_well(self):
        self.open_page()
        self.assertEqual("rgb(221, 227, 234)", self.js("getComputedStyle(document.body).backgroundColor"))  # light: as ever
        self.assertEqual([], self.js(POOR_CONTRAST))
        dark = self.launch(dark=True)
        self.open_page(dark)
        seen = dark.js(f"""(() => {{ const [ratio, background] = {CONTRAST};
            const text = (name) => {{ const e = document.getElementById(name);
                return ratio(getComputedStyle(e).color, background(e)); }};
            const box = document.getElementById('Text1'), outline = getComputedStyle(box).outlineColor;
            return {{page: ratio(background(document.body), 'white'),
                     texts: ['Label1', 'Text2', 'Command1', 'FILE'].map(text),
                     focus: Math.min(ratio(outline, background(box)), ratio(outline, background(box.parentElement)))}};
        }})()""")
        self.assertGreater(seen["page"], 10, "the page is dark")
        for name, contrast in zip(["Label1", "Text2", "Command1", "FILE"], seen["texts"]):
            self.assertGreaterEqual(contrast, 4.5, name)
        self.assertGreaterEqual(seen["focus"], 3)
        # Every text shown, on a dark desktop and a dark phone (the meanings).
        self.assertEqual([], dark.js(POOR_CONTRAST))
        # (Firefox's theme is its profile's: a window of the dark browser.)
        dark_phone = self.launch(dark=True, phone=True, **({"window_of": dark} if ENGINE == "firefox" else {}))
        self.open_page(dark_phone)
        self.assertEqual([], dark_phone.js(POOR_CONTRAST))

    def test_a_new_version_is_in_use_by_the_second_visit(self):
        # The new version's button reads differently, as its renderer drew it.
        first = "计算"
        changed = first + " 2"
        work = Path(tempfile.mkdtemp(prefix="bemvara-versions-"))
        self.addCleanup(shutil.rmtree, work, True)
        module = work / "module"
        shutil.copytree(Path(PARTS) / "module", module)
        markup = (module / "window.markup").read_text(encoding="utf-8")
        (module / "window.markup").write_text(markup.replace(f">{first}</button>", f">{changed}</button>"),
                                              encoding="utf-8")
        new = work / "new"
        subprocess.run([sys.executable, MAKE_SITE, str(module), str(Path(PARTS) / "icons"),
                        os.path.dirname(MAKE_SITE), str(new)], check=True)
        browser = self.browser
        day = 86400
        # (headers, how old the old files are, how old the new ones): the
        # last, a new version dated before the one a visitor has (a rollback,
        # files copied with their dates kept).
        for caching, old_age, new_age in (("none", 10 * day, 0), ("year", 10 * day, 0), (None, 0, day)):
            with self.subTest(caching=caching, new_dated_older=new_age > old_age):
                old, published = work / f"old-{caching}", work / f"new-{caching}"
                shutil.copytree(SITE, old)
                shutil.copytree(new, published)
                for folder, age in ((old, old_age), (published, new_age)):
                    for file in folder.iterdir():
                        os.utime(file, (time.time() - age, time.time() - age))
                server = self.serve(str(old), caching)
                caption = lambda: browser.js(f"{by_id('Command1')}.textContent")
                self.open_page(browser, server)
                self.wait_for(lambda: browser.js("navigator.serviceWorker.controller !== null"), "the worker", browser)
                # The first visit fetched the page once, under one address;
                # the worker's copy was a conditional request answered 304.
                # WebKit's worker does not share the page's HTTP cache, so
                # there the worker fetches everything a second time.
                pages = [status for path, status in server.log if path in ("/", "/index.html")]
                self.assertEqual(2 if ENGINE == "webkit" else 1, pages.count(200), server.log)
                self.assertNotIn("/index.html", [path for path, _ in server.log])
                self.open_page(browser, server)
                self.assertEqual(first, caption())

                server.site = str(published)
                version = (published / "service-worker.js").read_text().split("'bemvara-")[1].split("'")[0]
                self.open_page(browser, server)  # the old page, from the old version's store
                self.wait_for(lambda: browser.js("caches.keys()") == [f"bemvara-{version}"],
                              "the new version stored whole, the old one gone", browser)
                # Offered in a line, never loaded by itself.
                self.wait_for(lambda: browser.js("document.querySelector('.update') !== null"), "the offer", browser)
                self.assertEqual(first, caption())
                self.open_page(browser, server)
                self.assertEqual(changed, caption())
                self.assertEqual(" .453125", (browser.click("Command1"), self.value("Text5", browser))[1])


if __name__ == "__main__":
    if len(sys.argv) > 4:
        SITE, ENGINE, PARTS, SCENARIOS = sys.argv.pop(1), sys.argv.pop(1), sys.argv.pop(1), sys.argv.pop(1)
    if ENGINE not in browsers.ENGINES:
        sys.exit(f"unknown engine {ENGINE}; one of {', '.join(browsers.ENGINES)}")
    unittest.main(verbosity=2)
