// Figures for the results journal, printed (not timed tests):
//
//   writers  30 processes, each recording 1,000 runs into one folder at once,
//            each as its own computer: are all 30,000 records there?
//   record   what recording adds to the end of a run: the record made (the
//            test file's SHA-256 included) and committed to the disk
//   window   the journal window opening a folder of 30 files holding 100,000
//            records, and filtering them by name, test and dates
//
//   turns    the same 30 processes as one computer: all in one file, taking turns
//   hostile  reading a folder a second user has filled with 1,000 damaged
//            files, a 1 GB and a 150 MB sparse file each beside a 1-byte
//            rollback journal, and a 500-record file with a damaged page
//
// journal_bench [writers|record|window|turns|hostile]... (the first three without arguments);
// QV_BENCH_FOLDER names the scratch folder (default: the system's temporary
// folder), which should be on the disk being measured. Run the window part
// under QT_QPA_PLATFORM=offscreen or on a display.
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTableView>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "encoding.h"
#include "gui_support.h"
#include "journal.h"
#include "journal_window.h"
#include "manag.h"
#include "run_journal.h"
#include "session.h"

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

fs::path scratch(const char* name) {
    const char* base = std::getenv("QV_BENCH_FOLDER");
    fs::path folder = fs::path(base ? base : fs::temp_directory_path().string()) /
                      ("quorvane-journal-bench-" + std::to_string(::getpid())) / name;
    fs::remove_all(folder);
    fs::create_directories(folder);
    return folder;
}

qv::JournalRecord sampleRecord(int i, int questions) {
    qv::JournalRecord r;
    r.takenAtUnix = 1767225600 + i * 60;
    r.takenAt = qv::localTimeText(r.takenAtUnix);
    r.taker = "Ученик " + std::to_string(i % 400);
    r.computer = "class-pc";
    r.testFile = "test-" + std::to_string(i % 5) + ".tst";
    r.testTitle = "Контрольная " + std::to_string(i % 5);
    r.testSha256 = std::string(64, 'c');
    for (int q = 0; q < questions; ++q) r.answers += static_cast<char>('1' + (i + q) % 4);
    r.total = i % 41;
    r.range = r.total <= 20 ? "=0-20" : "=21-40";
    r.resultLine = "Результат " + r.range;
    return r;
}

