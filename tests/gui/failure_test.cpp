// Failures inside commands: the message the person reads, and the windows
// and values the abandoned command leaves behind.
#include <QApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

#include "cp1251.h"
#include "encoding.h"
#include "errorform.h"
#include "errors.h"
#include "gui_support.h"
#include "manag.h"
#include "redactor.h"
#include "resform.h"
#include "run_journal.h"
#include "userform.h"

namespace {

// A test with two buttons, questions "Вопрос 1".., and one points line built
// from `points` (one "a,b," group per question).
std::vector<std::string> twoButtonTest(const std::vector<std::string>& points,
                                       const std::vector<std::string>& messages = {"=0-100", "Итог",
                                                                                   "$"},
                                       const std::string& info = {}) {
    const auto questions = points.size();
    std::vector<std::string> lines{info.empty() ? "Info=(" + std::to_string(questions) +
                                                      "\x05"
                                                      "2\x05"
                                                      "1)"
                                                : info,
                                   "Title=(Заголовок\x05Автор\x05Окно)", "Buttons=(Да\x05Нет)",
                                   "Questions:"};
    for (std::size_t q = 1; q <= questions; ++q) lines.push_back("Вопрос " + std::to_string(q));
    lines.push_back("Variants: none");
    lines.push_back("Numbers:");
    std::string line;
    for (const auto& group : points) line += group;
    lines.push_back(line);
    lines.push_back("Message:");
    lines.insert(lines.end(), messages.begin(), messages.end());
    return lines;
}

void startRun(Program& program, const QString& file) {
    program.platform.openAnswers.push_back(file);
    QTest::mouseClick(ctl::button(program.windows->manager(), "Button3"), Qt::LeftButton);
}

// A platform whose error box takes the activation while it is open and gives
// it up when closed, as a real message box does.
class BoxPlatform : public FakePlatform {
  public:
    void showError(const QString& message) override {
        FakePlatform::showError(message);
        box.show();
        box.activateWindow();
        boxBecameActive = QTest::qWaitForWindowActive(&box);
        box.hide();
    }
    QWidget box;
    bool boxBecameActive = false;
};

}  // namespace

class FailureTest : public QObject {
    Q_OBJECT
  private slots:
    void unreadableFile_data();
    void unreadableFile();
    void badInfoField_data();
    void badInfoField();
    void failedRunStartSkipsTheRest();
    void aFailedLoadIsNeitherAnsweredNorOverwritten();
    void badPointsTextKeepsTheQuestion_data();
    void badPointsTextKeepsTheQuestion();
    void scoreThatWouldOverflowIsRefused();
    void badRangeLineKeepsTheLastQuestion();
    void countsBeyondTheLimitsAreRefused_data();
    void countsBeyondTheLimitsAreRefused();
    void activeWindowAtAndAfterAFailure();
    void handlerShowsMessagesWithTheFullStopRule_data();
    void handlerShowsMessagesWithTheFullStopRule();
    void silentFailureShowsNothing();
    void handlerReactivatesTheRememberedWindow();
};

void FailureTest::unreadableFile_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QStringList>("visible");
    QTest::newRow("Запустить, missing file") << "run"
                                             << "missing.tst"
                                             << "File not found." << QStringList{"Manag"};
    QTest::newRow("Редактор, missing file") << "edit"
                                            << "missing.tst"
                                            << "File not found." << QStringList{"Redactor"};
    QTest::newRow("Запустить, missing folder") << "run"
                                               << "nofolder/missing.tst"
                                               << "Invalid filename." << QStringList{"Manag"};
    QTest::newRow("Редактор, missing folder") << "edit"
                                              << "nofolder/missing.tst"
                                              << "Invalid filename." << QStringList{"Redactor"};
}

void FailureTest::unreadableFile() {
    QFETCH(QString, command);
    QFETCH(QString, name);
    QFETCH(QString, message);
    QFETCH(QStringList, visible);
    Program program;
    auto& w = *program.windows;
    program.platform.openAnswers.push_back(program.path(name));
    const bool run = command == "run";
    w.runJournal().recordForThisStart(program.path("journal"));

    QTest::mouseClick(ctl::button(w.manager(), run ? "Button3" : "Button2"), Qt::LeftButton);

    QCOMPARE(program.platform.errors, QStringList{message});
    QCOMPARE(program.platform.takerNameQuestions, 0);  // a test that cannot be taken asks no name
    QCOMPARE(program.visibleWindows(), visible);
    // Editing takes the name before it reads; a run leaves it alone.
    QCOMPARE(fileNameText(program.session().currentFileName()),
             run ? QString() : program.path(name));

    // A failed run is over at its message; the editor's way back is "Закрыть".
    if (!run) QTest::mouseClick(ctl::button(w.editor(), "Button12"), Qt::LeftButton);
    QCOMPARE(program.visibleWindows(), QStringList{"Manag"});
}

