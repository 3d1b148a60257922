"""The exported web page in Chromium: every outcome of a run, the input rules,
safety, the phone layout, accessibility, and the same outcome as the desktop's
core for generated tests."""

import json
import os
import random
import subprocess
import tempfile
import unittest

from selenium.webdriver.common.action_chains import ActionChains

import webtest
from webtest import Page, export, export_page, test_lines, write_test

NO_RANGE = ("Данный тест имеет ошибки в блоке составления сообщения. Вы набрали {} баллов, но в "
            "данном тесте программа не обнаружила диапазон для такого числа баллов. Просмотрите "
            "текст теста на наличие нужной строки. Для этого нужно проанализировать кол-во баллов "
            "за вопрос, а составляя сообщения вставить строку вида: =Х-Y, где Х - начало "
            "диапазона, а Y - его конец.")

TWO = dict(questions=["Первый?", "Второй?"], captions=["Да", "Нет"],
           points=[["1", "0"], ["1", "0"]], messages=["=0-1", "Мало.", "=2-2", "Много.", "$"])


def variant(**changes):
    return dict(TWO, **changes)


class Folder(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.mkdtemp(prefix="qv-web-")

    def page(self, name, lines, *options):
        return Page(export_page(self.folder, name, lines, *options))


class Outcomes(Folder):
    # name, test, presses ("ok" dismisses the box), expected: result lines,
    # the box's text and button, and the progress line left on screen. One
    # case per outcome the page shows; the rules behind them are the core's,
    # tested there and against the desktop in SameAsDesktop.
    CASES = [
        ("found", TWO, [1, 1], dict(result=["Много."])),
        ("block keeps its blank line", variant(
            messages=["Вступление", "=0-5", "Строка «один»", "", "Строка — два", "=6-9", "x", "$"]),
         [2, 1], dict(result=["Строка «один»", "", "Строка — два"])),
        ("no range holds the total", variant(messages=["=0-1", "A", "$"]), [1, 1],
         dict(failure=NO_RANGE.format(2), button="Хорошо")),
        ("points not a number stop on the question", variant(points=[["abc", "0"], ["1", "0"]]),
         [1], dict(failure="'abc' is not a valid integer value.", button="OK",
                   progress="Вопрос 1 из 2")),
        ("another button after the failure goes on", variant(points=[["4 ", "0"], ["1", "0"]]),
         [1, "ok", 2, 1], dict(result=["Мало."])),
        ("Esc closes the failure box as its button does", variant(
            points=[["4 ", "0"], ["1", "0"]]), [1, "esc", 2, 1], dict(result=["Мало."])),
        ("bound not a number fails on the last question",
         variant(messages=["=0-10 баллов", "A", "$"]), [1, 1],
         dict(failure="'10 б' is not a valid integer value.", button="OK",
              progress="Вопрос 2 из 2")),
    ]

    def test_outcomes(self):
        for i, (name, test, presses, expected) in enumerate(self.CASES):
            with self.subTest(name):
                page = self.page("outcome%d" % i, test_lines(**test))
                for press in presses:
                    if press == "ok":
                        page.ok()
                    elif press == "esc":
                        page.key("Escape")
                    else:
                        page.press(press)
                self.assertEqual(page.failure(), expected.get("failure"))
                if "button" in expected:
                    self.assertEqual(page.text("failure-ok"), expected["button"])
                if "result" in expected:
                    self.assertTrue(page.shown("result"))
                    self.assertEqual(page.result(), expected["result"])
                if "progress" in expected:
                    self.assertEqual(page.text("progress"), expected["progress"])

    def test_a_test_the_run_refuses_shows_the_failure_and_takes_no_answer(self):
        lines = test_lines(**TWO)
        lines[0] = "Info=(x\x052\x051)"
        page = self.page("refused", lines)
        self.assertEqual(page.failure(), "'x' is not a valid integer value.")
        page.ok()
        self.assertFalse(page.element("answer1").is_enabled())

    def test_what_the_test_window_shows(self):
        page = self.page("shown", test_lines(
            questions=["Земля круглая?", "Луна больше?"], captions=["Да", "Нет", "Не знаю"],
            points=[["2", "0", "1"], ["0", "2", "1"]], messages=["=0-4", "Итог.", "$"],
            title="Проверка знаний", author="Неизвестен",
            variants=[["Верно", "Неверно", "Не знаю"], ["Больше", "Меньше", "Не знаю"]]))
        self.assertEqual([page.text(i) for i in ("title", "author", "progress", "question")],
                         ["Проверка знаний", "Неизвестен", "Вопрос 1 из 2", "Земля круглая?"])
        self.assertEqual([page.text("variant%d" % k) for k in (1, 2, 3)],
                         ["Верно", "Неверно", "Не знаю"])
        self.assertEqual([page.shown("answer%d" % k) for k in range(1, 7)],
                         [True, True, True, False, False, False])
        self.assertEqual(page.driver.title, "Окно")
        self.assertEqual([page.driver.execute_script(
            "return getComputedStyle(document.getElementById('answer%d'), '::before').content" % k)
            for k in (1, 2, 3)], ['"1"', '"2"', '"3"'])  # each button shows its number
        page.press(3)
        self.assertEqual((page.text("progress"), page.text("variant2")), ("Вопрос 2 из 2", "Меньше"))
        self.assertEqual(page.active(), "question")  # focus follows the new question
        page.press(2)
        self.assertEqual(page.result(), ["Итог."])

    def test_save_restart_and_the_error_window_way_out(self):
        page = self.page("ends", test_lines(**variant(
            messages=["=0-1", "Мало.", "=2-2", "Итог: «много»", "вторая строка", "$"])))
        page.press(1)
        page.press(1)
        page.element("save-result").click()
        saved = os.path.join(page.driver.downloads, "Результат тестирования.txt")
        page.wait(lambda: os.path.exists(saved) and os.path.getsize(saved) > 0)
        with open(saved, "rb") as f:
            self.assertEqual(f.read(), "Итог: «много»\r\nвторая строка\r\n".encode("utf-8"))
        page.element("restart").click()
        self.assertEqual((page.text("progress"), page.shown("result")), ("Вопрос 1 из 2", False))
        page.press(2)
        page.press(2)
        self.assertEqual(page.result(), ["Мало."])

        page = self.page("norange-out", test_lines(**variant(messages=["=5-9", "A", "$"])))
        self.assertFalse(page.shown("variants"))  # no variants, no empty numbered items
        page.press(1)
        page.press(1)
        page.ok()
        self.assertEqual(page.failure(), None)
        self.assertTrue(page.shown("restart"))
        self.assertFalse(page.shown("save-result"))
        self.assertEqual(page.result(), [NO_RANGE.format(2)])  # the total and why stay in sight


class Input(Folder):
    THREE = dict(questions=["Раз?", "Два?", "Три?", "Четыре?"], captions=["А", "Б"],
                 points=[["1", "0"]] * 4, messages=["=0-4", "A", "$"])

    def test_each_press_answers_once(self):
        def double_click(page):
            ActionChains(page.driver).double_click(page.element("answer1")).perform()

        def two_clicks(page):
            page.press(1)
            page.press(1)

        def focused(key):
            def press(page):
                page.driver.execute_script("document.getElementById('answer1').focus()")
                page.key(key)
            return press

        def held(key):
            def press(page):
                page.driver.execute_script("document.getElementById('answer2').focus()")
                page.key(key)
                for _ in range(3):
                    page.key(key, repeat=True)
            return press

        # how, the question then shown
        cases = [
            ("double click", double_click, 2),
            ("two single clicks", two_clicks, 3),
            ("Enter on a button", focused("Enter"), 2),
            ("Space on a button", focused(" "), 2),
            ("digit 2", lambda page: page.key("2"), 2),
            ("digit of a hidden button", lambda page: page.key("5"), 1),
            ("held Enter", held("Enter"), 2),
            ("held digit", lambda page: [page.key("1")] + [page.key("1", repeat=True)] * 3, 2),
        ]
        lines = test_lines(**self.THREE)
        path = export_page(self.folder, "input", lines)
        for name, how, question in cases:
            with self.subTest(name):
                page = Page(path)
                how(page)
                self.assertEqual(page.text("progress"), "Вопрос %d из 4" % question)


class Safety(Folder):
    def test_texts_are_shown_as_text_and_nothing_is_fetched(self):
        markup = "<img src=x onerror=alert(1)>"
        page = self.page("markup", test_lines(
            questions=[markup], captions=["<b>Да</b>", "Нет"], points=[["1", "0"]],
            messages=["=0-1", "<script>alert(2)</script>", "$"], title="<i>T</i>{{script}}",
            author="A & B", variants=[["<u>v</u>", "w"]]))
        self.assertEqual([page.text(i) for i in ("question", "answer1", "title", "author",
                                                  "variant1")],
                         [markup, "<b>Да</b>", "<i>T</i>{{script}}", "A & B", "<u>v</u>"])
        page.press(1)
        self.assertEqual(page.result(), ["<script>alert(2)</script>"])
        d = page.driver
        self.assertEqual(d.execute_script(
            "return document.querySelectorAll('#run img, #run b, #run script, [onerror], "
            "[onclick]').length"), 0)
        self.assertEqual(d.execute_script(
            "return performance.getEntriesByType('resource').length"), 0)
        self.assertEqual(page.console_errors(), [])
        policy = d.execute_script(
            "return document.querySelector('meta[http-equiv=Content-Security-Policy]').content")
        self.assertIn("default-src 'none'", policy)
        self.assertIn("connect-src 'none'", policy)
        self.assertNotIn("unsafe-inline", policy)


class Layout(Folder):
    LONG = "Очень длинное условие вопроса, которое занимает много строк. " * 12
    # name: test, presses that bring the box, the button that must be reachable
    BOXES = {
        "question": (dict(TWO, questions=[LONG, "Второй?"]), [], "answer2"),
        "failure box": (variant(points=[["x" * 400, "0"], ["1", "0"]]), [1], "failure-ok"),
        "no-range box": (variant(messages=["=5-9", "A", "$"]), [1, 1], "failure-ok"),
        "result": (variant(messages=["=0-9"] + [LONG] * 3 + ["$"]), [1, 1], "restart"),
    }
    # name: CSS viewport width, height, a phone's, root text size
    SCREENS = [
        ("phone", 360, 640, True, "100%"),
        ("phone, text 130%", 360, 640, True, "130%"),
        ("desktop", 1280, 800, False, "100%"),
        ("desktop, text 130%", 1280, 800, False, "130%"),
        ("desktop at 400%", 320, 200, False, "100%"),
    ]

    def test_every_box_reachable_on_every_screen(self):
        driver = webtest.browser()
        pages = {name: export_page(self.folder, "box%d" % i, test_lines(**test))
                 for i, (name, (test, _, _)) in enumerate(self.BOXES.items())}
        try:
            for screen, width, height, mobile, text in self.SCREENS:
                driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride", {
                    "width": width, "height": height, "mobile": mobile,
                    "deviceScaleFactor": 2 if mobile else 1})
                for box, (_, presses, button) in self.BOXES.items():
                    with self.subTest(screen=screen, box=box):
                        page = Page(pages[box], driver)
                        driver.execute_script(
                            "document.documentElement.style.fontSize = arguments[0]", text)
                        for press in presses:
                            page.press(press)
                        found = driver.execute_script("""
                            var b = document.getElementById(arguments[0]);
                            b.scrollIntoView({block: 'nearest'});
                            var r = b.getBoundingClientRect();
                            var q = document.getElementById('question');
                            return {overflow: document.documentElement.scrollWidth - innerWidth,
                                    inside: r.top >= 0 && r.bottom <= innerHeight + 1 &&
                                            r.left >= 0 && r.right <= innerWidth + 1,
                                    top: document.elementFromPoint(r.left + r.width / 2,
                                        r.top + r.height / 2) === b,
                                    innerScroll: q.scrollHeight > q.clientHeight + 1};""",
                            button)
                        self.assertLessEqual(found["overflow"], 0)
                        self.assertTrue(found["inside"] and found["top"], found)
                        if mobile:
                            self.assertFalse(found["innerScroll"])
        finally:
            driver.execute_cdp_cmd("Emulation.clearDeviceMetricsOverride", {})

    def test_loading_and_a_refused_webassembly_are_said(self):
        path = export_page(self.folder, "refused", test_lines(**TWO))
        with open(path, encoding="utf-8") as f:
            self.assertIn('<p id="loading" role="status">Загрузка…</p>', f.read())
        # A server's own policy that allows no WebAssembly.
        policy = ("Content-Security-Policy", "default-src 'none'; script-src 'unsafe-inline'; "
                  "style-src 'unsafe-inline'")
        with webtest.served(self.folder, [policy]) as url:
            driver = webtest.browser()
            driver.get(url + "refused.html")
            page = Page.__new__(Page)
            page.driver = driver
            page.wait(lambda: page.text("loading").startswith("Браузер отказался"))
            self.assertFalse(page.shown("question-block"))

    def test_fits_a_phone_and_passes_axe(self):
        page = Page(export_page(self.folder, "phone", test_lines(
            questions=["Очень длинный вопрос " * 20, "Второй"],
            captions=["Первая кнопка", "Вторая", "Третья", "Четвёртая", "Пятая", "Шестая"],
            points=[["1"] * 6, ["0"] * 6], messages=["=0-9", "Итог.", "$"],
            variants=[["вариант номер %d" % k for k in range(6)]] * 2)),
            webtest.phone(webtest.browser(800, 600)))
        d = page.driver
        self.assertEqual(d.execute_script("return innerWidth"), 360)
        self.assertLessEqual(d.execute_script("return document.documentElement.scrollWidth"), 360)
        heights = d.execute_script("return Array.from(document.querySelectorAll('#answers button'),"
                                   " b => b.getBoundingClientRect().height)")
        self.assertTrue(all(h >= 44 for h in heights), heights)
        axe_source = os.path.join(webtest.NODE_MODULES, "axe-core", "axe.min.js")
        if not os.path.exists(axe_source):
            self.skipTest("axe-core is not installed (npm install in tests/web)")
        with open(axe_source) as f:
            d.execute_script(f.read())

        def violations():
            found = d.execute_async_script(
                "axe.run(document).then(r => arguments[0](r.violations.map("
                "v => v.id + ': ' + v.nodes.map(n => n.target.join(' ')).join(', '))))")
            return found

        self.assertEqual(violations(), [])
        page.press(1)
        page.press(1)
        self.assertEqual(violations(), [])


