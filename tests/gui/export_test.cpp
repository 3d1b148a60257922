// Handing a test out from the manager's "Экспорт…" and from the command line's
// export options.
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include "command_line.h"
#include "export_command.h"
#include "export_dialog.h"
#include "gui_support.h"
#include "manag.h"

class ExportTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase();
    void exportIsItsOwnItemJustBeforeExit();
    void theDialogWritesWhatIsChosen_data();
    void theDialogWritesWhatIsChosen();
    void theDialogsKeysWorkInEitherLayout();
    void commandLine_data();
    void commandLine();
};

void ExportTest::initTestCase() {
    // The page's parts as the build puts them beside the program.
    qputenv("QUORVANE_WEB_DIR",
            (QCoreApplication::applicationDirPath() + "/../../src/app/web").toLocal8Bit());
    QVERIFY2(!webPartsFolder().isEmpty(), "the page's parts are not built");
}

void ExportTest::exportIsItsOwnItemJustBeforeExit() {
    Program p;
    QStringList items;
    for (QAction* action : p.windows->manager()->menuBar()->actions().front()->menu()->actions())
        items << (action->isSeparator() ? QStringLiteral("—") : action->text());
    const qsizetype exit = items.indexOf("Выход");
    QVERIFY(exit >= 3);
    QCOMPARE(items.mid(exit - 5, 6), (QStringList{"—", "Провести в классе…", "Экспорт…",
                                                  "Журнал результатов…", "—", "Выход"}));
    QCOMPARE(items.mid(0, 3), (QStringList{"Новый", "Редактировать", "Запустить"}));
}

void ExportTest::theDialogWritesWhatIsChosen_data() {
    QTest::addColumn<QString>("choice");  // the radio button
    QTest::addColumn<bool>("cancelled");
    QTest::addColumn<QString>("proposed");
    QTest::addColumn<QByteArray>("written");  // bytes the file must hold; empty: no file
    QTest::newRow("web page") << "WebPage" << false << "html: ex.html"
                              << QByteArray("application/x-quorvane-test");
    QTest::newRow("the author's key")
        << "AnswerKey" << false << "html: ex-key.html" << QByteArray("<thead><tr><th>№</th>");
    QTest::newRow("package") << "ScormPackage" << false << "zip: ex.zip"
                             << QByteArray("imsmanifest.xml");
    QTest::newRow("save dialog cancelled") << "WebPage" << true << "html: ex.html" << QByteArray();
}

void ExportTest::theDialogWritesWhatIsChosen() {
    QFETCH(QString, choice);
    QFETCH(bool, cancelled);
    QFETCH(QString, proposed);
    QFETCH(QByteArray, written);
    Program p;
    const QString test = p.writeExample("ex.tst");
    const QString output = p.path("out");
    p.platform.openAnswers.push_back(test);
    p.platform.saveExportAnswers.push_back(cancelled ? std::nullopt : std::optional(output));
    bool dialogShown = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<ExportDialog*>(QApplication::activeModalWidget());
        if (!dialog) return;
        dialogShown = true;
        dialog->findChild<QRadioButton*>(choice)->setChecked(true);
        dialog->findChild<QPushButton*>("Save")->click();
        if (dialog->isVisible()) dialog->reject();
    });
    p.windows->manager()->findChild<QAction*>("ExportMenuItem")->trigger();
    QVERIFY(dialogShown);
    QCOMPARE(p.platform.saveExportProposals.size(), 1);
    const QString& asked = p.platform.saveExportProposals.front();
    QVERIFY2(asked.startsWith(proposed.section(' ', 0, 0)) &&
                 asked.endsWith('/' + proposed.section(' ', 1)),
             qPrintable(asked));
    QCOMPARE(p.platform.errors, QStringList());
    if (written.isEmpty()) {
        QVERIFY(!QFile::exists(output));
        QVERIFY(p.platform.informations.isEmpty());
        return;
    }
    QVERIFY(Program::bytes(output).contains(written));
    QCOMPARE(p.platform.informations.size(), 1);
    QVERIFY(p.platform.informations.front().startsWith("Записано: " + output));
}

void ExportTest::theDialogsKeysWorkInEitherLayout() {
    Program p;
    p.platform.openAnswers.push_back(p.writeExample("ex.tst"));
    QStringList chosen;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<ExportDialog*>(QApplication::activeModalWidget());
        if (!dialog) return;
        // Alt with the Latin letter of the key that carries the access
        // letter chooses as Alt with the Cyrillic one does.
        for (const Qt::Key key : {Qt::Key_G, Qt::Key_R, Qt::Key_D}) {
            QTest::keyClick(dialog, key, Qt::AltModifier);
            QTest::qWait(250);  // the click is animated
            for (const char* name : {"WebPage", "ScormPackage", "AnswerKey"})
                if (dialog->findChild<QRadioButton*>(name)->isChecked()) chosen << name;
        }
        QTest::keyClick(dialog, Qt::Key_F1);
        dialog->reject();
    });
    p.windows->manager()->findChild<QAction*>("ExportMenuItem")->trigger();
    QCOMPARE(chosen, (QStringList{"ScormPackage", "AnswerKey", "WebPage"}));
    QCOMPARE(p.platform.helpRequests, QStringList{"testhelp.hlp"});
}

void ExportTest::commandLine_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<bool>("package");
    QTest::addColumn<QString>("output");
    QTest::addColumn<bool>("key");
    QTest::newRow("--export-web") << QStringList{"--export-web", "a.tst"} << true << false << ""
                                  << false;
    QTest::newRow("the key alone, with -o")
        << QStringList{"--print-key", "a.tst", "-o", "k.html"} << true << false << "k.html" << true;
    QTest::newRow("the key in a page")
        << QStringList{"--export-web", "a.tst", "--print-key"} << false << false << "" << false;
    QTest::newRow("the key in a package")
        << QStringList{"--export-scorm", "--print-key", "a.tst"} << false << false << "" << false;
    QTest::newRow("--export-scorm") << QStringList{"--export-scorm", "-o", "z.zip", "a.tst"} << true
                                    << true << "z.zip" << false;
    QTest::newRow("both kinds") << QStringList{"--export-web", "--export-scorm", "a.tst"} << false
                                << false << "" << false;
    QTest::newRow("no file") << QStringList{"--export-web"} << false << false << "" << false;
    QTest::newRow("two files") << QStringList{"--export-web", "a.tst", "b.tst"} << false << false
                               << "" << false;
    QTest::newRow("-o without an export")
        << QStringList{"-o", "p.html", "a.tst"} << false << false << "" << false;
}

void ExportTest::commandLine() {
    QFETCH(QStringList, arguments);
    QFETCH(bool, accepted);
    QFETCH(bool, package);
    QFETCH(QString, output);
    QFETCH(bool, key);
    const CommandLine line = readCommandLine(QStringList{"quorvane"} + arguments);
    QCOMPARE(line.action, accepted ? CommandLine::Action::Export : CommandLine::Action::Wrong);
    QVERIFY(line.windowless());
    if (!accepted) return;
    QCOMPARE(line.exportPackage, package);
    QCOMPARE(line.output, output);
    QCOMPARE(line.printKey, key);
}

QTEST_MAIN(ExportTest)
#include "export_test.moc"
