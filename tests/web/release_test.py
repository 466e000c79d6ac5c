#!/usr/bin/python3
"""A release folder served as a static host serves it, in Chromium: the
page's download links answer with the very bytes of the files and their
listed SHA-256, a click on one reaches the host even once the service
worker controls the page, and the worker's cache holds none of them.

    release_test.py RELEASE_FOLDER
"""
import hashlib
import sys
import time
import unittest
from pathlib import Path

import browsers

RELEASE = Path("build/release")


class Release(unittest.TestCase):
    def setUp(self):
        self.server = browsers.Server(RELEASE)
        self.server.start()
        self.addCleanup(self.server.stop)
        self.browser = browsers.launch("chromium")
        self.addCleanup(self.browser.quit)

    def wait_for(self, condition, what, seconds=20):
        deadline = time.monotonic() + seconds
        while not condition():
            self.assertLess(time.monotonic(), deadline, what)
            time.sleep(0.05)

    def test_downloads_are_the_published_files_and_not_the_apps(self):
        sums = dict(reversed(line.split("  ")) for line in (RELEASE / "SHA256SUMS").read_text().splitlines())
        self.browser.open(self.server.url)
        self.wait_for(lambda: self.browser.js("document.body.dataset.ready === 'true'"), "the page is ready")
        self.browser.js("navigator.serviceWorker.ready.then(() => true)")  # installed, every file stored
        self.browser.open(self.server.url)  # the second visit is the worker's
        self.wait_for(lambda: self.browser.js("navigator.serviceWorker.controller !== null"), "the worker")

        links = self.browser.js("[...document.querySelectorAll('.downloads li a')].map((a) => "
                                "[a.getAttribute('href'), a.nextElementSibling.nextElementSibling.textContent])")
        self.assertEqual(sorted(sums), sorted(href for href, _ in links))
        for href, listed in links:
            with self.subTest(href):
                self.assertEqual(f"SHA-256 {sums[href]}", listed)
                # What the link answers, fetched by the page itself.
                got = self.browser.js(f"fetch({href!r}).then((r) => r.arrayBuffer())"
                                      ".then((b) => crypto.subtle.digest('SHA-256', b)).then((d) => "
                                      "[...new Uint8Array(d)].map((x) => x.toString(16).padStart(2, '0')).join(''))")
                self.assertEqual(hashlib.sha256((RELEASE / href).read_bytes()).hexdigest(), got)
                self.assertEqual(sums[href], got)
                # A click is a navigation: the host answers it, not the worker's page.
                self.server.log.clear()
                link = self.browser.js(f"(document.querySelector('a[href=\"{href}\"]').id = 'download-' + {href!r})")
                self.browser.click(link)
                self.wait_for(lambda: (f"/{href}", 200) in self.server.log, f"{href} asked of the host")
        # An address the app does not have, visited in the worker's scope, is
        # the host's to answer, as the downloads are: here, its "not found".
        self.browser.open(self.server.url + "no-such-page")
        self.assertEqual([False, 404], [self.browser.js("document.getElementById('Form1') !== null"),
                                        self.server.log[-1][1]])
        self.browser.open(self.server.url)
        cached = self.browser.js("caches.keys().then((names) => Promise.all(names.map((name) => caches.open(name)"
                                 ".then((cache) => cache.keys())))).then((lists) => lists.flat().map((r) => r.url))")
        self.assertTrue(cached)
        for name in sums:
            self.assertFalse([url for url in cached if url.endswith(name)], name)


if __name__ == "__main__":
    if len(sys.argv) > 1:
        RELEASE = Path(sys.argv.pop(1))
    unittest.main(verbosity=2)
