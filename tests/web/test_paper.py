"""The page printed to PDF by Chromium and read back with pdftotext: every
question on paper, none broken across pages, the author's key only in the
author's copy, and the result once a run has ended."""

import base64
import os
import shutil
import subprocess
import tempfile
import unittest

from selenium.webdriver.common.print_page_options import PrintOptions

import webtest
from webtest import Page, export_page, test_lines

QUESTIONS = 24


def long_test():
    return test_lines(
        questions=["Вопрос номер %d: %s" % (q + 1, "подробное условие " * (3 + q % 7))
                   for q in range(QUESTIONS)],
        captions=["Да", "Нет", "Не знаю"],
        points=[[str(q % 4), "0", "-1"] for q in range(QUESTIONS)],
        messages=["=-30-20", "Стоит повторить.", "=21-100", "Отлично.", "$"],
        title="Итоговая проверка", author="Иванова А. П.",
        variants=[["верно %d" % (q + 1), "неверно %d" % (q + 1), "конец %d" % (q + 1)]
                  for q in range(QUESTIONS)])


class Paper(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        if not shutil.which("pdftotext"):
            raise unittest.SkipTest("pdftotext (poppler-utils) is not installed")
        cls.folder = tempfile.mkdtemp(prefix="qv-paper-")

    def printed(self, page, name):
        """The text of each printed page."""
        pdf = os.path.join(self.folder, name + ".pdf")
        with open(pdf, "wb") as f:
            f.write(base64.b64decode(page.driver.print_page(PrintOptions())))
        text = subprocess.run(["pdftotext", "-layout", pdf, "-"], capture_output=True,
                              text=True, check=True).stdout
        return [" ".join(sheet.split()) for sheet in text.split("\f") if sheet.strip()]

    def test_copies(self):
        for name, options, with_key in [("taker", (), False), ("author", ("--print-key",), True)]:
            with self.subTest(name):
                page = Page(export_page(self.folder, name, long_test(), *options))
                sheets = self.printed(page, name)
                self.assertIn("Итоговая проверка", sheets[0])
                self.assertIn("Иванова А. П.", sheets[0])
                for q in range(1, QUESTIONS + 1):
                    # the whole question, from its heading to its last variant, on one sheet
                    holding = [s for s in sheets
                               if "Вопрос %d из %d" % (q, QUESTIONS) in s and "конец %d" % q in s]
                    self.assertEqual(len(holding), 1, "question %d" % q)
                key = "Диапазоны и сообщения о результатах"
                self.assertEqual(key in sheets[-1], with_key)
                if with_key:
                    self.assertNotIn(key, " ".join(sheets[:-1]))
                    self.assertIn("=21-100", sheets[-1])
                    self.assertIn("Отлично.", sheets[-1])
                    self.assertNotIn("Вопрос 1 из", sheets[-1])  # the key has its own page

    def test_after_a_run_the_result_prints(self):
        page = Page(export_page(self.folder, "run", test_lines(
            questions=["Один?"], captions=["Да"], points=[["1"]],
            messages=["=0-1", "Ваш итог: один балл.", "$"], title="Короткий")))
        page.press(1)
        sheets = self.printed(page, "result")
        self.assertEqual(len(sheets), 1)
        self.assertIn("Ваш итог: один балл.", sheets[0])
        self.assertNotIn("Один?", sheets[0])


def tearDownModule():
    webtest.quit_browsers()


if __name__ == "__main__":
    unittest.main(verbosity=2)
