// Tests opened from outside the program: named on the command line, checked
// there, or dropped on the manager window.
#include <QMimeData>
#include <QTest>
#include <QUrl>
#include <cstdio>

#include "command_line.h"
#include "gui_support.h"
#include "manag.h"
#include "userform.h"

using Action = CommandLine::Action;
Q_DECLARE_METATYPE(Action)

class OutsideTest : public QObject {
    Q_OBJECT
  private slots:
    void commandLine_data();
    void commandLine();
    void checkPrintsALineAFileAndExitsWithItsStatus();
    void aNamedOrDroppedFileIsTakenAsIfChosen();
};

void OutsideTest::commandLine_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<Action>("action");
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<bool>("windowless");
    const QStringList none;
    const QStringList a{"a.tst"};
    QTest::newRow("nothing: the manager") << none << Action::Start << none << false;
    QTest::newRow("a file: its run") << a << Action::Run << a << false;
    QTest::newRow("--edit") << QStringList{"--edit", "a.tst"} << Action::Edit << a << false;
    QTest::newRow("-e after the file") << QStringList{"a.tst", "-e"} << Action::Edit << a << false;
    QTest::newRow("the toolkit's own options")
        << QStringList{"-platform", "offscreen", "-style", "fusion", "-reverse", "a.tst"}
        << Action::Run << a << false;
    QTest::newRow("--check, several") << QStringList{"--check", "a.tst", "b.tst"} << Action::Check
                                      << QStringList{"a.tst", "b.tst"} << true;
    QTest::newRow("--help") << QStringList{"--help"} << Action::Help << none << true;
    QTest::newRow("-v") << QStringList{"-v"} << Action::Version << none << true;
    QTest::newRow("a second file")
        << QStringList{"a.tst", "b.tst"} << Action::Wrong << QStringList{"a.tst", "b.tst"} << true;
    QTest::newRow("an unknown option")
        << QStringList{"--run", "a.tst"} << Action::Wrong << none << true;
    QTest::newRow("--edit without a file: the open dialog")
        << QStringList{"--edit"} << Action::Edit << none << false;
    QTest::newRow("--check without a file")
        << QStringList{"--check"} << Action::Wrong << none << true;
    QTest::newRow("--check with --edit")
        << QStringList{"-c", "-e", "a.tst"} << Action::Wrong << a << true;
}

void OutsideTest::commandLine() {
    QFETCH(QStringList, arguments);
    QFETCH(Action, action);
    QFETCH(QStringList, files);
    QFETCH(bool, windowless);
    const CommandLine line = readCommandLine(QStringList{"quorvane"} + arguments);
    QCOMPARE(line.action, action);
    QCOMPARE(line.files, files);
    // What is wrong is said, and there is help for it.
    QCOMPARE(!line.text.isEmpty(),
             action == Action::Wrong || action == Action::Help || action == Action::Version);
    QCOMPARE(line.windowless(), windowless);
}

void OutsideTest::checkPrintsALineAFileAndExitsWithItsStatus() {
    Program program;
    const QString clean = program.writeExample();
    const QString flawed =
        program.writeTest("flawed.tst", {"Info=(1\x05"
                                         "2\x05"
                                         "1)",
                                         "Title=(T\x05"
                                         "A\x05"
                                         "C)",
                                         "Buttons=(Да\x05Нет)", "Questions:", "Q", "Variants: none",
                                         "Numbers:", "1,x,", "Message:", "=0-0", "$"});
    const QString missing = program.path("missing.tst");
    const auto check = [](const QStringList& files, QString& printed) {
        std::FILE* out = std::tmpfile();
        const int status = checkTestFiles(files, out);
        std::rewind(out);
        QByteArray bytes(4096, '\0');
        bytes.resize(static_cast<qsizetype>(std::fread(bytes.data(), 1, 4096, out)));
        std::fclose(out);
        printed = QString::fromUtf8(bytes);
        return status;
    };
    QString printed;
    QCOMPARE(check({clean}, printed), 0);
    QCOMPARE(printed, clean + ": проблем нет; вопросов: 2, баллы от 0 до 4\n");
    QCOMPARE(check({clean, flawed}, printed), 1);
    QVERIFY(printed.contains(flawed + ": вопрос 1, кнопка 2: баллы «x»"));
    QVERIFY(printed.contains(flawed + ": баллы 1 не входят ни в один диапазон"));
    QVERIFY(printed.contains(flawed + ": предупреждение: строка сообщений 1 «=0-0»: в диапазон не "
                                      "попадает ни одна сумма баллов"));
    QCOMPARE(check({flawed, missing, clean}, printed), 2);
    QVERIFY(printed.contains(missing + ": файл не удалось прочитать: File not found.\n"));
    QCOMPARE(printed.count('\n'),
             6);  // four lines for the flawed test, one for each of the others
}

void OutsideTest::aNamedOrDroppedFileIsTakenAsIfChosen() {
    // The windows as the program makes them: each when first needed.
    Program program;
    auto& w = *program.windows;
    QCOMPARE(w.all().size(), std::size_t{1});
    const auto open = [&w](const QStringList& arguments) {
        w.openFromCommandLine(readCommandLine(QStringList{"quorvane"} + arguments));
    };
    // Named for a run: as if chosen through "Запустить", and offered by the open dialog next.
    open({program.writeExample()});
    QCOMPARE(program.visibleWindows(), QStringList{"UserForm"});
    QCOMPARE(ctl::memo(w.testWindow(), "Memo1")->toPlainText(), QString("Земля круглая?"));
    w.testWindow()->close();

    // One that cannot be read: its failure is told, and the manager is back.
    open({"--edit", program.path("missing.tst")});
    QCOMPARE(program.platform.errors, QStringList{"File not found."});
    QCOMPARE(program.visibleWindows(), QStringList{"Manag"});

    // Dropped on the manager window: its run.
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(program.path("example.tst"))});
    QDragEnterEvent enter({10, 10}, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w.manager(), &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop({10, 10}, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w.manager(), &drop);
    QCOMPARE(program.visibleWindows(), QStringList{"UserForm"});
    QCOMPARE(ctl::label(w.testWindow(), "Zagolov")->text(), QString("Проверка знаний"));

    ctl::button(w.testWindow(), 1)->click();  // the run goes on as any run
    QCOMPARE(ctl::memo(w.testWindow(), "Memo1")->toPlainText(), QString("Луна больше Земли?"));
}

QTEST_MAIN(OutsideTest)
#include "outside_test.moc"
