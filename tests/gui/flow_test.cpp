// Which windows each command and event of the program shows and hides.
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "ab.h"
#include "core_support.h"
#include "encoding.h"
#include "errorform.h"
#include "gui_support.h"
#include "help_viewer.h"
#include "manag.h"
#include "redactor.h"
#include "resform.h"
#include "userform.h"
#include "window_frames.h"

namespace {

// Gives a manager command the way a person does: a button is clicked, a menu
// item is chosen.
void command(Program& program, const QString& name) {
    TManag* manag = program.windows->manager();
    if (auto* button = manag->findChild<QPushButton*>(name)) {
        QTest::mouseClick(button, Qt::LeftButton);
    } else if (auto* item = manag->findChild<QAction*>(name)) {
        item->trigger();
    } else {
        QFAIL(qPrintable("no manager command " + name));
    }
}

// The editor open beside the manager: a new test whose preview was closed.
void editorBesideManager(Program& program) {
    QTest::mouseClick(ctl::button(program.windows->manager(), "Button1"), Qt::LeftButton);
    program.windows->testWindow()->close();
    QCOMPARE(program.visibleWindows(), (QStringList{"Manag", "Redactor"}));
}

}  // namespace

class FlowTest : public QObject {
    Q_OBJECT
  private slots:
    void startShowsOnlyTheManager();
    void managerCommands_data();
    void managerCommands();
    void newTestPreviewShowsTheNewTestOnly();
    void runHidesAnEditorOpenBesideTheManager();
    void editorCloseReturnsToTheManager_data();
    void editorCloseReturnsToTheManager();
    void testWindowCloseBox_data();
    void testWindowCloseBox();
    void aboutWindow_data();
    void aboutWindow();
    void helpAlwaysAsksForTheSameFile();
    void quitIsRequestedAtOnce_data();
    void quitIsRequestedAtOnce();
    void quitEndsTheEventLoopInEveryState_data();
    void quitEndsTheEventLoopInEveryState();
    void openDialogOffersTheLastChosenName();
    void copiesLeftByAnInterruptedSaveAreToldOnce();
};

void FlowTest::startShowsOnlyTheManager() {
    Program program;
    QCOMPARE(program.visibleWindows(), QStringList{"Manag"});
    QCOMPARE(QApplication::activeWindow(), static_cast<QWidget*>(program.windows->manager()));
    QCOMPARE(program.quitRequests, 0);
}

void FlowTest::managerCommands_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<bool>("chooseFile");
    QTest::addColumn<QStringList>("visible");

    QTest::addColumn<QString>("active");  // the window shown last is the active one

    const QStringList editorAndPreview{"Redactor", "UserForm"};
    QTest::newRow("Новый тест") << "Button1" << false << editorAndPreview << "Redactor";
    QTest::newRow("menu Новый") << "N3" << false << editorAndPreview << "Redactor";
    QTest::newRow("Редактор, file chosen")
        << "Button2" << true << QStringList{"Redactor"} << "Redactor";
    QTest::newRow("menu Редактировать, file chosen")
        << "N4" << true << QStringList{"Redactor"} << "Redactor";
    QTest::newRow("Запустить, file chosen")
        << "Button3" << true << QStringList{"UserForm"} << "UserForm";
    QTest::newRow("menu Запустить, file chosen")
        << "N5" << true << QStringList{"UserForm"} << "UserForm";
    QTest::newRow("Редактор, cancelled") << "Button2" << false << QStringList{"Manag"} << "Manag";
    QTest::newRow("menu Редактировать, cancelled")
        << "N4" << false << QStringList{"Manag"} << "Manag";
    QTest::newRow("Запустить, cancelled") << "Button3" << false << QStringList{"Manag"} << "Manag";
    QTest::newRow("menu Запустить, cancelled") << "N5" << false << QStringList{"Manag"} << "Manag";
}

void FlowTest::managerCommands() {
    QFETCH(QString, command);
    QFETCH(bool, chooseFile);
    QFETCH(QStringList, visible);
    QFETCH(QString, active);

    Program program;
    if (chooseFile) program.platform.openAnswers.push_back(program.writeExample());
    const QString titleBefore = ctl::label(program.windows->testWindow(), "Zagolov")->text();

    ::command(program, command);

    QCOMPARE(program.visibleWindows(), visible);
    QVERIFY(QApplication::activeWindow());
    QCOMPARE(QApplication::activeWindow()->objectName(), active);
    QVERIFY(program.platform.errors.isEmpty());
    if (visible == QStringList{"Manag"}) {
        // A cancelled dialog changes nothing at all.
        QCOMPARE(program.platform.openProposals.size(), 1);
        QVERIFY(program.session().currentFileName().empty());
        QCOMPARE(ctl::label(program.windows->testWindow(), "Zagolov")->text(), titleBefore);
        QCOMPARE(program.session().running().messageLines().count(), 0);
    }
}