void FailureTest::badInfoField_data() {
    QTest::addColumn<QString>("info");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("questionCount");  // what the load had stored before failing
    QTest::newRow("question count") << "Info=(x\x05"
                                       "2\x05"
                                       "1)"
                                    << "'x' is not a valid integer value." << 0;
    QTest::newRow("button count") << "Info=(3\x05"
                                     "2 \x05"
                                     "1)"
                                  << "'2 ' is not a valid integer value." << 3;
    QTest::newRow("variant mode empty") << "Info=(4\x05"
                                           "2\x05)"
                                        << "'' is not a valid integer value." << 4;
}

void FailureTest::badInfoField() {
    QFETCH(QString, info);
    QFETCH(QString, message);
    QFETCH(int, questionCount);
    for (const bool run : {true, false}) {
        Program program;
        auto& w = *program.windows;
        const QString file =
            program.writeTest("bad.tst", twoButtonTest({"1,0,"}, {"$"}, info.toStdString()));
        program.platform.openAnswers.push_back(file);
        QTest::mouseClick(ctl::button(w.manager(), run ? "Button3" : "Button2"), Qt::LeftButton);

        QCOMPARE(program.platform.errors, QStringList{message});
        QCOMPARE(program.visibleWindows(), QStringList{run ? "Manag" : "Redactor"});
        // Editing first resets the count to 1; a run starts from the empty document.
        const int expected = questionCount == 0 ? (run ? 0 : 1) : questionCount;
        QCOMPARE(program.session().document().questionCount, expected);
    }
}

void FailureTest::failedRunStartSkipsTheRest() {
    Program program;
    auto& w = *program.windows;
    QTest::mouseClick(ctl::button(w.manager(), "Button1"),
                      Qt::LeftButton);  // the preview disables the buttons
    QTest::mouseClick(ctl::button(w.editor(), "Button12"), Qt::LeftButton);
    const QString shownBefore = ctl::memo(w.testWindow(), "Memo1")->toPlainText();

    // A file that ends after its Title line is no failure: the missing lines
    // read as empty, and the run is set up in full...
    startRun(program, program.writeTest("short.tst", {"Info=(1\x05"
                                                      "3\x05"
                                                      "1)",
                                                      "Title=(Новый\x05"
                                                      "A\x05"
                                                      "C)"}));
    QVERIFY(program.platform.errors.isEmpty());
    QCOMPARE(ctl::label(w.testWindow(), "Zagolov")->text(), QString("Новый"));
    QVERIFY(ctl::button(w.testWindow(), 3)->isVisibleTo(w.testWindow()));
    QCOMPARE(ctl::button(w.testWindow(), 1)->text(), QString());
    QVERIFY(ctl::memo(w.testWindow(), "Memo1")->toPlainText().isEmpty());
    QVERIFY(ctl::button(w.testWindow(), 1)->isEnabled());
    // ...though its empty points fail when pressed.
    QTest::mouseClick(ctl::button(w.testWindow(), 1), Qt::LeftButton);
    QCOMPARE(program.platform.errors, QStringList{"'' is not a valid integer value."});
    QVERIFY(w.testWindow()->close());

    QTest::mouseClick(ctl::button(w.manager(), "Button1"), Qt::LeftButton);
    QTest::mouseClick(ctl::button(w.editor(), "Button12"), Qt::LeftButton);
    startRun(program, program.writeTest("bad2.tst", twoButtonTest({"1,0,"}, {"$"},
                                                                  "Info=(1\x05"
                                                                  "2\x05"
                                                                  "z)")));
    QCOMPARE(program.platform.errors.last(), QString("'z' is not a valid integer value."));
    // The failed run is over: the manager is back, and nothing after the Info
    // line ran (the hidden window keeps the preview's title, question and
    // disabled buttons).
    QCOMPARE(program.visibleWindows(), QStringList{"Manag"});
    QCOMPARE(ctl::label(w.testWindow(), "Zagolov")->text(), QString("Это текст заголовка"));
    QCOMPARE(ctl::memo(w.testWindow(), "Memo1")->toPlainText(), shownBefore);
    for (int k = 1; k <= 6; ++k) QVERIFY(!ctl::button(w.testWindow(), k)->isEnabled());
    QCOMPARE(program.session().running().state().score, 0);
    QCOMPARE(program.session().document().currentQuestion, 1);
}

