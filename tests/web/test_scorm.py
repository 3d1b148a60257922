"""The SCORM 1.2 package under a real runtime: scorm-again's Scorm12API as
window.API of a page that holds the package's page in a frame, as a learning
platform does."""

import os
import shutil
import tempfile
import unittest
import html
import json
import xml.etree.ElementTree as ElementTree
import zipfile

import webtest
from webtest import Page, export, test_lines, write_test

# The platform: scorm-again as window.API, which turns "not attempted" into
# "completed" at LMSFinish as Moodle does, starting from the data a former
# visit left (QV_START); QV_FAILING makes a call answer "false" with an error
# number, or throw. What the platform keeps is the data of the last commit.
HOST = """<!DOCTYPE html>
<html lang="ru"><head><meta charset="utf-8"><title>Платформа</title>
<script src="scorm12.min.js"></script>
<script>
var QV_START = %s, QV_FAILING = %s;
window.API = new Scorm12API({logLevel: 5, autoCompleteLessonStatus: true});
if (QV_START) API.loadFromJSON(QV_START);
window.stored = null;
var fakeError = null, lastError = API.LMSGetLastError.bind(API);
["LMSInitialize", "LMSSetValue", "LMSGetValue", "LMSCommit", "LMSFinish"].forEach(function (name) {
  var original = API[name].bind(API);
  API[name] = function () {
    var how = QV_FAILING[name];
    if (how === "throw") throw new Error("the platform is down");
    if (how) { fakeError = how; return "false"; }
    var answer = original.apply(null, arguments);
    if ((name === "LMSCommit" || name === "LMSFinish") && String(answer) === "true")
      stored = JSON.parse(JSON.stringify(API.renderCommitCMI(true).cmi));
    return answer;
  };
});
API.LMSGetLastError = function () {
  if (fakeError) { var e = fakeError; fakeError = null; return e; }
  return lastError();
};
</script></head>
<body><iframe id="sco" src="index.html" title="Тест" width="800" height="600"></iframe></body></html>
"""

NO_RANGE = ("Данный тест имеет ошибки в блоке составления сообщения. Вы набрали {} баллов, но в "
            "данном тесте программа не обнаружила диапазон для такого числа баллов. Просмотрите "
            "текст теста на наличие нужной строки. Для этого нужно проанализировать кол-во баллов "
            "за вопрос, а составляя сообщения вставить строку вида: =Х-Y, где Х - начало "
            "диапазона, а Y - его конец.")
NOT_SENT = ("Результат этого теста уже записан в системе обучения; новое прохождение туда не "
            "отправляется.")
