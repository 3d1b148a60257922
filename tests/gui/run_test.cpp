// Taking a test from the open dialog to a saved result file.
#include <QTest>

#include "gui_support.h"
#include "manag.h"
#include "resform.h"
#include "userform.h"

class RunTest : public QObject {
    Q_OBJECT
  private slots:
    void exampleTakenToSavedResult();
};

void RunTest::exampleTakenToSavedResult() {
    Program program;
    auto& w = *program.windows;
    program.platform.openAnswers.push_back(program.writeExample());

    QTest::mouseClick(ctl::button(w.manager(), "Button3"), Qt::LeftButton);
    QCOMPARE(program.visibleWindows(), QStringList{"UserForm"});
    QCOMPARE(w.testWindow()->windowTitle(), QString("Тест"));
    QCOMPARE(ctl::label(w.testWindow(), "Zagolov")->text(), QString("Проверка знаний"));
    QCOMPARE(ctl::memo(w.testWindow(), "Memo1")->toPlainText(), QString("Земля круглая?"));
    QVERIFY(ctl::button(w.testWindow(), 3)->isVisibleTo(w.testWindow()));
    QVERIFY(!ctl::button(w.testWindow(), 4)->isVisibleTo(w.testWindow()));

    QTest::mouseClick(ctl::button(w.testWindow(), 1), Qt::LeftButton);  // 2 points
    QCOMPARE(ctl::memo(w.testWindow(), "Memo1")->toPlainText(), QString("Луна больше Земли?"));
    QCOMPARE(ctl::label(w.testWindow(), "TextVar", 1)->text(), QString("Больше"));
    QTest::mouseClick(ctl::button(w.testWindow(), 2), Qt::LeftButton);  // 2 points: total 4

    QCOMPARE(program.visibleWindows(), QStringList{"ResForm"});
    QCOMPARE(ctl::memo(w.resultWindow(), "Memo1")->toPlainText(), QString("\nХороший результат."));

    program.platform.saveResultAnswers.push_back(program.path("итог"));
    QTest::mouseClick(ctl::button(w.resultWindow(), "Button1"), Qt::LeftButton);
    QCOMPARE(program.platform.saveResultProposals, QStringList{"Результат тестирования"});
    QCOMPARE(Program::bytes(program.path("итог.txt")), fileBytes({"Хороший результат."}));
    QVERIFY(program.platform.errors.isEmpty());

    QTest::mouseClick(ctl::button(w.resultWindow(), "Button3"), Qt::LeftButton);
    QCOMPARE(program.visibleWindows(), QStringList{"Manag"});
    QVERIFY(ctl::memo(w.resultWindow(), "Memo1")->toPlainText().isEmpty());
}

QTEST_MAIN(RunTest)
#include "run_test.moc"