void FailureTest::aFailedLoadIsNeitherAnsweredNorOverwritten() {
    Program program;
    auto& w = *program.windows;
    startRun(program, program.writeExample());
    QVERIFY(w.testWindow()->close());
    // A run whose file fails leaves the last test's question unanswerable.
    startRun(program, program.writeTest("bad.tst", twoButtonTest({"1,0,"}, {"$"},
                                                                 "Info=(1\x05"
                                                                 "2\x05"
                                                                 "3 )")));
    QCOMPARE(program.platform.errors.size(), 1);
    for (int k = 1; k <= 6; ++k) QVERIFY(!ctl::button(w.testWindow(), k)->isEnabled());
    QVERIFY(w.testWindow()->close());

    // Saving over a file whose load for editing failed asks first, naming it.
    const QString file = program.path("bad.tst");
    const QByteArray before = Program::bytes(file);
    program.platform.openAnswers.push_back(file);
    QTest::mouseClick(ctl::button(w.manager(), "Button2"), Qt::LeftButton);
    QCOMPARE(program.platform.errors.size(), 2);
    for (const bool yes : {false, true}) {
        program.platform.yesNoAnswers.push_back(yes);
        program.platform.saveTestAnswers.push_back(
            fileNameText(program.session().currentFileName()));
        QTest::mouseClick(ctl::button(w.editor(), "Button10"), Qt::LeftButton);
        QVERIFY(program.platform.questions.last().contains("«" + file + "»"));
        QCOMPARE(Program::bytes(file) == before, !yes);
    }
    QCOMPARE(program.platform.questions.size(), 2);
    // Once replaced, it is the editor's test, and saving it again asks nothing.
    program.platform.saveTestAnswers.push_back(file);
    QTest::mouseClick(ctl::button(w.editor(), "Button10"), Qt::LeftButton);
    QCOMPARE(program.platform.questions.size(), 2);
    QCOMPARE(program.platform.errors.size(), 2);
}

void FailureTest::badPointsTextKeepsTheQuestion_data() {
    QTest::addColumn<QString>("points");
    QTest::addColumn<QString>("message");
    QTest::newRow("letters") << "abc"
                             << "'abc' is not a valid integer value.";
    QTest::newRow("empty") << ""
                           << "'' is not a valid integer value.";
    QTest::newRow("trailing blank") << "4 "
                                    << "'4 ' is not a valid integer value.";
    QTest::newRow("tab before digits") << "\t4"
                                       << "'\t4' is not a valid integer value.";
}

void FailureTest::badPointsTextKeepsTheQuestion() {
    QFETCH(QString, points);
    QFETCH(QString, message);
    Program program;
    auto& w = *program.windows;
    const std::string bad = points.toStdString();
    startRun(program, program.writeTest("t.tst", twoButtonTest({"2,1,", bad + ",1,", "0,5,"})));

    QTest::mouseClick(ctl::button(w.testWindow(), 1), Qt::LeftButton);  // question 1: 2 points
    QCOMPARE(program.session().running().state().score, 2);
    QTest::mouseClick(ctl::button(w.testWindow(), 1), Qt::LeftButton);  // question 2: the bad text

    QCOMPARE(program.platform.errors, QStringList{message});
    QCOMPARE(program.session().running().state().score, 2);
    QCOMPARE(program.session().document().currentQuestion, 2);
    QCOMPARE(ctl::memo(w.testWindow(), "Memo1")->toPlainText(), QString("Вопрос 2"));
    QCOMPARE(program.visibleWindows(), QStringList{"UserForm"});

    // Another button still answers the same question.
    QTest::mouseClick(ctl::button(w.testWindow(), 2), Qt::LeftButton);
    QCOMPARE(program.session().running().state().score, 3);
    QCOMPARE(program.session().document().currentQuestion, 3);
    QCOMPARE(ctl::memo(w.testWindow(), "Memo1")->toPlainText(), QString("Вопрос 3"));
    QCOMPARE(program.platform.errors.size(), 1);
}

