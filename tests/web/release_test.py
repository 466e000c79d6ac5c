#!/usr/bin/python3
"""A release folder served as the README's nginx example serves it: the
page's download links answer with the very bytes of the files and their
listed SHA-256, a click on one reaches the host even once the service
worker controls the page, the worker's cache holds none of them, and
Chromium and Firefox save them under the names the README tells users to
check them by.

    release_test.py RELEASE_FOLDER [OLDER_RELEASE_FOLDER]

With an older release, a visitor whose browser stored the older page comes
back after the newer one has been published over it.
"""
import hashlib
import re
import shutil
import subprocess
import sys
import tempfile
import time
import unittest
from pathlib import Path

import browsers
from page_test import CONTRAST

RELEASE = Path("build/release")
OLDER = None
README = Path(__file__).resolve().parents[2] / "README.md"


def readme_download_headers():
    """The content type and headers of the README's nginx block for the
    downloads (its types block left out: it names none)."""
    block = README.read_text(encoding="utf-8").split("    location /downloads/ {\n", 1)[1].split("\n    }\n", 1)[0]
    headers = re.findall(r'^\s*add_header (\S+) "(.*)";', block, re.MULTILINE)
    return re.search(r"^\s*default_type (\S+);", block, re.MULTILINE)[1], headers


def published_sums(release):
    """{link: SHA-256} of the release's downloads, from its SHA256SUMS."""
    sums = next(release.glob("downloads/*/SHA256SUMS"))
    folder = sums.parent.relative_to(release).as_posix()
    listed = dict(reversed(line.split("  ")) for line in sums.read_text().splitlines())
    return {f"{folder}/{name}": sum for name, sum in listed.items()}


LISTED = ("[...document.querySelectorAll('.downloads li a')].map((a) => "
          "[a.getAttribute('href'), a.nextElementSibling.nextElementSibling.textContent])")


# The address of the newest worker stored whole ('' while one is stored).
STORED = ("navigator.serviceWorker.getRegistration().then((r) => !r || r.installing ? '' : "
          "(r.waiting || r.active).scriptURL)")


def fetched_sha256(href):
    return (f"fetch({href!r}).then((r) => r.ok ? r.arrayBuffer() : Promise.reject(r.status))"
            ".then((b) => crypto.subtle.digest('SHA-256', b)).then((d) => "
            "[...new Uint8Array(d)].map((x) => x.toString(16).padStart(2, '0')).join(''), (status) => status)")