class CommandLine(Folder):
    def test_export_statuses(self):
        clean = write_test(os.path.join(self.folder, "clean.tst"), test_lines(**TWO))
        problem = write_test(os.path.join(self.folder, "problem.tst"),
                             test_lines(**variant(points=[["abc", "0"], ["1", "0"]])))
        status, out, _ = export(clean, "--export-web")
        self.assertEqual(status, 0)
        self.assertTrue(os.path.exists(os.path.join(self.folder, "clean.html")))
        status, out, _ = export(problem, "--export-scorm")
        self.assertEqual(status, 1)
        self.assertIn("«abc»", out)
        self.assertTrue(os.path.exists(os.path.join(self.folder, "problem.zip")))
        status, out, _ = export(os.path.join(self.folder, "missing.tst"), "--export-web")
        self.assertEqual(status, 2)
        self.assertIn("File not found", out)
        kept = os.path.join(self.folder, "kept.html")
        with open(kept, "w") as f:
            f.write("before")
        os.chmod(self.folder, 0o500)
        try:
            status, _, err = export(clean, "--export-web", "-o", kept)
        finally:
            os.chmod(self.folder, 0o700)
        if os.getuid() != 0:  # root writes anyway
            self.assertEqual(status, 2)
            with open(kept) as f:
                self.assertEqual(f.read(), "before")
        status, _, err = export(clean, "--export-web", "--export-scorm")
        self.assertEqual(status, 2)


