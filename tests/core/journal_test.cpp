// The results journal: records made through a real run, what the database
// keeps and the CSV gives back, damaged and newer files, a writer killed in
// the middle of a record, and writers at once.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <set>
#include <sstream>

#include "core_support.h"
#include "errors.h"
#include "journal.h"
#include "session.h"

namespace {

using qvtest::ru;

// The worked example's questions and points (question 1: 2, 0, 1; question
// 2: 0, 2, 1) with the given message section.
std::string writeTest(const qvtest::TempFolder& dir, const std::vector<std::string>& messages) {
    std::vector<std::string> lines = qvtest::workedExampleLines();
    lines.erase(std::find(lines.begin(), lines.end(), "Message:") + 1, lines.end());
    for (const auto& m : messages) lines.push_back(ru(m));
    const std::string file = dir.file("test.tst");
    qvtest::writeBytes(file, qvtest::crlf(lines));
    return file;
}

qv::JournalRecord sampleRecord(std::string taker, std::string answers = "12") {
    qv::JournalRecord r;
    r.takenAtUnix = 1767225600;
    r.takenAt = qv::localTimeText(r.takenAtUnix);
    r.taker = std::move(taker);
    r.computer = "class-07";
    r.testFile = "test.tst";
    r.testTitle = "Проверка";
    r.testSha256 = std::string(64, 'a');
    r.answers = std::move(answers);
    r.total = 3;
    r.range = "=3-4";
    r.resultLine = "Хорошо";
    return r;
}

struct OutcomeCase {
    const char* name;
    std::vector<std::string> messages;
    qv::RunOutcome outcome;
    std::string range;  // UTF-8; for a failure, a part of the message
    std::string resultLine;
};

TEST(Journal, ARunIsRecordedOnceWhateverItsOutcome) {
    const OutcomeCase cases[] = {
        {"result",
         {"=0-2", "Мало", "=3-4", "Хорошо", "$"},
         qv::RunOutcome::Result,
         "=3-4",
         "Хорошо"},
        {"empty block", {"=3-4", "=5-6", "$"}, qv::RunOutcome::Result, "=3-4", ""},
        {"no range", {"=0-2", "Мало", "$"}, qv::RunOutcome::NoRange, "", ""},
        {"failure", {"=0-x", "Мало", "$"}, qv::RunOutcome::Failure, "x", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        qvtest::TempFolder dir;
        const std::string file = writeTest(dir, c.messages);
        ASSERT_EQ(qv::createJournalFolder(dir.file("journal")), "");
        qv::JournalWriter writer(dir.file("journal"), "PC 1");
        qv::Session session;
        int told = 0;
        session.running().onRunFinished = [&](const qv::FinishedRun& run) {
            ++told;
            EXPECT_EQ(writer.append(qv::recordOfRun(run, "Аня «Ф»", "PC 1")), "");
        };
        const auto press = [&](int button) { session.running().answer(button); };
        session.running().beginRun();
        session.running().loadForRun(file);
        press(1);
        if (c.outcome == qv::RunOutcome::Failure) {
            EXPECT_THROW(press(3), qv::EConvertError);
            EXPECT_THROW(press(3), qv::EConvertError);  // the same run, told once
        } else {
            press(3);
        }
        EXPECT_EQ(told, 1);

        const qv::JournalContents read = qv::readJournalFolder(dir.file("journal"));
        ASSERT_EQ(read.records.size(), 1u);
        EXPECT_TRUE(read.skipped.empty());
        const qv::JournalRecord& r = read.records[0];
        EXPECT_EQ(r.taker, "Аня «Ф»");
        EXPECT_EQ(r.computer, "PC 1");
        EXPECT_EQ(r.testFile, "test.tst");
        EXPECT_EQ(r.testTitle, "Проверка знаний");
        EXPECT_EQ(r.testSha256, qv::sha256OfFile(file));
        EXPECT_EQ(r.answers, "13");
        EXPECT_EQ(r.total, 3) << "the total before selection sets the Score to 0";
        EXPECT_EQ(r.outcome, c.outcome);
        EXPECT_NE(r.range.find(c.range), std::string::npos) << r.range;
        EXPECT_EQ(r.resultLine, c.resultLine);
        EXPECT_EQ(r.takenAt, qv::localTimeText(r.takenAtUnix));
    }
}

TEST(Journal, HashAndTimeAndFileNames) {
    qvtest::TempFolder dir;
    qvtest::writeBytes(dir.file("abc"), "abc");
    EXPECT_EQ(qv::sha256OfFile(dir.file("abc")),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(qv::sha256OfFile(dir.file("missing")), "");

    ::setenv("TZ", "Europe/Moscow", 1);
    ::tzset();
    EXPECT_EQ(qv::localTimeText(1767225600), "2026-01-01T03:00:00+03:00");
    ::unsetenv("TZ");
    ::tzset();

    EXPECT_EQ(qv::journalFileName("Class-07.school.lan"), "class-07_school_lan.qvjournal");
    EXPECT_EQ(qv::journalFileName("../x y"), "___x_y.qvjournal");
    EXPECT_EQ(qv::journalFileName(""), "computer.qvjournal");
}

// The fields of a CSV text, row by row, as RFC 4180 reads them.
std::vector<std::vector<std::string>> parseCsv(const std::string& text) {
    std::vector<std::vector<std::string>> rows(1, std::vector<std::string>(1));
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                rows.back().back() += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                rows.back().back() += c;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            rows.back().emplace_back();
        } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            rows.emplace_back(1);
            ++i;
        } else {
            rows.back().back() += c;
        }
    }
    rows.pop_back();  // after the last CR LF
    return rows;
}