void FlowTest::newTestPreviewShowsTheNewTestOnly() {
    Program program;
    auto& w = *program.windows;
    // A finished run leaves every button enabled; the preview must disable them all.
    program.platform.openAnswers.push_back(program.writeTest(
        "run.tst", {"Info=(1\x05"
                    "2\x05"
                    "3)",
                    "Title=(Физика\x05Петров\x05Зачёт)", "Buttons=(А\x05Б)", "Questions:", "Q",
                    "Variants: all", "Первый", "Второй", "Numbers:", "0,1,", "Message:", "$"}));
    QTest::mouseClick(ctl::button(w.manager(), "Button3"), Qt::LeftButton);
    w.testWindow()->close();

    QTest::mouseClick(ctl::button(w.manager(), "Button1"), Qt::LeftButton);
    QCOMPARE(program.visibleWindows(), (QStringList{"Redactor", "UserForm"}));
    // Nothing of the run is left in the preview.
    QCOMPARE(w.testWindow()->windowTitle(), QString("Тест"));
    QCOMPARE(ctl::label(w.testWindow(), "Label1")->text(), QString("Автор теста: Неизвестен"));
    for (int k = 1; k <= 2; ++k) {
        QCOMPARE(ctl::label(w.testWindow(), "TextVar", k)->text(), QString());
        QCOMPARE(ctl::button(w.testWindow(), k)->text(), QStringList({"Да", "Нет"})[k - 1]);
    }
    for (int k = 1; k <= 6; ++k)
        QVERIFY2(!ctl::button(w.testWindow(), k)->isEnabled(), qPrintable(QString::number(k)));
    QCOMPARE(fileNameText(program.session().currentFileName()), QString("test"));

    // A click on a disabled preview button scores nothing and moves nowhere.
    const int question = program.session().document().currentQuestion;
    QTest::mouseClick(ctl::button(w.testWindow(), 1), Qt::LeftButton);
    QCOMPARE(program.session().document().currentQuestion, question);
    QCOMPARE(program.visibleWindows(), (QStringList{"Redactor", "UserForm"}));
}

void FlowTest::runHidesAnEditorOpenBesideTheManager() {
    Program program;
    editorBesideManager(program);
    program.platform.openAnswers.push_back(program.writeExample());
    QTest::mouseClick(ctl::button(program.windows->manager(), "Button3"), Qt::LeftButton);
    QCOMPARE(program.visibleWindows(), QStringList{"UserForm"});
    for (int k = 1; k <= 6; ++k)
        QVERIFY(ctl::button(program.windows->testWindow(), k)->isEnabled());
}

void FlowTest::editorCloseReturnsToTheManager_data() {
    QTest::addColumn<QString>("command");
    QTest::newRow("new test with its preview") << "Button1";
    QTest::newRow("test file opened for editing") << "Button2";
}

void FlowTest::editorCloseReturnsToTheManager() {
    QFETCH(QString, command);
    Program program;
    program.platform.openAnswers.push_back(program.writeExample());
    ::command(program, command);
    QVERIFY(program.windows->editor()->isVisible());

    QTest::mouseClick(ctl::button(program.windows->editor(), "Button12"), Qt::LeftButton);
    QCOMPARE(program.visibleWindows(), QStringList{"Manag"});
    QVERIFY(program.platform.errors.isEmpty());
}

void FlowTest::testWindowCloseBox_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<QStringList>("visibleAfterClose");
    QTest::newRow("run abandoned") << "Button3" << QStringList{"Manag"};
    QTest::newRow("preview closed, the editor stays")
        << "Button1" << QStringList{"Manag", "Redactor"};
}

void FlowTest::testWindowCloseBox() {
    QFETCH(QString, command);
    QFETCH(QStringList, visibleAfterClose);
    Program program;
    program.platform.openAnswers.push_back(program.writeExample());
    ::command(program, command);
    QVERIFY(program.windows->testWindow()->isVisible());

    QVERIFY(program.windows->testWindow()->close());
    QCOMPARE(program.visibleWindows(), visibleAfterClose);
    QCOMPARE(program.quitRequests, 0);
}