// `oneComputer`: every process writes the same file, taking turns.
void writers(bool oneComputer) {
    constexpr int kProcesses = 30, kRuns = 1000;
    const fs::path folder = scratch(oneComputer ? "turns" : "writers");
    const auto start = Clock::now();
    std::vector<pid_t> children;
    for (int p = 0; p < kProcesses; ++p) {
        const pid_t child = ::fork();
        if (child == 0) {
            qv::JournalWriter writer(folder.string(),
                                     oneComputer ? std::string("pc") : "pc-" + std::to_string(p));
            int failed = 0;
            for (int i = 0; i < kRuns; ++i) failed += !writer.append(sampleRecord(i, 20)).empty();
            ::_exit(failed ? 1 : 0);
        }
        children.push_back(child);
    }
    int failedProcesses = 0;
    for (pid_t child : children) {
        int status = 0;
        ::waitpid(child, &status, 0);
        failedProcesses += !(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    const double ms = msSince(start);
    const auto read = qv::readJournalFolder(folder.string());
    std::printf(
        "%s: %d processes x %d runs in %.1f s (%.0f records/s); records read %zu "
        "of %d, files skipped %zu, processes with a failed record %d\n",
        oneComputer ? "turns (one file)" : "writers", kProcesses, kRuns, ms / 1000,
        kProcesses * kRuns / (ms / 1000), read.records.size(), kProcesses * kRuns,
        read.skipped.size(), failedProcesses);
}

void record() {
    constexpr int kRuns = 200;
    const fs::path folder = scratch("record");
    // A test of 100 questions to hash, as the run's own file.
    const fs::path test = folder / "test.tst";
    {
        std::FILE* f = std::fopen(test.c_str(), "wb");
        for (int i = 0; i < 2000; ++i)
            std::fputs("A line of a test file, some forty bytes.\r\n", f);
        std::fclose(f);
    }
    qv::FinishedRun run;
    run.fileName = test.string();
    run.title = "Test";
    run.pressedButtons.assign(100, 2);
    run.total = 50;
    run.range = "=0-100";
    qv::createJournalFolder((folder / "journal").string());
    qv::JournalWriter writer((folder / "journal").string(), "pc");
    std::vector<double> ms;
    for (int i = 0; i < kRuns; ++i) {
        const auto start = Clock::now();
        const std::string problem = writer.append(qv::recordOfRun(run, "Имя", "pc"));
        ms.push_back(msSince(start));
        if (!problem.empty()) std::printf("record: %s\n", problem.c_str());
    }
    std::sort(ms.begin(), ms.end());
    std::printf(
        "record: %d runs, added to the end of a run: median %.2f ms, 95th percentile "
        "%.2f ms, longest %.2f ms (each opening the file as a run does)\n",
        kRuns, ms[ms.size() / 2], ms[ms.size() * 95 / 100], ms.back());
}

// 30 files of 100,000 records in all, each written in one transaction.
void fillFolder(const fs::path& folder) {
    constexpr int kFiles = 30, kRecords = 100000;
    for (int f = 0; f < kFiles; ++f) {
        const std::string computer = "pc-" + std::to_string(f);
        qv::JournalWriter(folder.string(), computer).append(sampleRecord(f, 25));
        sqlite3* db = nullptr;
        sqlite3_open((folder / qv::journalFileName(computer)).c_str(), &db);
        sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
        sqlite3_stmt* insert = nullptr;
        sqlite3_prepare_v2(db,
                           "INSERT INTO runs (taken_at, taken_at_unix, taker, computer, test_file, "
                           "test_title, test_sha256, answers, total, outcome, range, result_line) "
                           "VALUES (?,?,?,?,?,?,?,?,?,1,?,?)",
                           -1, &insert, nullptr);
        for (int i = f + kFiles; i < kRecords; i += kFiles) {
            const qv::JournalRecord r = sampleRecord(i, 25);
            int column = 1;
            for (const std::string* text : {&r.takenAt}) {
                sqlite3_bind_text(insert, column++, text->c_str(), -1, SQLITE_TRANSIENT);
            }
            sqlite3_bind_int64(insert, column++, r.takenAtUnix);
            for (const std::string* text :
                 {&r.taker, &computer, &r.testFile, &r.testTitle, &r.testSha256, &r.answers}) {
                sqlite3_bind_text(insert, column++, text->c_str(), -1, SQLITE_TRANSIENT);
            }
            sqlite3_bind_int(insert, column++, r.total);
            sqlite3_bind_text(insert, column++, r.range.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(insert, column++, r.resultLine.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_step(insert);
            sqlite3_reset(insert);
        }
        sqlite3_finalize(insert);
        sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
        sqlite3_close(db);
    }
}

void window(int argc, char* argv[]) {
    const fs::path folder = scratch("window");
    fillFolder(folder);
    const auto readStart = Clock::now();
    const std::size_t read = qv::readJournalFolder(folder.string()).records.size();
    std::printf("window: the folder's %zu records read (no window) in %.0f ms\n", read,
                msSince(readStart));
    QApplication application(argc, argv);
    Program program;
    auto& w = *program.windows;
    w.runJournal().recordForThisStart(fileNameText(folder.string()));

    QElapsedTimer timer;
    timer.start();
    ctl::action(w.manager(), "JournalMenuItem")->trigger();
    QApplication::processEvents();
    const qint64 opened = timer.elapsed();
    auto* table = ctl::as<QTableView>(program.journalWindow(), "Records");
    const int rows = table->model()->rowCount();

    const auto timed = [](auto&& change) {
        QElapsedTimer t;
        t.start();
        change();
        QApplication::processEvents();
        return t.elapsed();
    };
    const qint64 byName = timed([&] {
        ctl::edit(program.journalWindow(), "NameFilter")->setText(QStringLiteral("ученик 12"));
    });
    const int named = table->model()->rowCount();
    const qint64 cleared =
        timed([&] { ctl::edit(program.journalWindow(), "NameFilter")->clear(); });
    QComboBox* tests = ctl::combo(program.journalWindow(), "TestFilter");
    const qint64 byTest = timed([&] { tests->setCurrentIndex(2); });
    const int tested = table->model()->rowCount();
    const qint64 sorted =
        timed([&] { table->sortByColumn(JournalModel::kTotal, Qt::AscendingOrder); });
    std::printf(
        "window: %d records of 30 files shown in %lld ms; filtered by name in %lld ms "
        "(%d rows), back to all in %lld ms, by test in %lld ms (%d rows, with its "
        "statistics, histogram and answers per question), sorted by total in %lld ms\n",
        rows, static_cast<long long>(opened), static_cast<long long>(byName), named,
        static_cast<long long>(cleared), static_cast<long long>(byTest), tested,
        static_cast<long long>(sorted));
}

void hostile() {
    const fs::path folder = scratch("hostile");
    std::string page(4096, '\0');
    for (int i = 0; i < 1000; ++i) {
        for (std::size_t k = 0; k < page.size(); ++k)
            page[k] = static_cast<char>((k * 131 + static_cast<std::size_t>(i) * 7) & 0xFF);
        std::FILE* f =
            std::fopen((folder / ("damaged-" + std::to_string(i) + ".qvjournal")).c_str(), "wb");
        std::fwrite(page.data(), 1, page.size(), f);
        std::fclose(f);
    }
    for (const auto& [name, size] :
         {std::pair<std::string, std::uintmax_t>{"huge", 1ull << 30}, {"sparse", 150ull << 20}}) {
        qv::JournalWriter(folder.string(), name).append(sampleRecord(1, 25));
        fs::resize_file(folder / qv::journalFileName(name), size);
        std::FILE* f =
            std::fopen((folder / (qv::journalFileName(name) + "-journal")).c_str(), "wb");
        std::fputc('x', f);
        std::fclose(f);
    }
    {
        qv::JournalWriter writer(folder.string(), "salvage");
        writer.append(sampleRecord(0, 25));
        sqlite3* db = nullptr;
        sqlite3_open((folder / qv::journalFileName("salvage")).c_str(), &db);
        sqlite3_exec(db,
                     "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM n WHERE i<499) "
                     "INSERT INTO runs (taken_at, taken_at_unix, taker, computer, test_file, "
                     "test_title, test_sha256, answers, total, outcome, range, result_line) "
                     "SELECT '', 0, hex(zeroblob(100)), 'salvage', '', '', '', '12', 3, 1, '', '' "
                     "FROM n;",
                     nullptr, nullptr, nullptr);
        sqlite3_close(db);
        std::FILE* f = std::fopen((folder / qv::journalFileName("salvage")).c_str(), "r+b");
        std::fseek(f, 9 * 4096, SEEK_SET);
        std::fwrite(std::string(4096, '\xFF').data(), 1, 4096, f);
        std::fclose(f);
    }
    const auto start = Clock::now();
    const auto read = qv::readJournalFolder(folder.string());
    std::printf(
        "hostile: 1,003 files read in %.0f ms: %zu records, %zu lost to the damaged page, "
        "%zu files skipped\n",
        msSince(start), read.records.size(), read.unreadableRecords, read.skippedFiles);
}

}  // namespace

int main(int argc, char* argv[]) {
    std::vector<std::string> parts(argv + 1, argv + argc);
    if (parts.empty()) parts = {"writers", "record", "window"};
    for (const auto& part : parts) {
        if (part == "writers") writers(false);
        if (part == "turns") writers(true);
        if (part == "record") record();
        if (part == "window") window(argc, argv);
        if (part == "hostile") hostile();
    }
    fs::remove_all(scratch("").parent_path());
    return 0;
}
