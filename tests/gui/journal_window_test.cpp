// The results journal through the windows: the name asked before a run and
// the record made as it ends, a folder that cannot be written, and the
// journal window's table, filters, statistics, item analysis and export, and
// what it shows of the folder's texts.
#include <QCheckBox>
#include <QDateEdit>
#include <QDir>
#include <QLabel>
#include <QScreen>
#include <QTableView>
#include <QTableWidget>
#include <QTest>
#include <fstream>
#include <sstream>

#include "command_line.h"
#include "core_support.h"
#include "encoding.h"
#include "export_command.h"
#include "gui_support.h"
#include "journal.h"
#include "journal_window.h"
#include "manag.h"
#include "run_journal.h"
#include "userform.h"

class JournalWindowTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase();
    void aRunIsRecordedUnderTheNameGiven_data();
    void aRunIsRecordedUnderTheNameGiven();
    void aFolderThatCannotBeWrittenIsToldAndTheResultShown();
    void theWindowShowsFiltersCountsAndExports();
    void theFolderTextsAreShownAsTheyAreAndTheWindowFitsTheScreen();
    void theCommandLineExportNamesWhatItSkips();

  private:
    QTemporaryDir home_;
};

void JournalWindowTest::initTestCase() {
    // Settings and the default folder in a scratch home, never the user's.
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home_.filePath("config")));
    qputenv("XDG_DATA_HOME", QFile::encodeName(home_.filePath("data")));
}

void JournalWindowTest::aRunIsRecordedUnderTheNameGiven_data() {
    QTest::addColumn<bool>("recording");
    QTest::addColumn<std::optional<QString>>("name");  // nothing: "Отмена"
    QTest::addColumn<int>("records");
    QTest::newRow("recorded") << true << std::optional<QString>("Анна \"А\", 7Б") << 1;
    QTest::newRow("empty name") << true << std::optional<QString>("") << 1;
    QTest::newRow("cancelled") << true << std::optional<QString>() << 0;
    QTest::newRow("not recording") << false << std::optional<QString>("x") << 0;
}

void JournalWindowTest::aRunIsRecordedUnderTheNameGiven() {
    QFETCH(bool, recording);
    QFETCH(std::optional<QString>, name);
    QFETCH(int, records);
    Program program;
    auto& w = *program.windows;
    const QString folder = program.path("journal");
    w.runJournal().setFolder(folder);
    w.runJournal().setRecording(recording);
    program.platform.takerNameAnswers.push_back(name);

    w.manager()->runFile(program.writeExample());
    QCOMPARE(program.platform.takerNameQuestions, recording ? 1 : 0);
    QCOMPARE(program.visibleWindows(), QStringList{"UserForm"});
    QTest::mouseClick(ctl::button(w.testWindow(), 1), Qt::LeftButton);
    QTest::mouseClick(ctl::button(w.testWindow(), 2), Qt::LeftButton);
    QCOMPARE(program.visibleWindows(), QStringList{"ResForm"});
    QVERIFY(program.platform.errors.isEmpty());

    const auto read = qv::readJournalFolder(fileNameBytes(folder));
    QCOMPARE(int(read.records.size()), records);
    if (records) {
        const auto& r = read.records[0];
        QCOMPARE(journalText(r.taker), *name);
        QCOMPARE(r.answers, std::string("12"));
        QCOMPARE(r.total, 4);
        QCOMPARE(journalText(r.range), QString("=3-4"));
        QCOMPARE(journalText(r.resultLine), QString("Хороший результат."));
        QCOMPARE(journalText(r.computer), RunJournal::computerName());
    }
}

void JournalWindowTest::aFolderThatCannotBeWrittenIsToldAndTheResultShown() {
    Program program;
    auto& w = *program.windows;
    QFile plain(program.path("plain"));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.close();
    w.runJournal().setFolder(program.path("plain/journal"));
    w.runJournal().setRecording(true);
    program.platform.takerNameAnswers.push_back(QString("Борис"));

    w.manager()->runFile(program.writeExample());
    QTest::mouseClick(ctl::button(w.testWindow(), 1), Qt::LeftButton);
    QTest::mouseClick(ctl::button(w.testWindow(), 1), Qt::LeftButton);
    QCOMPARE(program.visibleWindows(), QStringList{"ResForm"});
    QCOMPARE(program.platform.errors.size(), 1);
    QVERIFY2(program.platform.errors[0].contains("результат не записан"),
             qPrintable(program.platform.errors[0]));
}

namespace {

qv::JournalRecord record(const char* taker, const char* title, int total, const char* answers,
                         qint64 at) {
    qv::JournalRecord r;
    r.takenAtUnix = at;
    r.takenAt = qv::localTimeText(at);
    r.taker = taker;
    r.computer = "pc";
    r.testFile = std::string(title) + ".tst";
    r.testTitle = title;
    r.answers = answers;
    r.total = total;
    r.range = total < 3 ? "=0-2" : "=3-4";
    r.resultLine = "итог";
    return r;
}

}  // namespace