class SameAsDesktop(Folder):
    """Generated tests and presses: the page and the desktop's core agree."""

    def generated(self, rng):
        n = rng.randint(1, 5)
        b = rng.randint(1, 6)
        point = lambda: rng.choice(["0", "1", "2", "5", "-3", " 4", "7", "x", "4 ", ""]
                                   if rng.random() < 0.15 else ["0", "1", "2", "3", "-1", "10"])
        points = [[point() for _ in range(b)] for _ in range(n)]
        messages = []
        low = rng.randint(-2, 3)
        for _ in range(rng.randint(0, 4)):
            high = low + rng.randint(-1, 8)
            line = "=%d-%d" % (low, high) if rng.random() > 0.1 else rng.choice(
                ["=", "=1-x", "=0-12345", "= 2-9"])
            messages += [line, "Итог %d–%d" % (low, high), rng.choice(["", "ещё строка"])]
            low = high + 1
        if rng.random() < 0.8:
            messages.append("$")
        presses = [rng.randint(1, b) for _ in range(n + 4)]
        return test_lines(questions=["Вопрос %d" % (q + 1) for q in range(n)],
                          captions=["К%d" % k for k in range(1, b + 1)], points=points,
                          messages=messages), presses

    def test_same_outcome_and_text(self):
        rng = random.Random(20261209)
        for i in range(24):
            lines, presses = self.generated(rng)
            with self.subTest(case=i, presses=presses):
                path = export_page(self.folder, "gen%d" % i, lines)
                desktop = json.loads(subprocess.run(
                    [os.environ["QV_CORE_OUTCOME"], path[:-5] + ".tst", *map(str, presses)],
                    capture_output=True, text=True, check=True).stdout)
                page = Page(path)
                failures, end = [], "question"
                if page.failure() is not None:
                    failures.append(page.failure())
                    page.ok()
                for press in presses:
                    if end != "question" or not page.element("answer1").is_enabled():
                        break
                    page.press(press)
                    text = page.failure()
                    if text is not None and text.startswith("Данный тест"):
                        end = "norange"
                        self.assertEqual(text, NO_RANGE.format(desktop["score"]))
                    elif text is not None:
                        failures.append(text)
                        page.ok()
                    elif page.shown("result"):
                        end = "result"
                self.assertEqual(failures, desktop["failures"])
                self.assertEqual(end, desktop["end"])
                if end == "result":
                    self.assertEqual(page.result(), desktop["lines"])
                if end == "question" and desktop["question"] >= 1:
                    self.assertEqual(page.text("progress"),
                                     "Вопрос %d из %d" % (desktop["question"], len(presses) - 4))


def tearDownModule():
    webtest.quit_browsers()


if __name__ == "__main__":
    unittest.main(verbosity=2)