LOST = "Система обучения не записала результат (%s)."

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

    def visit(self, site, start, failing, actions):
        """One visit of the page in the platform, left at the end; returns what
        the platform keeps and what the page showed before it was left."""
        with open(os.path.join(site, "host.html"), "w") as f:
            f.write(HOST % (json.dumps(start), json.dumps(failing)))
        with webtest.served(site) as url:
            driver = webtest.browser()
            driver.get(url + "host.html")
            driver.switch_to.frame("sco")
            page = Page.__new__(Page)
            page.driver = driver
            page.wait(lambda: driver.execute_script(
                "return document.body.getAttribute('data-ready')") == "1")
            for action in actions:
                if action == "ok":
                    page.ok()
                elif action == "restart":
                    page.element("restart").click()
                else:
                    page.press(action)
            shown = dict(progress=page.text("progress"), result=page.result(),
                         failure=page.failure(),
                         line=page.text("platform-line") if page.shown("platform-line") else None)
            driver.switch_to.default_content()
            driver.execute_script("document.getElementById('sco').src = 'about:blank'")
            page.wait(lambda: driver.execute_script(
                "return document.getElementById('sco').contentWindow.location.href")
                == "about:blank")
            return driver.execute_script("return stored"), shown

    @staticmethod
    def next_start(kept):
        """What a platform gives the next visit of the attempt."""
        if kept is None:
            return None
        core = kept["core"]
        return {"core": {"lesson_status": core["lesson_status"], "score": core["score"],
                         "entry": "resume" if core["exit"] == "suspend" else ""},
                "suspend_data": kept["suspend_data"], "comments": kept["comments"],
                "interactions": kept["interactions"]}

    def test_manifest_is_well_formed_whatever_the_title(self):
        # the title in the file, as the manifest and the page's <title> give it
        cases = [
            ("Проверка & знаний", "Проверка & знаний"),
            ("<title>]]></title><!-- \"'", "<title>]]></title><!-- \"'"),
            ("Контроль\x01\x02 байты\x1f\x7f", "Контроль\ufffd\ufffd байты\ufffd\ufffd"),
            ("Табуляция\tи\x0bвертикальная", "Табуляция\tи\ufffdвертикальная"),
        ]
        for i, (title, shown) in enumerate(cases):
            with self.subTest(repr(title)):
                site = self.package("manifest%d" % i, test_lines(
                    questions=["Q?"], captions=["Да"], points=[["1"]],
                    messages=["=0-1", "A", "$"], title=title))
                root = ElementTree.parse(os.path.join(site, "imsmanifest.xml")).getroot()
                self.assertEqual(
                    root.find(MANIFEST + "metadata/" + MANIFEST + "schemaversion").text, "1.2")
                organization = root.find(MANIFEST + "organizations/" + MANIFEST + "organization")
                self.assertEqual(organization.find(MANIFEST + "title").text, shown)
                resource = root.find(MANIFEST + "resources/" + MANIFEST + "resource")
                self.assertEqual((resource.get("href"), resource.get(ADLCP + "scormtype")),
                                 ("index.html", "sco"))
                with open(os.path.join(site, "index.html"), encoding="utf-8") as f:
                    head = f.read().split("</title>")[0].split("<title>")[1]
                self.assertEqual(html.unescape(head), shown)

    WORKED = dict(questions=["Земля круглая?", "Луна больше?"], captions=["Да", "Нет", "?"],
                  points=[["2", "0", "1"], ["0", "2", "1"]],
                  messages=["=0-2", "Повторить.", "=3-4", "Хорошо.", "$"])
    FINISHED = dict(status="completed", exit="", raw="100", kept="presses=12;total=4;low=0;high=4;"
                    "range==3-4", comments="Сумма баллов: 4 из 4 возможных; диапазон =3-4",
                    answers=[("q1", "1"), ("q2", "2")])
    NOT_RECORDED = dict(status="not attempted", raw="", answers=[])

    def test_what_the_platform_keeps(self):
        worked = self.WORKED
        # name, test, failing calls, the visits' actions, what the platform
        # keeps after the last visit, what the last visit showed
        cases = [
            ("full run", worked, {}, [[1, 2]], self.FINISHED,
             dict(result=["Хорошо."], line=None)),
            ("the score is the total's place between the lowest and highest, rounded", dict(
                worked, points=[["-50", "100", "0"], ["0", "100", "50"]],
                messages=["=0-100", "Мало.", "=101-200", "Много.", "$"]), {}, [[2, 3]],
             dict(status="completed", raw="80", kept="presses=23;total=150;low=-50;high=200;"
                  "range==101-200", comments="Сумма баллов: 150 из 200 возможных, наименьшая "
                  "возможная -50; диапазон =101-200"), {}),
            ("two of three is 67", dict(worked, points=[["0", "1", "0"], ["0", "2", "0"]]), {},
             [[1, 2]], dict(raw="67", kept="presses=12;total=2;low=0;high=3;range==0-2"), {}),
            ("no range holds the total", dict(worked, messages=["=0-1", "A", "$"]), {},
             [[1, 3, "ok"]], dict(status="completed", raw="75", comments="Сумма баллов: 3 из 4 "
                                  "возможных; ни один диапазон не содержит эту сумму"),
             dict(result=[NO_RANGE.format(3)])),
            ("leave early", worked, {}, [[1]], dict(
                status="incomplete", exit="suspend", raw="", kept="presses=1", comments="",
                answers=[("q1", "1")]), dict(progress="Вопрос 2 из 2")),
            ("a failure leaves the attempt incomplete", dict(
                worked, points=[["x", "0", "1"], ["0", "2", "1"]]), {}, [[1]], dict(
                status="incomplete", exit="suspend", raw="", answers=[],
                comments="Прохождение остановилось на ошибке теста: 'x' is not a valid integer "
                         "value."), dict(failure="'x' is not a valid integer value.")),
            ("resume at the same question", worked, {}, [[1], []], dict(
                status="incomplete", exit="suspend", kept="presses=1"),
             dict(progress="Вопрос 2 из 2")),
            ("resumed to the end", worked, {}, [[1], [2]], self.FINISHED, {}),
            ("re-entry after completion keeps the result", worked, {}, [[1, 2], ["restart", 3, 3]],
             self.FINISHED, dict(result=["Повторить."], line=NOT_SENT)),
            ("re-entry shows the recorded result", worked, {}, [[1, 2], []], self.FINISHED,
             dict(result=["Хорошо."], line=NOT_SENT)),
            ("another run on the page is not sent", worked, {}, [[1, 2, "restart", 3, 3]],
             self.FINISHED, dict(result=["Повторить."], line=NOT_SENT)),
            ("LMSInitialize false", worked, {"LMSInitialize": "101"}, [[1, 2]], self.NOT_RECORDED,
             dict(result=["Хорошо."], line=LOST % "ошибка 101")),
            ("LMSSetValue throws", worked, {"LMSSetValue": "throw"}, [[1]], self.NOT_RECORDED,
             dict(progress="Вопрос 2 из 2", line=LOST % "ошибка без номера")),
            ("LMSSetValue false", worked, {"LMSSetValue": "405"}, [[1, 2]], self.NOT_RECORDED,
             dict(result=["Хорошо."], line=LOST % "ошибка 405")),
            ("LMSCommit false: LMSFinish still stores", worked, {"LMSCommit": "391"}, [[1, 2]],
             self.FINISHED, dict(result=["Хорошо."], line=LOST % "ошибка 391")),
            ("LMSCommit throws", worked, {"LMSCommit": "throw"}, [[1]], dict(
                status="incomplete", exit="suspend", kept="presses=1"),
             dict(progress="Вопрос 2 из 2", line=LOST % "ошибка без номера")),
        ]
        if not os.path.exists(self.runtime):
            self.skipTest("scorm-again is not installed (npm install in tests/web)")
        for i, (name, test, failing, visits, kept, shown) in enumerate(cases):
            with self.subTest(name):
                site = self.package("run%d" % i, test_lines(**test))
                shutil.copy(self.runtime, site)
                start = None
                for actions in visits:
                    stored, seen = self.visit(site, start, failing, actions)
                    start = self.next_start(stored)
                for key, value in shown.items():
                    self.assertEqual(seen[key], value, key)
                if stored is None:  # nothing committed: the platform's own start
                    stored = dict(core=dict(lesson_status="not attempted", exit="", score=dict(
                        raw="", min="", max=""), session_time=""), suspend_data="",
                        comments="", interactions={})
                core = stored["core"]
                interactions = [stored["interactions"][k] for k in sorted(
                    stored["interactions"], key=int)]
                found = dict(status=core["lesson_status"], exit=core["exit"],
                             raw=core["score"]["raw"], kept=stored["suspend_data"],
                             comments=stored["comments"], answers=[
                                 (a["id"], a["student_response"])
                                 for a in interactions])
                self.assertEqual({k: found[k] for k in kept}, kept)
                if found["raw"]:
                    self.assertEqual((core["score"]["min"], core["score"]["max"]), ("0", "100"))
                if found["status"] != "not attempted":
                    self.assertRegex(core["session_time"], r"^\d\d:\d\d:\d\d(\.\d\d?)?$")
                for answer in interactions:
                    self.assertRegex(answer["time"], r"^\d\d:\d\d:\d\d$")
                    self.assertEqual(answer["result"], "")


def tearDownModule():
    webtest.quit_browsers()


if __name__ == "__main__":
    unittest.main(verbosity=2)