void FlowTest::aboutWindow_data() {
    QTest::addColumn<bool>("byEnterKey");
    QTest::newRow("OK clicked") << false;
    QTest::newRow("Enter pressed") << true;
}

void FlowTest::aboutWindow() {
    QFETCH(bool, byEnterKey);
    Program program;
    auto& w = *program.windows;

    ctl::action(w.manager(), "N8")->trigger();
    QCOMPARE(program.visibleWindows(), (QStringList{"Manag", "AB"}));
    ctl::action(w.manager(), "N8")->trigger();  // already shown: nothing changes
    QCOMPARE(program.visibleWindows(), (QStringList{"Manag", "AB"}));

    // The About window is not modal: the manager's commands go on working beside it.
    QTest::mouseClick(ctl::button(w.manager(), "Button1"), Qt::LeftButton);
    QCOMPARE(program.visibleWindows(), (QStringList{"Redactor", "UserForm", "AB"}));
    QTest::mouseClick(ctl::button(w.editor(), "Button12"), Qt::LeftButton);
    QCOMPARE(program.visibleWindows(), (QStringList{"Manag", "AB"}));

    if (byEnterKey) {
        w.about()->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.about()));
        QWidget* focus = QApplication::focusWidget();
        QVERIFY(focus && focus->window() == w.about());
        QTest::keyClick(focus, Qt::Key_Return);
    } else {
        QTest::mouseClick(ctl::button(w.about(), "OKButton"), Qt::LeftButton);
    }
    QCOMPARE(program.visibleWindows(), QStringList{"Manag"});

    // Its close box is refused: only "OK" leaves it.
    ctl::action(w.manager(), "N8")->trigger();
    QVERIFY(!w.about()->close());
    QVERIFY(w.about()->isVisible());
}

void FlowTest::helpAlwaysAsksForTheSameFile() {
    Program program;
    auto& w = *program.windows;
    ctl::action(w.manager(), "N7")->trigger();
    QCOMPARE(program.visibleWindows(), QStringList{"Manag"});

    program.platform.openAnswers.push_back(program.writeExample("other.hlp.tst"));
    QTest::mouseClick(ctl::button(w.manager(), "Button2"), Qt::LeftButton);
    QTest::mouseClick(ctl::button(w.editor(), "Button12"), Qt::LeftButton);
    ctl::action(w.manager(), "N7")->trigger();
    editorBesideManager(program);
    ctl::action(w.manager(), "N7")->trigger();

    QCOMPARE(program.platform.helpRequests,
             (QStringList{"testhelp.hlp", "testhelp.hlp", "testhelp.hlp"}));
    QCOMPARE(program.visibleWindows(), (QStringList{"Manag", "Redactor"}));
}

void FlowTest::quitIsRequestedAtOnce_data() {
    QTest::addColumn<bool>("closeBox");
    QTest::addColumn<bool>("editorOpen");
    QTest::newRow("Выход") << false << false;
    QTest::newRow("Выход with the editor open") << false << true;
    QTest::newRow("close box") << true << false;
    QTest::newRow("close box with the editor open") << true << true;
}

void FlowTest::quitIsRequestedAtOnce() {
    QFETCH(bool, closeBox);
    QFETCH(bool, editorOpen);
    Program program;
    if (editorOpen) editorBesideManager(program);

    if (closeBox) {
        QVERIFY(program.windows->manager()->close());
    } else {
        ctl::action(program.windows->manager(), "N6")->trigger();
    }
    QCOMPARE(program.quitRequests, 1);
    // Nothing is asked on the way out.
    QVERIFY(program.platform.informations.isEmpty());
    QVERIFY(program.platform.errors.isEmpty());
    QVERIFY(program.platform.saveTestProposals.isEmpty());
}

void FlowTest::quitEndsTheEventLoopInEveryState_data() {
    QTest::addColumn<QString>("state");
    QTest::addColumn<bool>("closeBox");
    for (const char* state : {"About", "editor", "result", "error", "help"}) {
        QTest::newRow(qPrintable(QString("Выход, %1 open").arg(state))) << state << false;
        QTest::newRow(qPrintable(QString("close box, %1 open").arg(state))) << state << true;
    }
}

