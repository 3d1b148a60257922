#!/usr/bin/python3
"""Measures the exported web page in headless Chromium on this machine: the
page's size, the time from navigation to the first question on screen, and
the time an answer takes, for the worked example and for a test of 500
questions with 6 buttons. A report, not a test: nothing fails.

    python3 bench/web_bench.py [BUILD_FOLDER] [RUNS]
"""

import os
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


def main():
    folder = tempfile.mkdtemp(prefix="qv-web-bench-")
    driver = webtest.browser(1024, 768)
    print("%-22s %10s %16s %16s %16s" % ("test", "page KB", "first question", "answer mean",
                                           "answer max"))
    for name, lines, goals in [("worked example", worked_example(), (400, 150)),
                               ("500 questions x 6", largest_test(), (1536, 400))]:
        page = webtest.export_page(folder, name.split()[0], lines)
        size = os.path.getsize(page) / 1024
        url = "file://" + page
        first_question_ms(driver, url)  # the first load warms the browser's caches
        starts = [first_question_ms(driver, url) for _ in range(RUNS)]
        questions = len([l for l in lines if l.startswith("Вопрос")]) or 2
        answers = answer_ms(driver, questions)
        print("%-22s %10.0f %13.1f ms %13.2f ms %13.2f ms" % (
            name, size, statistics.median(starts), statistics.mean(answers), max(answers)))
        print("%-22s %10s %16s %16s" % ("  goal", "<= %d" % goals[0], "<= %d ms" % goals[1],
                                        "<= 16 ms"))
    webtest.quit_browsers()


if __name__ == "__main__":
    main()
