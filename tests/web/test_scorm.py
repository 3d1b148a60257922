"""The SCORM 1.2 package under a real runtime: scorm-again's Scorm12API as
window.API of a page that holds the package's page in a frame, as a learning
platform does."""

import os
import shutil
import tempfile
import unittest
import xml.etree.ElementTree as ElementTree
import zipfile

import webtest
from webtest import Page, export, test_lines, write_test

HOST = """<!DOCTYPE html>
<html lang="ru"><head><meta charset="utf-8"><title>Платформа</title>
<script src="scorm12.min.js"></script>
<script>
window.API = new Scorm12API({logLevel: 5});
window.calls = [];
["LMSInitialize", "LMSSetValue", "LMSGetValue", "LMSCommit", "LMSFinish"].forEach(function (name) {
  var original = API[name].bind(API);
  API[name] = function () {
    var answer = original.apply(null, arguments);
    calls.push([name, Array.from(arguments), String(answer), String(API.LMSGetLastError())]);
    return answer;
  };
});
</script></head>
<body><iframe id="sco" src="index.html" title="Тест" width="800" height="600"></iframe></body></html>
"""

MANIFEST = "{http://www.imsproject.org/xsd/imscp_rootv1p1p2}"
ADLCP = "{http://www.adlnet.org/xsd/adlcp_rootv1p2}"


class Package(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.runtime = os.path.join(webtest.NODE_MODULES, "scorm-again", "dist", "scorm12.min.js")
        cls.folder = tempfile.mkdtemp(prefix="qv-scorm-")

    def package(self, name, lines):
        test = write_test(os.path.join(self.folder, name + ".tst"), lines)
        status, out, err = export(test, "--export-scorm")
        self.assertLess(status, 2, out + err)
        site = os.path.join(self.folder, name)
        with zipfile.ZipFile(os.path.join(self.folder, name + ".zip")) as package:
            self.assertEqual(sorted(package.namelist()), ["imsmanifest.xml", "index.html"])
            package.extractall(site)
        return site

    def run_in_platform(self, site, presses):
        if not os.path.exists(self.runtime):
            self.skipTest("scorm-again is not installed (npm install in tests/web)")
        shutil.copy(self.runtime, site)
        with open(os.path.join(site, "host.html"), "w") as f:
            f.write(HOST)
        with webtest.served(site) as url:
            driver = webtest.browser()
            driver.get(url + "host.html")
            driver.switch_to.frame("sco")
            page = Page.__new__(Page)
            page.driver = driver
            page.wait(lambda: driver.execute_script(
                "return document.body.getAttribute('data-ready')") == "1")
            for press in presses:
                page.press(press)
            driver.switch_to.default_content()
            data = driver.execute_script("""
                var cmi = API.renderCommitCMI(true).cmi;  // what the platform is sent
                return {calls: calls, status: cmi.core.lesson_status,
                        raw: cmi.core.score.raw, min: cmi.core.score.min, max: cmi.core.score.max,
                        kept: cmi.suspend_data, answers: Object.values(cmi.interactions).map(
                            i => [i.id, i.type, i.student_response])};""")
        return data

    def test_manifest_names_the_title_and_launches_the_page(self):
        site = self.package("manifest", test_lines(
            questions=["Q?"], captions=["Да"], points=[["1"]], messages=["=0-1", "A", "$"],
            title="Проверка & знаний"))
        root = ElementTree.parse(os.path.join(site, "imsmanifest.xml")).getroot()
        self.assertEqual(root.find(MANIFEST + "metadata/" + MANIFEST + "schemaversion").text, "1.2")
        organization = root.find(MANIFEST + "organizations/" + MANIFEST + "organization")
        self.assertEqual(organization.find(MANIFEST + "title").text, "Проверка & знаний")
        resource = root.find(MANIFEST + "resources/" + MANIFEST + "resource")
        self.assertEqual((resource.get("href"), resource.get(ADLCP + "scormtype")),
                         ("index.html", "sco"))

    def test_runs_are_recorded(self):
        worked = dict(questions=["Земля круглая?", "Луна больше?"], captions=["Да", "Нет", "?"],
                      points=[["2", "0", "1"], ["0", "2", "1"]],
                      messages=["=0-2", "Повторить.", "=3-4", "Хорошо.", "$"])
        # test, presses, expected score (raw, min, max), what suspend_data begins with
        cases = [
            ("within 0..100", worked, [3, 2], ("3", "0", "4"), "total=3;"),
            ("totals outside 0..100 are scaled", dict(
                worked, points=[["-50", "100", "0"], ["0", "100", "50"]],
                messages=["=0-200", "Хорошо.", "$"]), [2, 3], ("80", "0", "100"), "total=150;"),
            ("no range holds the total", dict(worked, messages=["=0-1", "A", "$"]), [1, 2],
             ("4", "0", "4"), "total=4;"),
            ("a points failure records nothing for that press", dict(
                worked, points=[["x", "0", "1"], ["0", "2", "1"]]), [1], None, None),
        ]
        for i, (name, test, presses, score, kept) in enumerate(cases):
            with self.subTest(name):
                data = self.run_in_platform(self.package("run%d" % i, test_lines(**test)), presses)
                self.assertTrue(data["calls"], "the page did not find the API")
                self.assertEqual(data["calls"][0][:3], ["LMSInitialize", [""], "true"])
                self.assertEqual([c for c in data["calls"] if c[3] != "0"], [])
                if score is None:
                    self.assertEqual(data["answers"], [])
                    self.assertNotEqual(data["status"], "completed")
                    continue
                self.assertEqual(data["answers"],
                                 [["q%d" % (q + 1), "choice", str(b)] for q, b in enumerate(presses)])
                self.assertEqual((data["raw"], data["min"], data["max"]), score)
                self.assertEqual(data["status"], "completed")
                self.assertTrue(data["kept"].startswith(kept), data["kept"])
                self.assertEqual([c[0] for c in data["calls"][-2:]], ["LMSCommit", "LMSFinish"])
                if name.startswith("totals"):
                    self.assertIn(";range==0-200", data["kept"])


def tearDownModule():
    webtest.quit_browsers()


if __name__ == "__main__":
    unittest.main(verbosity=2)