void FlowTest::quitEndsTheEventLoopInEveryState() {
    QFETCH(QString, state);
    QFETCH(bool, closeBox);
    Program program(true);
    auto& w = *program.windows;
    HelpViewer help;
    if (state == "About") {
        ctl::action(w.manager(), "N8")->trigger();
    } else if (state == "editor") {
        editorBesideManager(program);
    } else if (state == "help") {
        help.show();
    } else {
        // The example's first buttons score 2, a result; a one-question test
        // whose only range misses its 5 points ends in the error window.
        program.platform.openAnswers.push_back(
            state == "result" ? program.writeExample()
                              : program.writeTest("miss.tst", {"Info=(1\x05"
                                                               "1\x05"
                                                               "1)",
                                                               "Title=(T\x05"
                                                               "A\x05"
                                                               "C)",
                                                               "Buttons=(Да)", "Questions:", "Q",
                                                               "Variants: none", "Numbers:", "5,",
                                                               "Message:", "=0-1", "$"}));
        ctl::button(w.manager(), "Button3")->click();
        ctl::button(w.testWindow(), 1)->click();
        if (state == "result") ctl::button(w.testWindow(), 1)->click();
        QVERIFY(state == "result" ? w.resultWindow()->isVisible() : w.errorWindow()->isVisible());
    }
    if (!w.manager()->isVisible()) showWindow(w.manager());

    QTimer::singleShot(0, [&] {
        if (closeBox) {
            w.manager()->close();
        } else {
            ctl::action(w.manager(), "N6")->trigger();
        }
    });
    QElapsedTimer clock;
    clock.start();
    QTimer::singleShot(1000, [] { QCoreApplication::exit(1); });  // the loop would otherwise run on
    QCOMPARE(QApplication::exec(), 0);
    QVERIFY(clock.elapsed() < 1000);
}

void FlowTest::openDialogOffersTheLastChosenName() {
    Program program;
    auto& w = *program.windows;
    const QString first = program.writeExample("first.tst");
    const QString second = program.writeExample("second.tst");
    auto& answers = program.platform.openAnswers;

    answers.push_back(first);
    ctl::action(w.manager(), "N4")->trigger();  // Редактировать
    QTest::mouseClick(ctl::button(w.editor(), "Button12"), Qt::LeftButton);
    answers.push_back(std::nullopt);
    QTest::mouseClick(ctl::button(w.manager(), "Button3"),
                      Qt::LeftButton);  // cancelled: the name stays
    answers.push_back(second);
    QTest::mouseClick(ctl::button(w.manager(), "Button3"), Qt::LeftButton);
    w.testWindow()->close();
    QTest::mouseClick(ctl::button(w.manager(), "Button2"),
                      Qt::LeftButton);  // nothing queued: cancelled
    QTest::mouseClick(ctl::button(w.manager(), "Button1"),
                      Qt::LeftButton);  // a new test does not touch the dialog
    QTest::mouseClick(ctl::button(w.editor(), "Button12"), Qt::LeftButton);
    ctl::action(w.manager(), "N5")->trigger();

    QCOMPARE(program.platform.openProposals, (QStringList{"", first, first, second, second}));
    // The run kept the name opened for editing; the new test replaced it.
    QCOMPARE(fileNameText(program.session().currentFileName()), QString("test"));
}

void FlowTest::copiesLeftByAnInterruptedSaveAreToldOnce() {
    Program program;
    const qvtest::CopiesFolderAt copies(program.path("cache").toStdString());
    QDir().mkpath(program.path("cache/quorvane"));
    const QString copy = program.path("cache/quorvane/quiz-abc123.tst");
    QFile(copy).open(QIODevice::WriteOnly);
    QFile record(copy + ".source");
    QVERIFY(record.open(QIODevice::WriteOnly));
    record.write("/home/teacher/quiz.tst");
    record.close();

    program.windows->reportInterruptedSaves();
    program.windows->reportInterruptedSaves();
    QCOMPARE(program.platform.informations.size(), 1);
    QVERIFY(program.platform.informations[0].contains("«/home/teacher/quiz.tst»"));
    QVERIFY(program.platform.informations[0].contains("«" + copy + "»"));
    QVERIFY(QFile::exists(copy));  // the copy stays: nothing is restored by itself
}

QTEST_MAIN(FlowTest)
#include "flow_test.moc"