TEST(Journal, AnyNameRoundTripsThroughTheDatabaseAndTheCsv) {
    const std::vector<std::string> names = {"Иванов Иван",
                                            "O'Brien, \"Bob\"",
                                            "a;b;c",
                                            "two\r\nlines\nand\rmore",
                                            "😀 emoji 👩‍🏫",
                                            "",
                                            "=1+1",
                                            " spaces ",
                                            "\"",
                                            ",",
                                            "Ёжик; «ёлка»"};
    qvtest::TempFolder dir;
    {
        qv::JournalWriter writer(dir.path(), "pc");
        for (std::size_t i = 0; i < names.size(); ++i)
            ASSERT_EQ(writer.append(sampleRecord(names[i], i % 2 ? "123" : "4")), "");
    }
    const auto read = qv::readJournalFolder(dir.path());
    ASSERT_EQ(read.records.size(), names.size());
    std::ostringstream csv;
    qv::writeJournalCsv(read.records, csv);
    const std::string text = csv.str();
    ASSERT_EQ(text.rfind("\xEF\xBB\xBF", 0), 0u) << "a byte-order mark first";
    const auto rows = parseCsv(text.substr(3));
    ASSERT_EQ(rows.size(), names.size() + 1);
    EXPECT_EQ(rows[0][1], "Имя");
    EXPECT_EQ(rows[0].back(), "Вопрос 3") << "one column per question of the longest run";
    for (std::size_t i = 0; i < names.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(read.records[i].taker, names[i]);
        ASSERT_EQ(rows[i + 1].size(), rows[0].size());
        // A text a spreadsheet would take for a formula is written after an apostrophe.
        EXPECT_EQ(rows[i + 1][1], names[i] == "=1+1" ? "'=1+1" : names[i]);
        EXPECT_EQ(rows[i + 1][6], "3");
        EXPECT_EQ(rows[i + 1][7], "диапазон =3-4");
        const std::vector<std::string> answers =
            i % 2 ? std::vector<std::string>{"1", "2", "3"} : std::vector<std::string>{"4", "", ""};
        EXPECT_EQ(std::vector<std::string>(rows[i + 1].end() - 3, rows[i + 1].end()), answers);
    }
}

// Sets a file's layout version as a newer program would have written it.
void setUserVersion(const std::string& path, int version) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    const std::string sql = "PRAGMA user_version=" + std::to_string(version);
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
}