void FailureTest::scoreThatWouldOverflowIsRefused() {
    Program program;
    auto& w = *program.windows;
    startRun(program,
             program.writeTest("big.tst", twoButtonTest({"2147483647,0,", "1,-1,", "0,0,"})));
    QTest::mouseClick(ctl::button(w.testWindow(), 1), Qt::LeftButton);
    QCOMPARE(program.session().running().state().score, 2147483647);

    QTest::mouseClick(ctl::button(w.testWindow(), 1),
                      Qt::LeftButton);  // would wrap to a negative total
    QCOMPARE(program.platform.errors.size(), 1);
    QVERIFY(program.platform.errors.first().endsWith('.'));
    QCOMPARE(program.session().running().state().score, 2147483647);
    QCOMPARE(program.session().document().currentQuestion, 2);
    QCOMPARE(ctl::memo(w.testWindow(), "Memo1")->toPlainText(), QString("Вопрос 2"));

    QTest::mouseClick(ctl::button(w.testWindow(), 2), Qt::LeftButton);
    QCOMPARE(program.session().running().state().score, 2147483646);
    QCOMPARE(program.session().document().currentQuestion, 3);
}

void FailureTest::badRangeLineKeepsTheLastQuestion() {
    Program program;
    auto& w = *program.windows;
    startRun(program,
             program.writeTest("range.tst",
                               twoButtonTest({"1,0,", "3,0,"}, {"=0-10 баллов", "Хорошо", "$"})));
    QTest::mouseClick(ctl::button(w.testWindow(), 1), Qt::LeftButton);
    QTest::mouseClick(ctl::button(w.testWindow(), 1), Qt::LeftButton);  // the last answer: 4 points

    QCOMPARE(program.platform.errors, QStringList{"'10 б' is not a valid integer value."});
    QCOMPARE(program.visibleWindows(), QStringList{"UserForm"});
    QCOMPARE(program.session().running().state().score, 4);
    QCOMPARE(program.session().document().currentQuestion, 2);
    QCOMPARE(ctl::memo(w.testWindow(), "Memo1")->toPlainText(), QString("Вопрос 2"));
    QVERIFY(!program.session().running().state().rangeFound);

    // Each further press adds the points of the last question again.
    QTest::mouseClick(ctl::button(w.testWindow(), 1), Qt::LeftButton);
    QCOMPARE(program.session().running().state().score, 7);
    QCOMPARE(program.platform.errors.size(), 2);
    QCOMPARE(program.visibleWindows(), QStringList{"UserForm"});
    QVERIFY(ctl::memo(w.resultWindow(), "Memo1")->toPlainText().isEmpty());
}

void FailureTest::countsBeyondTheLimitsAreRefused_data() {
    QTest::addColumn<bool>("run");
    QTest::addColumn<QString>("info");
    QTest::addColumn<int>("messageLines");
    const QString questions501 =
        "Info=(501\x05"
        "2\x05"
        "1)";
    const QString buttons7 =
        "Info=(1\x05"
        "7\x05"
        "1)";
    const QString buttons0 =
        "Info=(1\x05"
        "0\x05"
        "1)";
    QTest::newRow("run, 501 questions") << true << questions501 << 2;
    QTest::newRow("edit, 501 questions") << false << questions501 << 2;
    QTest::newRow("run, 7 buttons") << true << buttons7 << 2;
    QTest::newRow("edit, 7 buttons") << false << buttons7 << 2;
    QTest::newRow("run, no buttons") << true << buttons0 << 2;
    QTest::newRow("run, 1001 message lines") << true << QString() << 1001;
}

void FailureTest::countsBeyondTheLimitsAreRefused() {
    QFETCH(bool, run);
    QFETCH(QString, info);
    QFETCH(int, messageLines);
    Program program;
    auto& w = *program.windows;
    std::vector<std::string> messages{"=0-5"};
    for (int i = 2; i < messageLines; ++i) messages.push_back("Строка " + std::to_string(i));
    messages.push_back("$");
    const QString file =
        program.writeTest("big.tst", twoButtonTest({"1,0,"}, messages, info.toStdString()));
    program.platform.openAnswers.push_back(file);

    QTest::mouseClick(ctl::button(w.manager(), run ? "Button3" : "Button2"), Qt::LeftButton);

    QCOMPARE(program.platform.errors.size(), 1);
    const QString shown = program.platform.errors.first();
    QVERIFY2(shown.contains(QRegularExpression("[А-Яа-я]{4}")), qPrintable(shown));
    QVERIFY2(shown.contains(QRegularExpression("500|6|1000")), qPrintable(shown));
    QVERIFY(shown.endsWith('.'));
    QVERIFY(program.session().document().questionCount <= qv::kMaxQuestions);
    QVERIFY(program.session().running().messageLines().count() <= qv::kMaxMessageLines);

    // The program goes on: back to the manager and a sound test runs to its end.
    if (run) {
        QVERIFY(w.testWindow()->close());
    } else {
        QTest::mouseClick(ctl::button(w.editor(), "Button12"), Qt::LeftButton);
    }
    startRun(program, program.writeExample());
    QTest::mouseClick(ctl::button(w.testWindow(), 1), Qt::LeftButton);
    QTest::mouseClick(ctl::button(w.testWindow(), 1), Qt::LeftButton);
    QCOMPARE(program.visibleWindows(), QStringList{"ResForm"});
    QCOMPARE(program.platform.errors.size(), 1);
}