void JournalWindowTest::theWindowShowsFiltersCountsAndExports() {
    Program program;
    auto& w = *program.windows;
    const QString folder = program.path("journal");
    const qint64 day = 86400, start = QDateTime(QDate(2026, 3, 2), QTime(10, 0)).toSecsSinceEpoch();
    qv::createJournalFolder(fileNameBytes(folder));
    {
        qv::JournalWriter writer(fileNameBytes(folder), "pc");
        for (const auto& r : {record("Анна", "Алгебра", 4, "12", start),
                              record("Аркадий", "Алгебра", 1, "22", start + day),
                              record("Вера", "Алгебра", 3, "13", start + 2 * day),
                              record("Анна", "Химия", 2, "1", start + 3 * day)})
            QCOMPARE(QString::fromStdString(writer.append(r)), QString());
    }
    qvtest::writeBytes(fileNameBytes(folder + "/broken.qvjournal"), std::string(2048, 'z'));
    w.runJournal().setFolder(folder);

    ctl::action(w.manager(), "JournalMenuItem")->trigger();
    QVERIFY(program.journalWindow() && program.journalWindow()->isVisible());
    auto* table = ctl::as<QTableView>(program.journalWindow(), "Records");
    QCOMPARE(table->model()->rowCount(), 4);
    QCOMPARE(table->model()->index(0, JournalModel::kName).data().toString(), QString("Анна"));
    QVERIFY(ctl::label(program.journalWindow(), "Skipped")->text().contains("broken.qvjournal"));

    // Sorting by total, then the filters one by one.
    table->sortByColumn(JournalModel::kTotal, Qt::AscendingOrder);
    QCOMPARE(table->model()->index(0, JournalModel::kTotal).data().toInt(), 1);
    QComboBox* tests = ctl::combo(program.journalWindow(), "TestFilter");
    tests->setCurrentIndex(tests->findText("Алгебра (Алгебра.tst)"));
    QCOMPARE(table->model()->rowCount(), 3);
    const QString stats = ctl::label(program.journalWindow(), "Statistics")->text();
    QVERIFY2(stats.contains("Записей: 3") && stats.contains("Наименьшая: 1") &&
                 stats.contains("Наибольшая: 4") &&
                 stats.contains(QLocale().toString(8.0 / 3, 'f', 1)),
             qPrintable(stats));
    // Question 1: button 1 twice, button 2 once; question 2: buttons 2, 2, 3.
    auto* items = ctl::as<QTableWidget>(program.journalWindow(), "ItemAnalysis");
    QCOMPARE(items->rowCount(), 2);
    QCOMPARE(items->columnCount(), 3);
    QCOMPARE(items->item(0, 0)->text(), QString("2 (67%)"));
    QCOMPARE(items->item(1, 1)->text(), QString("2 (67%)"));
    QCOMPARE(items->item(1, 2)->text(), QString("1 (33%)"));

    ctl::edit(program.journalWindow(), "NameFilter")->setText("ан");
    QCOMPARE(table->model()->rowCount(), 1);
    ctl::edit(program.journalWindow(), "NameFilter")->clear();
    tests->setCurrentIndex(0);
    ctl::as<QDateEdit>(program.journalWindow(), "DateFrom")->setDate(QDate(2026, 3, 3));
    ctl::as<QDateEdit>(program.journalWindow(), "DateTo")->setDate(QDate(2026, 3, 4));
    QCOMPARE(table->model()->rowCount(), 2);

    // The export writes the rows shown, in the order shown.
    const QString csv = program.path("class.csv");
    program.platform.saveCsvAnswers.push_back(csv);
    QTest::mouseClick(ctl::button(program.journalWindow(), "Export"), Qt::LeftButton);
    QVERIFY(ctl::label(program.journalWindow(), "Status")
                ->text()
                .contains(QDir::toNativeSeparators(csv)));
    std::ostringstream expected;
    qv::writeJournalCsv(program.journalWindow()->shownRecords(), expected);
    QCOMPARE(program.journalWindow()->shownRecords().size(), std::size_t{2});
    QCOMPARE(Program::bytes(csv).toStdString(), expected.str());
    // ...which are Аркадий's and Вера's, lowest total first, and no other.
    const QString written = QString::fromUtf8(Program::bytes(csv));
    QVERIFY(written.indexOf("Аркадий") > 0 && written.indexOf("Аркадий") < written.indexOf("Вера"));
    QVERIFY(!written.contains("Анна"));
    // Any other name is a spreadsheet, a zip archive.
    const QString xlsx = program.path("class.xlsx");
    program.platform.saveCsvAnswers.push_back(xlsx);
    QTest::mouseClick(ctl::button(program.journalWindow(), "Export"), Qt::LeftButton);
    QVERIFY(Program::bytes(xlsx).startsWith("PK\x03\x04"));
    QVERIFY(ctl::label(program.journalWindow(), "Status")
                ->text()
                .contains(QDir::toNativeSeparators(xlsx)));

    // The setting is kept for the next start.
    ctl::as<QCheckBox>(program.journalWindow(), "Recording")->setChecked(true);
    QVERIFY(RunJournal(program.platform).recording());
    QCOMPARE(RunJournal(program.platform).folder(), folder);
    QVERIFY(program.platform.errors.isEmpty());
}

