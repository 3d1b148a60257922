"""What the browser tests share: test files written as the format has them,
the program's export, and a headless Chromium with the exported page open."""

import contextlib
import functools
import http.server
import os
import subprocess
import sys
import tempfile
import threading
import time

try:
    from selenium import webdriver
    from selenium.webdriver.chrome.options import Options
    from selenium.webdriver.chrome.service import Service
    from selenium.webdriver.common.by import By
except ImportError:
    print("skipped: python3-selenium is not installed")
    sys.exit(77)

CHROMIUM = "/usr/bin/chromium"
DRIVER = "/usr/bin/chromedriver"
if not (os.path.exists(CHROMIUM) and os.path.exists(DRIVER)):
    print("skipped: chromium and chromium-driver are not installed")
    sys.exit(77)

PROGRAM = os.environ["QV_PROGRAM"]
NODE_MODULES = os.environ.get("QV_NODE_MODULES", "")

SEP = "\x05"


def test_lines(questions, captions, points, messages, title="Тест", author="Автор",
               variants=None, buttons=None, caption="Окно"):
    """The lines of a test file: `points` holds a list of point texts per question."""
    n = len(questions)
    b = len(captions) if buttons is None else buttons
    lines = ["Info=(%s%s%s%s%s)" % (n, SEP, b, SEP, 3 if variants else 1),
             "Title=(%s%s%s%s%s)" % (title, SEP, author, SEP, caption),
             "Buttons=(%s)" % SEP.join(captions), "Questions:"]
    lines += questions
    if variants:
        lines.append("Variants: all")
        for q in range(n):
            lines += variants[q]
    else:
        lines.append("Variants: none")
    lines.append("Numbers:")
    lines += ["".join(p + "," for p in row) for row in points]
    lines.append("Message:")
    return lines + messages


def write_test(path, lines):
    with open(path, "wb") as f:
        f.write(b"".join(line.encode("cp1251") + b"\r\n" for line in lines))
    return path


def export(test, *options):
    """Runs the program's export; returns (status, stdout, stderr)."""
    done = subprocess.run([PROGRAM, *options, test], capture_output=True, text=True,
                          env=dict(os.environ, QT_QPA_PLATFORM="offscreen"))
    return done.returncode, done.stdout, done.stderr


def export_page(folder, name, lines, *options):
    test = write_test(os.path.join(folder, name + ".tst"), lines)
    page = os.path.join(folder, name + ".html")
    status, out, err = export(test, "--export-web", "-o", page, *options)
    if status == 2:
        raise AssertionError("export failed: " + out + err)
    return page


_drivers = {}


def browser(width=360, height=740):
    if (width, height) in _drivers:
        return _drivers[width, height]
    options = Options()
    for argument in ("--headless=new", "--no-sandbox", "--disable-gpu",
                     "--disable-dev-shm-usage", "--window-size=%d,%d" % (width, height)):
        options.add_argument(argument)
    downloads = tempfile.mkdtemp(prefix="qv-downloads-")
    options.add_experimental_option("prefs", {"download.default_directory": downloads,
                                              "download.prompt_for_download": False})
    options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
    driver = webdriver.Chrome(service=Service(DRIVER), options=options)
    driver.downloads = downloads
    driver.execute_cdp_cmd("Browser.setDownloadBehavior",
                           {"behavior": "allow", "downloadPath": downloads})
    _drivers[width, height] = driver
    return driver


def phone(driver):
    """The driver showing pages as a phone 360 pixels wide does."""
    driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride", {
        "width": 360, "height": 740, "deviceScaleFactor": 2, "mobile": True})
    return driver


class Page:
    """The exported page open in the browser, driven as a person would."""

    def __init__(self, url, driver=None):
        self.driver = driver or browser()
        if not url.startswith("http"):
            url = "file://" + os.path.abspath(url)
        self.driver.get(url)
        self.wait(lambda: self.driver.execute_script(
            "return document.body.getAttribute('data-ready')") == "1")

    def wait(self, condition, seconds=10):
        end = time.time() + seconds
        while not condition():
            if time.time() > end:
                raise AssertionError("the page did not get there in time")
            time.sleep(0.02)

    def element(self, id):
        return self.driver.find_element(By.ID, id)

    def text(self, id):
        return self.driver.execute_script(
            "return document.getElementById(arguments[0]).textContent", id)

    def shown(self, id):
        return self.element(id).is_displayed()

    def press(self, k):
        self.element("answer%d" % k).click()

    def failure(self):
        return self.text("failure") if self.shown("failure") else None

    def ok(self):
        self.element("failure-ok").click()

    def result(self):
        return self.driver.execute_script(
            "return Array.from(document.querySelectorAll('#result > *'), p => p.textContent)")

    def key(self, key, repeat=False):
        """A key pressed as the keyboard sends it; an auto-repeated one is held down."""
        named = {"Enter": ("Enter", 13, "\r"), " ": ("Space", 32, " "), "Escape": ("Escape", 27, "")}
        code, vk, text = named[key] if key in named else ("Digit" + key, ord(key), key)
        event = {"key": key, "code": code, "windowsVirtualKeyCode": vk}
        down = dict(event, type="keyDown", text=text) if text else dict(event, type="rawKeyDown")
        self.driver.execute_cdp_cmd("Input.dispatchKeyEvent", dict(down, autoRepeat=repeat))
        if not repeat:
            self.driver.execute_cdp_cmd("Input.dispatchKeyEvent", dict(event, type="keyUp"))

    def active(self):
        return self.driver.execute_script("return document.activeElement.id")

    def console_errors(self):
        return [e for e in self.driver.get_log("browser") if e["level"] == "SEVERE"]


@contextlib.contextmanager
def served(folder, headers=()):
    """A web server for `folder` on this machine, for pages that need one
    origin, sending `headers` (name, value pairs) with every file."""
    class Quiet(http.server.SimpleHTTPRequestHandler):
        def log_message(self, *args):
            pass

        def end_headers(self):
            for name, value in headers:
                self.send_header(name, value)
            super().end_headers()

    handler = functools.partial(Quiet, directory=folder)
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
    thread = threading.Thread(target=server.serve_forever, daemon=True)
    thread.start()
    try:
        yield "http://127.0.0.1:%d/" % server.server_address[1]
    finally:
        server.shutdown()
        server.server_close()


def quit_browsers():
    for driver in _drivers.values():
        driver.quit()
    _drivers.clear()