void FailureTest::activeWindowAtAndAfterAFailure() {
    Program program;
    auto& w = *program.windows;

    // A missing file: the run has shown the test window, which is active when the error comes.
    startRun(program, program.path("missing.tst"));
    QCOMPARE(program.platform.activeAtError.size(), std::size_t{1});
    QCOMPARE(program.platform.activeAtError[0], static_cast<QWidget*>(w.testWindow()));
    QVERIFY(QTest::qWaitForWindowActive(w.manager()));

    // A bad points text, pressed in the active test window.
    startRun(program, program.writeTest("t.tst", twoButtonTest({"x,0,"})));
    QVERIFY(QTest::qWaitForWindowActive(w.testWindow()));
    QTest::mouseClick(ctl::button(w.testWindow(), 1), Qt::LeftButton);
    QCOMPARE(program.platform.activeAtError.size(), std::size_t{2});
    QCOMPARE(program.platform.activeAtError[1], static_cast<QWidget*>(w.testWindow()));
    QCOMPARE(QApplication::activeWindow(), static_cast<QWidget*>(w.testWindow()));

    // A file that cannot be read for editing: the editor is the active window.
    w.testWindow()->close();
    program.platform.openAnswers.push_back(program.path("missing.tst"));
    QTest::mouseClick(ctl::button(w.manager(), "Button2"), Qt::LeftButton);
    QCOMPARE(program.platform.activeAtError.size(), std::size_t{3});
    QCOMPARE(program.platform.activeAtError[2], static_cast<QWidget*>(w.editor()));
}

void FailureTest::handlerShowsMessagesWithTheFullStopRule_data() {
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("shown");
    QTest::newRow("letter") << "File not found"
                            << "File not found.";
    QTest::newRow("Cyrillic я, the last code") << "Моя"
                                               << "Моя.";
    QTest::newRow("full stop") << "Готово."
                               << "Готово.";
    QTest::newRow("hyphen, just before the point") << "a-"
                                                   << "a-";
    QTest::newRow("closing bracket") << "(a)"
                                     << "(a)";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("memory ran out") << "bad_alloc"
                                    << "Недостаточно памяти.";
}

void FailureTest::handlerShowsMessagesWithTheFullStopRule() {
    QFETCH(QString, message);
    QFETCH(QString, shown);
    FakePlatform platform;
    FailureHandler handler(platform);
    const std::string bytes = qv::cp1251::fromUtf8(message.toStdString());
    int reached = 0;
    handler.run([&] {
        reached = 1;
        if (message == "bad_alloc") throw std::bad_alloc();
        throw qv::Exception(bytes);
    });
    QCOMPARE(reached, 1);
    QCOMPARE(platform.errors, QStringList{shown});
}

void FailureTest::silentFailureShowsNothing() {
    FakePlatform platform;
    FailureHandler handler(platform);
    bool after = false;
    handler.run([&] {
        throw qv::EAbort();
        after = true;  // never reached
    });
    handler.report(std::make_exception_ptr(qv::EAbort()));
    QVERIFY(!after);
    QVERIFY(platform.errors.isEmpty());

    // Other failures of the same handler are still shown.
    handler.report(std::make_exception_ptr(qv::EConvertError("'q' is not a valid integer value")));
    QCOMPARE(platform.errors, QStringList{"'q' is not a valid integer value."});
}

void FailureTest::handlerReactivatesTheRememberedWindow() {
    BoxPlatform platform;
    FailureHandler handler(platform);
    QWidget window;
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));

    handler.report(std::make_exception_ptr(qv::Exception("x")));

    QVERIFY(platform.boxBecameActive);
    QCOMPARE(platform.activeAtError, std::vector<QWidget*>{&window});
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QCOMPARE(QApplication::activeWindow(), &window);
}

QTEST_MAIN(FailureTest)
#include "failure_test.moc"