TEST(Journal, DamagedAndNewerFilesAreNamedAndSkippedAndNeverWritten) {
    qvtest::TempFolder dir;
    ASSERT_EQ(qv::JournalWriter(dir.path(), "good").append(sampleRecord("a")), "");
    ASSERT_EQ(qv::JournalWriter(dir.path(), "newer").append(sampleRecord("b")), "");
    setUserVersion(dir.file("newer.qvjournal"), qv::kJournalVersion + 1);
    qvtest::writeBytes(dir.file("damaged.qvjournal"), std::string(4096, 'x'));
    qvtest::writeBytes(dir.file("notes.txt"), "not a journal");

    const auto read = qv::readJournalFolder(dir.path());
    ASSERT_EQ(read.records.size(), 1u);
    EXPECT_EQ(read.records[0].taker, "a");
    ASSERT_EQ(read.skipped.size(), 2u);
    EXPECT_NE(read.skipped[0].find("damaged.qvjournal» повреждён"), std::string::npos)
        << read.skipped[0];
    EXPECT_NE(read.skipped[1].find("newer.qvjournal» записан более новой версией"),
              std::string::npos)
        << read.skipped[1];

    // A newer file is not written; a damaged one is left for a new file beside it.
    for (const char* computer : {"newer", "damaged"}) {
        const std::string path = dir.file(qv::journalFileName(computer));
        const std::string before = qvtest::readBytes(path);
        const std::string problem =
            qv::JournalWriter(dir.path(), computer).append(sampleRecord("c"));
        EXPECT_EQ(problem.empty(), std::string(computer) == "damaged") << problem;
        EXPECT_EQ(qvtest::readBytes(path), before) << computer;
    }
    EXPECT_TRUE(std::filesystem::exists(dir.file("damaged-2.qvjournal")));
}

TEST(Journal, AnUnreadableFolderOrAnUnwritableOneIsTold) {
    qvtest::TempFolder dir;
    EXPECT_NE(qv::readJournalFolder(dir.file("missing")).folderProblem, "");
    qvtest::writeBytes(dir.file("plain"), "x");
    const std::string problem =
        qv::JournalWriter(dir.file("plain/sub"), "pc").append(sampleRecord("a"));
    EXPECT_NE(problem.find("не записан"), std::string::npos) << problem;
    // A file its reader may not read is told as such, not as one it may not write.
    ASSERT_EQ(qv::JournalWriter(dir.path(), "closed").append(sampleRecord("a")), "");
    ::chmod(dir.path().c_str(), 0777);
    ::chmod(dir.file("closed.qvjournal").c_str(), 0);
    const qvtest::ChildEnd closed = qvtest::inChild(
        [&] {
            const auto read = qv::readJournalFolder(dir.path());
            return read.skipped.size() == 1 &&
                           read.skipped[0].find("не удалось прочитать (нет прав доступа)") !=
                               std::string::npos
                       ? 0
                       : 1;
        },
        true);
    EXPECT_TRUE(closed.exited && closed.code == 0) << closed.code;
    ::chmod(dir.file("closed.qvjournal").c_str(), 0644);
    // The disk full: a file may grow no further than SQLite's first pages.
    const qvtest::ChildEnd full = qvtest::inChild(
        [&] {
            ::signal(SIGXFSZ, SIG_IGN);
            qv::JournalWriter writer(dir.path(), "full");
            std::string told;
            for (int i = 0; i < 2000 && told.empty(); ++i)
                told = writer.append(sampleRecord(std::string(200, 'n')));
            const std::size_t at = told.find("не записан");
            return at != std::string::npos && told.rfind("не записан") == at ? 0 : 1;
        },
        false, 16 * 1024);
    EXPECT_TRUE(full.exited && full.code == 0) << full.signal;
}

// A child that appends records until killed, writing a byte to `ack` after
// each record is committed.
int appendUntilKilled(const std::string& folder, int ack) {
    qv::JournalWriter writer(folder, "pc");
    for (int i = 0;; ++i) {
        if (!writer.append(sampleRecord("n" + std::to_string(i), std::string(40, '2'))).empty())
            return 1;
        if (::write(ack, "x", 1) != 1) return 2;
    }
}

