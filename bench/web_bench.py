#!/usr/bin/python3
"""Measures the exported web page in headless Chromium on this machine: the
page's size, the time from navigation to the first question on screen (and
the large test's against the worked example's, in the same run), and the
time an answer takes, on its own and inside a learning platform (the SCORM
runtime the browser tests use), for the worked example and for a test of 500
questions with 6 buttons. A report, not a test: nothing fails.

    python3 bench/web_bench.py [BUILD_FOLDER] [RUNS]
"""

import os
import shutil
import statistics
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
BUILD = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build")
RUNS = int(sys.argv[2]) if len(sys.argv) > 2 else 15
os.environ.setdefault("QV_PROGRAM", os.path.join(BUILD, "src", "app", "quorvane"))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "web"))

import webtest  # noqa: E402  (after the path is set)


def largest_test():
    return webtest.test_lines(
        questions=["Вопрос %d: %s" % (q + 1, "текст условия " * 12) for q in range(500)],
        captions=["Первый", "Второй", "Третий", "Четвёртый", "Пятый", "Шестой"],
        points=[[str((q + b) % 5) for b in range(6)] for q in range(500)],
        messages=["=0-999", "Итог: до тысячи.", "=1000-2500", "Итог: больше тысячи.", "$"],
        variants=[["вариант %d.%d %s" % (q + 1, b + 1, "слово " * 8) for b in range(6)]
                  for q in range(500)])


def worked_example():
    with open(os.path.join(HERE, "..", "tests", "data", "worked_example.tst"), "rb") as f:
        return [line.decode("cp1251") for line in f.read().split(b"\r\n")[:-1]]


def first_question_ms(driver, url):
    driver.get(url)
    page = webtest.Page.__new__(webtest.Page)
    page.driver = driver
    page.wait(lambda: driver.execute_script(
        "return performance.getEntriesByName('quorvane-first-question').length") > 0)
    return driver.execute_script(
        "return performance.getEntriesByName('quorvane-first-question')[0].startTime")


def answer_ms(driver, count):
    """Each answer pressed and laid out; the times in milliseconds."""
    return driver.execute_script("""
        var times = [];
        for (var i = 0; i < arguments[0]; i++) {
            var t = performance.now();
            document.getElementById('answer' + (1 + i % 6)).click();
            document.body.getBoundingClientRect();
            times.push(performance.now() - t);
        }
        return times;""", count)


HOST = """<!DOCTYPE html><html><head><meta charset="utf-8"><script src="scorm12.min.js"></script>
<script>window.API = new Scorm12API({logLevel: 5});</script></head>
<body><iframe id="sco" src="index.html" width="1000" height="700"></iframe></body></html>"""


def platform_answer_ms(driver, page, count):
    """The answers' times with the page inside a platform (each press on
    screen, and each report to the platform after it), or None without one."""
    runtime = os.path.join(webtest.NODE_MODULES or os.path.join(HERE, "..", "tests", "web",
                                                                "node_modules"),
                           "scorm-again", "dist", "scorm12.min.js")
    if not os.path.exists(runtime):
        return None
    site = tempfile.mkdtemp(prefix="qv-web-bench-site-")
    shutil.copy(page, os.path.join(site, "index.html"))
    shutil.copy(runtime, site)
    with open(os.path.join(site, "host.html"), "w") as f:
        f.write(HOST)
    with webtest.served(site) as url:
        driver.get(url + "host.html")
        driver.switch_to.frame("sco")
        waiting = webtest.Page.__new__(webtest.Page)
        waiting.driver = driver
        waiting.wait(lambda: driver.execute_script(
            "return document.body.getAttribute('data-ready')") == "1")
        driver.execute_async_script("setTimeout(arguments[0], 500)")  # a taker reads first
        # Each press on screen, then what the page tells the platform after it.
        times = driver.execute_async_script("""
            var done = arguments[arguments.length - 1], count = arguments[0], times = [];
            function next(i) {
                if (i === count) {
                    var told = performance.getEntriesByName('quorvane-platform');
                    return done([times, told.map(function (m) { return m.duration; })]);
                }
                var t = performance.now();
                document.getElementById('answer' + (1 + i % 6)).click();
                document.body.getBoundingClientRect();
                times.push(performance.now() - t);
                requestAnimationFrame(function () { setTimeout(function () { next(i + 1); }, 0); });
            }
            next(0);""", count)
        driver.switch_to.default_content()
    return times


def main():
    folder = tempfile.mkdtemp(prefix="qv-web-bench-")
    driver = webtest.browser(1024, 768)
    print("%-22s %10s %16s %16s %16s %22s" % ("test", "page KB", "first question",
                                                "answer mean", "answer max",
                                                "in platform: answer, report"))
    firsts = []
    for name, lines, goals in [("worked example", worked_example(), (400, 150)),
                               ("500 questions x 6", largest_test(), (1536, 400))]:
        page = webtest.export_page(folder, name.split()[0], lines)
        size = os.path.getsize(page) / 1024
        url = "file://" + page
        first_question_ms(driver, url)  # the first load warms the browser's caches
        starts = [first_question_ms(driver, url) for _ in range(RUNS)]
        questions = len([l for l in lines if l.startswith("Вопрос")]) or 2
        answers = answer_ms(driver, questions)
        in_platform = platform_answer_ms(driver, page, questions)
        firsts.append(statistics.median(starts))
        print("%-22s %10.0f %13.1f ms %13.2f ms %13.2f ms %22s" % (
            name, size, firsts[-1], statistics.mean(answers), max(answers),
            "%.2f, %.2f ms (last %.2f, %.2f)" % (
                max(in_platform[0]), max(in_platform[1]), in_platform[0][-1],
                in_platform[1][-1]) if in_platform else "no scorm-again"))
        print("%-22s %10s %16s %16s %16s %22s" % ("  goal", "<= %d" % goals[0],
                                                  "<= %d ms" % goals[1], "", "<= 16 ms",
                                                  "<= 16 ms each"))
    print("first question, 500 x 6 against the worked example: %.2f times (goal <= 1.5)"
          % (firsts[1] / firsts[0]))
    webtest.quit_browsers()


if __name__ == "__main__":
    main()
