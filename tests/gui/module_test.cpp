// The journal's and the export's parts as the program itself gets them: the
// module built beside it, loaded on first use, whose windows and records work
// on the program's own objects.
#include <QTableView>
#include <QTest>

#include "gui_support.h"
#include "results_and_export.h"
#include "run_journal.h"
#include "session.h"
#include "window_services.h"

class ModuleTest : public QObject {
    Q_OBJECT
  private slots:
    void theModuleIsLoadedAndMakesTheJournalWindow();
};

void ModuleTest::theModuleIsLoadedAndMakesTheJournalWindow() {
    qputenv("QUORVANE_MODULE_DIR", QV_MODULE_BUILD_DIR);
    ResultsAndExport& parts = resultsAndExport();
    QVERIFY(&parts != &linkedResultsAndExport());
    QVERIFY(&resultsAndExport() == &parts);  // loaded once

    QTemporaryDir folder;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(folder.filePath("config")));
    FakePlatform platform;
    qv::Session session;
    FailureHandler failures(platform);
    WindowServices services{session, platform, failures};
    RunJournal journal(platform);
    journal.recordForThisStart(folder.filePath("journal"));
    QVERIFY(QFileInfo(folder.filePath("journal")).isDir());
    std::unique_ptr<QWidget> window(parts.makeJournalWindow(services, journal));
    parts.reloadJournalWindow(window.get());
    window->show();
    QCOMPARE(ctl::as<QTableView>(window.get(), "Records")->model()->rowCount(), 0);
    QVERIFY(platform.errors.isEmpty());
}

QTEST_MAIN(ModuleTest)
#include "module_test.moc"
