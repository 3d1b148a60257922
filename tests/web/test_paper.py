"""The page printed to PDF by Chromium and read back with pdftotext: every
question on paper, none broken across pages, the author's key a document of
its own with its header row on every sheet, long words kept on the paper, and
the result once a run has ended."""

import base64
import os
import shutil
import subprocess
import tempfile
import unittest

from selenium.webdriver.common.print_page_options import PrintOptions

import webtest
from webtest import Page, export, export_page, test_lines, write_test

QUESTIONS = 24
LONG_WORD = "Сверхдлинноесловобезпробелов" * 5  # 140 letters


def long_test():
    return test_lines(
        questions=["Вопрос номер %d: %s" % (q + 1, "подробное условие " * (3 + q % 7))
                   for q in range(QUESTIONS - 1)] + ["Последний: " + LONG_WORD],
        captions=["Да", "Нет", "Не знаю"],
        points=[[str(q % 4), "0", "-1"] for q in range(QUESTIONS)],
        messages=["=-30-20", "Стоит повторить.", "=21-100", "Отлично. " + LONG_WORD, "$"],
        title="Итоговая проверка", author="Иванова А. П.",
        variants=[["верно %d" % (q + 1), "неверно %d" % (q + 1), "конец %d" % (q + 1)]
                  for q in range(QUESTIONS - 1)] + [[LONG_WORD, "нет", "конец %d" % QUESTIONS]])


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

    def fits_the_paper(self, driver):
        """True when nothing runs past the printed page's width."""
        driver.execute_cdp_cmd("Emulation.setEmulatedMedia", {"media": "print"})
        try:
            return driver.execute_script(
                "return Array.from(document.querySelectorAll('body *')).every("
                "e => e.getBoundingClientRect().right <= innerWidth + 1)")
        finally:
            driver.execute_cdp_cmd("Emulation.setEmulatedMedia", {"media": ""})

    def test_copies(self):
        test = write_test(os.path.join(self.folder, "long.tst"), long_test())
        key = os.path.join(self.folder, "long-key.html")
        self.assertLess(export(test, "--print-key", "-o", key)[0], 2)
        header = "№ Вопрос 1."
        for name, with_key in [("taker", False), ("author's key", True)]:
            with self.subTest(name):
                if with_key:
                    driver = webtest.browser()
                    driver.get("file://" + key)
                    page = Page.__new__(Page)
                    page.driver = driver
                else:
                    page = Page(export_page(self.folder, "taker", long_test()))
                sheets = self.printed(page, name.split()[0])
                self.assertIn("Итоговая проверка", sheets[0])
                self.assertIn("Иванова А. П.", sheets[0])
                self.assertTrue(self.fits_the_paper(page.driver))
                self.assertIn(LONG_WORD, "".join("".join(sheets).split()))
                ranges = "Диапазоны и сообщения о результатах"
                self.assertEqual(ranges in " ".join(sheets), with_key)
                self.assertEqual("=21-100" in " ".join(sheets), with_key)
                if with_key:
                    # the header row on every sheet of the table, the ranges after it
                    table = [s for s in sheets if "Вопрос номер" in s]
                    self.assertGreater(len(table), 1)
                    self.assertTrue(all(header in s for s in table), sheets)
                    self.assertIn("Отлично.", sheets[-1])
                    continue
                for q in range(1, QUESTIONS + 1):
                    # the whole question, from its heading to its last variant, on one sheet
                    holding = [s for s in sheets
                               if "Вопрос %d из %d" % (q, QUESTIONS) in s and "конец %d" % q in s]
                    self.assertEqual(len(holding), 1, "question %d" % q)

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