void JournalWindowTest::theFolderTextsAreShownAsTheyAreAndTheWindowFitsTheScreen() {
    Program program;
    auto& w = *program.windows;
    const QString folder = program.path("journal");
    qv::createJournalFolder(fileNameBytes(folder));
    qv::JournalWriter(fileNameBytes(folder), "pc")
        .append(record("Анна\nИванова <b>", "Алгебра", 4, "12", 0));
    const QString hidden = "<font color=#efefef size=1>hidden.qvjournal";
    qvtest::writeBytes(fileNameBytes(folder + "/" + hidden), std::string(2048, 'z'));
    w.runJournal().setFolder(folder);
    ctl::action(w.manager(), "JournalMenuItem")->trigger();
    JournalWindow* window = program.journalWindow();

    // Markup is shown as the characters it is made of, a line break as a sign.
    for (const QLabel* label : window->findChildren<QLabel*>())
        QCOMPARE(label->textFormat(), Qt::PlainText);
    QVERIFY(ctl::label(window, "Skipped")->text().contains(hidden));
    auto* table = ctl::as<QTableView>(window, "Records");
    QCOMPARE(table->model()->index(0, JournalModel::kName).data().toString(),
             QString("Анна\u240AИванова <b>"));

    // Each record names its file; one under doubt is marked, and says why.
    struct Case {
        std::string doubt;
        bool marked;
    } cases[] = {{"", false}, {"сумма <b>999</b> не следует из ответов", true}};
    for (const Case& c : cases) {
        qv::JournalRecord r = record("Борис", "Алгебра", 4, "12", 0);
        r.sourceFile = fileNameBytes(folder + "/pc.qvjournal");
        r.doubt = c.doubt;
        JournalModel model;
        model.setRecords({r});
        QCOMPARE(model.index(0, JournalModel::kFile).data().toString(), QString("pc.qvjournal"));
        QCOMPARE(model.index(0, JournalModel::kName).data(Qt::DecorationRole).isValid(), c.marked);
        QCOMPARE(model.index(0, JournalModel::kDoubt).data().toString().contains("<b>999</b>"),
                 c.marked);
        QCOMPARE(model.index(0, JournalModel::kTotal)
                     .data(Qt::ToolTipRole)
                     .toString()
                     .contains("&lt;b&gt;999"),
                 c.marked);
    }

    // The window fits the screen, F1 opens the help and Esc closes it.
    QVERIFY(window->screen()->availableGeometry().contains(window->frameGeometry()));
    QTest::keyClick(window, Qt::Key_F1);
    QCOMPARE(program.platform.helpRequests.size(), 1);
    QTest::keyClick(window, Qt::Key_Escape);
    QVERIFY(!window->isVisible());
    QVERIFY(program.platform.errors.isEmpty());
}

namespace {
std::string contentsOf(std::FILE* file) {
    std::rewind(file);
    std::string text;
    for (int c; (c = std::fgetc(file)) != EOF;) text += static_cast<char>(c);
    return text;
}
}  // namespace

void JournalWindowTest::theCommandLineExportNamesWhatItSkips() {
    QTemporaryDir dir;
    const QString folder = dir.filePath("journal");
    qv::createJournalFolder(fileNameBytes(folder));
    qv::JournalWriter(fileNameBytes(folder), "pc").append(record("Анна", "Алгебра", 4, "12", 0));
    qvtest::writeBytes(fileNameBytes(folder + "/broken.qvjournal"), std::string(2048, 'z'));
    std::ostringstream expected;
    qv::writeJournalCsv(qv::readJournalFolder(fileNameBytes(folder)).records, expected);

    struct Case {
        QString folder, csv;
        int status;
        std::string out, file, err;  // err: a part of it
    } cases[] = {
        {folder, "", 1, expected.str(), "", "broken.qvjournal"},
        {folder, dir.filePath("class.csv"), 1, "", expected.str(), "broken.qvjournal"},
        {dir.filePath("missing"), "", 2, "", "", "не удалось прочитать"},
        {folder, dir.filePath("no/such/folder.csv"), 2, "", "", "не удалось записать"},
    };
    for (const Case& c : cases) {
        std::FILE* out = std::tmpfile();
        std::FILE* err = std::tmpfile();
        QCOMPARE(exportJournal(c.folder, c.csv, out, err), c.status);
        QCOMPARE(contentsOf(out), c.out);
        QVERIFY2(contentsOf(err).find(c.err) != std::string::npos, contentsOf(err).c_str());
        if (!c.file.empty()) QCOMPARE(Program::bytes(c.csv).toStdString(), c.file);
        std::fclose(out);
        std::fclose(err);
    }
}

QTEST_MAIN(JournalWindowTest)
#include "journal_window_test.moc"
