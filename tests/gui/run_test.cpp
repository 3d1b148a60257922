// Taking a test from the open dialog to a saved result file.
#include <QPlainTextEdit>
#include <QPushButton>
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

    QTest::mouseClick(w.Manag->Button3, Qt::LeftButton);
    QCOMPARE(program.visibleWindows(), QStringList{"UserForm"});
    QCOMPARE(w.UserForm->windowTitle(), QString("Тест"));
    QCOMPARE(w.UserForm->Zagolov->text(), QString("Проверка знаний"));
    QCOMPARE(w.UserForm->Memo1->toPlainText(), QString("Земля круглая?"));
    QVERIFY(w.UserForm->Button3->isVisibleTo(w.UserForm));
    QVERIFY(!w.UserForm->Button4->isVisibleTo(w.UserForm));

    QTest::mouseClick(w.UserForm->Button1, Qt::LeftButton);  // 2 points
    QCOMPARE(w.UserForm->Memo1->toPlainText(), QString("Луна больше Земли?"));
    QCOMPARE(w.UserForm->TextVar1->text(), QString("Больше"));
    QTest::mouseClick(w.UserForm->Button2, Qt::LeftButton);  // 2 points: total 4

    QCOMPARE(program.visibleWindows(), QStringList{"ResForm"});
    QCOMPARE(w.ResForm->Memo1->toPlainText(), QString("\nХороший результат."));

    program.platform.saveResultAnswers.push_back(program.path("итог"));
    QTest::mouseClick(w.ResForm->Button1, Qt::LeftButton);
    QCOMPARE(program.platform.saveResultProposals, QStringList{"Результат тестирования"});
    QCOMPARE(Program::bytes(program.path("итог.txt")), fileBytes({"Хороший результат."}));
    QVERIFY(program.platform.errors.isEmpty());

    QTest::mouseClick(w.ResForm->Button3, Qt::LeftButton);
    QCOMPARE(program.visibleWindows(), QStringList{"Manag"});
    QVERIFY(w.ResForm->Memo1->toPlainText().isEmpty());
}

QTEST_MAIN(RunTest)
#include "run_test.moc"