TEST(Journal, AKilledWriterLosesNoCommittedRecord) {
    qvtest::TempFolder dir;
    std::size_t acknowledged = 0;
    for (int round = 0; round < 4; ++round) {
        int pipeEnds[2];
        ASSERT_EQ(::pipe(pipeEnds), 0);
        const pid_t child = ::fork();
        if (child == 0) {
            ::close(pipeEnds[0]);
            ::_exit(appendUntilKilled(dir.path(), pipeEnds[1]));
        }
        ::close(pipeEnds[1]);
        char byte;
        for (int i = 0; i < 25 + 10 * round && ::read(pipeEnds[0], &byte, 1) == 1; ++i)
            ++acknowledged;
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        while (::read(pipeEnds[0], &byte, 1) == 1) ++acknowledged;
        ::close(pipeEnds[0]);

        const auto read = qv::readJournalFolder(dir.path());
        EXPECT_TRUE(read.skipped.empty()) << read.skipped.front();
        // A record committed but not yet acknowledged may be there too.
        EXPECT_GE(read.records.size(), acknowledged);
        EXPECT_LE(read.records.size(), acknowledged + 1);
        acknowledged = read.records.size();
        for (const auto& r : read.records) EXPECT_EQ(r.answers, std::string(40, '2'));
    }
}

TEST(Journal, AWriterKilledMidTransactionIsReadWithoutItAndWrittenOn) {
    qvtest::TempFolder dir;
    {
        qv::JournalWriter writer(dir.path(), "pc");
        for (int i = 0; i < 20; ++i) ASSERT_EQ(writer.append(sampleRecord("early")), "");
    }
    const std::string path = dir.file("pc.qvjournal");
    int pipeEnds[2];
    ASSERT_EQ(::pipe(pipeEnds), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        // A transaction larger than the page cache, so that its pages reach the file.
        sqlite3* db = nullptr;
        sqlite3_open(path.c_str(), &db);
        sqlite3_exec(db,
                     "PRAGMA cache_size=2; BEGIN; "
                     "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM n WHERE i<3000) "
                     "INSERT INTO runs (taken_at, taken_at_unix, taker, computer, test_file, "
                     "test_title, test_sha256, answers, total, outcome, range, result_line) "
                     "SELECT '', 0, 'late', '', '', '', '', hex(zeroblob(250)), 0, 1, '', '' "
                     "FROM n;",
                     nullptr, nullptr, nullptr);
        (void)!::write(pipeEnds[1], "x", 1);
        ::pause();
        ::_exit(0);
    }
    char byte;
    ASSERT_EQ(::read(pipeEnds[0], &byte, 1), 1);
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    ::close(pipeEnds[0]);
    ::close(pipeEnds[1]);
    ASSERT_TRUE(std::filesystem::exists(path + "-journal"));

    const std::string before = qvtest::readBytes(path);
    auto read = qv::readJournalFolder(dir.path());
    EXPECT_TRUE(read.skipped.empty()) << read.skipped.front();
    EXPECT_EQ(read.records.size(), 20u);
    EXPECT_EQ(qvtest::readBytes(path), before) << "a reader leaves the file as it found it";

    EXPECT_EQ(qv::JournalWriter(dir.path(), "pc").append(sampleRecord("after")), "");
    read = qv::readJournalFolder(dir.path());
    ASSERT_EQ(read.records.size(), 21u);
    EXPECT_EQ(read.records.back().taker, "after");
    EXPECT_FALSE(std::filesystem::exists(path + "-journal"));
}

TEST(Journal, WritersOnOneComputerTakeTurnsAndLoseNothing) {
    qvtest::TempFolder dir;
    constexpr int kWriters = 3, kRecords = 40;
    std::vector<pid_t> children;
    for (int w = 0; w < kWriters; ++w) {
        const pid_t child = ::fork();
        if (child == 0) {
            qv::JournalWriter writer(dir.path(), "pc");
            for (int i = 0; i < kRecords; ++i) {
                if (!writer.append(sampleRecord(std::to_string(w) + ":" + std::to_string(i)))
                         .empty())
                    ::_exit(1);
            }
            ::_exit(0);
        }
        children.push_back(child);
    }
    for (pid_t child : children) {
        int status = 0;
        ::waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    const auto read = qv::readJournalFolder(dir.path());
    std::set<std::string> takers;
    for (const auto& r : read.records) takers.insert(r.taker);
    EXPECT_EQ(read.records.size(), std::size_t{kWriters * kRecords});
    EXPECT_EQ(takers.size(), std::size_t{kWriters * kRecords});
}

}  // namespace