class Release(unittest.TestCase):
    def serve(self, site):
        server = browsers.Server(site)
        server.download_headers = readme_download_headers()
        server.start()
        self.addCleanup(server.stop)
        return server

    def launch(self, engine="chromium", **options):
        browser = browsers.launch(engine, **options)
        self.addCleanup(browser.quit)
        return browser

    def wait_for(self, condition, what, seconds=20):
        deadline = time.monotonic() + seconds
        while not condition():
            self.assertLess(time.monotonic(), deadline, what)
            time.sleep(0.05)

    def visit(self, browser, server):
        browser.js("document.body ? delete document.body.dataset.ready : true")
        browser.open(server.url)
        self.wait_for(lambda: browser.js("document.body.dataset.ready === 'true'"), "the page is ready")

    def visit_until_stored(self, browser, server):
        """Two visits: the first installs the worker, the second is its."""
        self.visit(browser, server)
        browser.js("navigator.serviceWorker.ready.then(() => true)")
        self.visit(browser, server)
        self.wait_for(lambda: browser.js("navigator.serviceWorker.controller !== null"), "the worker")

    def test_downloads_are_the_published_files_and_not_the_apps(self):
        sums = published_sums(RELEASE)
        server = self.serve(RELEASE)
        browser = self.launch()
        self.visit_until_stored(browser, server)

        links = browser.js(LISTED)
        self.assertEqual(sorted(sums), sorted(href for href, _ in links))
        for href, listed in links:
            with self.subTest(href):
                self.assertEqual(f"SHA-256 {sums[href]}", listed)
                got = browser.js(fetched_sha256(href))
                self.assertEqual(hashlib.sha256((RELEASE / href).read_bytes()).hexdigest(), got)
                self.assertEqual(sums[href], got)
                # A click is a navigation: the host answers it, not the worker's page.
                server.log.clear()
                link = browser.js(f"(document.querySelector('a[href=\"{href}\"]').id = 'download-' + {href!r})")
                browser.click(link)
                self.wait_for(lambda: (f"/{href}", 200) in server.log, f"{href} asked of the host")
        # An address the app does not have, visited in the worker's scope, is
        # the host's to answer, as the downloads are: here, its "not found".
        browser.open(server.url + "no-such-page")
        self.assertEqual([False, 404], [browser.js("document.getElementById('Form1') !== null"), server.log[-1][1]])
        browser.open(server.url)
        cached = browser.js("caches.keys().then((names) => Promise.all(names.map((name) => caches.open(name)"
                            ".then((cache) => cache.keys())))).then((lists) => lists.flat().map((r) => r.url))")
        self.assertTrue(cached)
        self.assertFalse([url for url in cached if "/downloads/" in url])

    def test_the_downloads_read_well_on_a_dark_system(self):
        server = self.serve(RELEASE)
        browser = self.launch(dark=True)
        self.visit(browser, server)
        poor = browser.js(f"""(() => {{ const [ratio, background] = {CONTRAST};
            return [...document.querySelectorAll('.downloads, .downloads *')]
                .map((e) => [e.tagName, ratio(getComputedStyle(e).color, background(e))])
                .filter(([, contrast]) => contrast < 4.5); }})()""")
        self.assertEqual([], poor)

    def test_files_are_saved_under_the_names_the_readme_checks(self):
        # What the README tells a Debian user to run, in the folder the
        # browser saved the three files to.
        deb = next(name for name in published_sums(RELEASE) if name.endswith(".deb")).rsplit("/", 1)[1]
        self.assertIn(f"sudo apt install ./{deb}", README.read_text(encoding="utf-8"))
        for engine in ("chromium", "firefox"):
            with self.subTest(engine):
                saved = Path(tempfile.mkdtemp(prefix="bemvara-saved-"))
                self.addCleanup(shutil.rmtree, saved, True)
                server = self.serve(RELEASE)
                browser = self.launch(engine, downloads=str(saved))
                self.visit(browser, server)
                for number, href in enumerate(browser.js("[...document.querySelectorAll('.downloads a')]"
                                                         ".map((a) => a.getAttribute('href'))")):
                    browser.click(browser.js(f"(document.querySelectorAll('.downloads a')[{number}].id = 'link{number}')"))
                wanted = sorted(["Bemvara.exe", "SHA256SUMS", deb])
                names = lambda: sorted(p.name for p in saved.iterdir())
                deadline = time.monotonic() + 30
                while names() != wanted and time.monotonic() < deadline:
                    time.sleep(0.05)
                self.assertEqual(wanted, names())
                check = subprocess.run(["sha256sum", "-c", "--ignore-missing", "SHA256SUMS"], cwd=saved,
                                       capture_output=True, text=True)
                self.assertEqual((0, f"Bemvara.exe: OK\n{deb}: OK\n"), (check.returncode, check.stdout))

    def test_a_visitor_with_the_older_release_stored_sees_only_true_sums(self):
        if not OLDER:
            self.skipTest("no older release given")
        host = Path(tempfile.mkdtemp(prefix="bemvara-host-"))
        self.addCleanup(shutil.rmtree, host, True)
        shutil.copytree(OLDER, host, dirs_exist_ok=True)
        server = self.serve(host)
        profile = tempfile.mkdtemp(prefix="bemvara-visitor-")
        self.addCleanup(shutil.rmtree, profile, True)
        old, new = published_sums(OLDER), published_sums(RELEASE)
        self.assertNotEqual(old, new, "the two releases are the same")
        new_version = re.search(r"'bemvara-([0-9a-f]+)'", (RELEASE / "service-worker.js").read_text())[1]

        # A day a visit, the browser closed in between: Chromium may leave a
        # new version waiting behind the old one until every tab has closed
        # (a request reaching the old worker as it would hand over), and
        # then holds a navigation made in that tab for minutes.
        def day(visit):
            browser = browsers.launch("chromium", profile=profile)
            try:
                self.visit(browser, server)
                links = browser.js(LISTED)
                page = {href: listed.removeprefix("SHA-256 ") for href, listed in links}
                for href, listed in page.items():
                    self.assertEqual(listed, browser.js(fetched_sha256(href)), href)
                visit(browser)
                return page
            finally:
                browser.quit()

        self.assertEqual(old, day(lambda browser: self.visit_until_stored(browser, server)))
        # Published over the old one, as the README says, older folders kept.
        shutil.copytree(RELEASE, host, dirs_exist_ok=True)
        # The old page, from the old version's store, as the page stores the
        # new one behind it.
        self.assertEqual(old, day(lambda browser: self.wait_for(lambda: browser.js(STORED).endswith(
            f"version={new_version}"), "the new version stored", seconds=60)))
        self.assertEqual(new, day(lambda browser: None))


if __name__ == "__main__":
    if len(sys.argv) > 1:
        RELEASE = Path(sys.argv.pop(1))
    if len(sys.argv) > 1 and Path(sys.argv[1]).is_dir():
        OLDER = Path(sys.argv.pop(1))
    unittest.main(verbosity=2)
