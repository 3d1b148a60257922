"""A class takes a served test in Chromium: two pupils at once, each in a
browser of their own, one reloading the page halfway; their records are in
the journal with the totals their presses give, and the page they are sent
holds no points, ranges or messages."""

import os
import tempfile
import unittest

import webtest
from classroom import Served, journal_rows, write_test

MESSAGES = ["=0-2", "Итог: мало.", "=3-5", "Итог: много.", "вторая строка", "$"]


class Pupil(webtest.Page):
    def progress_is(self, text):
        self.wait(lambda: self.text("progress") == text)

    def start(self, name):
        self.element("taker-name").send_keys(name)
        self.element("start").click()
        self.progress_is("Вопрос 1 из 3")

    def answer(self, k, then):
        self.press(k)
        if then:
            self.progress_is(then)
        else:
            self.wait(lambda: self.shown("result"))


class ClassInBrowsers(unittest.TestCase):
    def test_two_pupils_at_once_and_a_reload(self):
        folder = tempfile.mkdtemp(prefix="qv-class-")
        test = write_test(os.path.join(folder, "класс.tst"), ["Один?", "Два?", "Три?"],
                          ["Да", "Нет", "Не знаю"], [["2", "0", "1"]] * 3, MESSAGES)
        served = Served(test)
        page, headers = served.page()
        for secret in ("Итог", "=0-2", "=3-5", "вторая строка"):
            self.assertNotIn(secret, page)
        self.assertIn("connect-src 'self'", headers["Content-Security-Policy"])

        anna = Pupil(served.url, webtest.browser(360, 740))
        boris = Pupil(served.url, webtest.browser(800, 700))
        anna.start("Анна <b>Ш.</b>")
        boris.start("Борис")
        anna.answer(1, "Вопрос 2 из 3")
        boris.answer(3, "Вопрос 2 из 3")
        anna.answer(2, "Вопрос 3 из 3")
        # A reload (or a phone that was locked) goes on at the same question.
        anna.driver.refresh()
        anna.wait(lambda: anna.driver.execute_script(
            "return document.body.getAttribute('data-ready')") == "1")
        anna.progress_is("Вопрос 3 из 3")
        self.assertFalse(anna.shown("taker-name"))
        boris.answer(3, "Вопрос 3 из 3")
        anna.answer(2, None)
        boris.answer(1, None)
        self.assertEqual(anna.result(), ["Итог: мало."])
        self.assertEqual(boris.result(), ["Итог: много.", "вторая строка"])
        self.assertEqual(anna.console_errors(), [])

        status, err = served.stop()
        self.assertEqual(status, 0, err)
        rows = journal_rows(served.journal)
        self.assertEqual(sorted((r["Имя"], r["Сумма баллов"], r["Диапазон или исход"],
                                 r["Вопрос 1"] + r["Вопрос 2"] + r["Вопрос 3"]) for r in rows),
                         [("Анна <b>Ш.</b>", "2", "диапазон =0-2", "122"),
                          ("Борис", "4", "диапазон =3-5", "331")])


def tearDownModule():
    webtest.quit_browsers()


if __name__ == "__main__":
    unittest.main(verbosity=2)
