// The journal's folder as a second user of a shared folder leaves it: pipes,
// links, folders, huge and damaged files and other programs' databases under
// the journal's names, for the readers and for the writer; and the files of
// cloned computers, and a folder that is gone.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

#include "core_support.h"
#include "journal.h"

namespace fs = std::filesystem;

namespace {

qv::JournalRecord record(const std::string& computer, std::string taker) {
    qv::JournalRecord r;
    r.takenAtUnix = 1767225600;
    r.takenAt = qv::localTimeText(r.takenAtUnix);
    r.taker = std::move(taker);
    r.computer = computer;
    r.testFile = "test.tst";
    r.answers = "12";
    r.total = 3;
    r.range = "=3-4";
    return r;
}

// `count` records of 300 bytes in `folder`'s file of `computer` (about 22
// pages for 300), all but the first in one transaction.
std::string fill(const std::string& folder, const std::string& computer, int count) {
    EXPECT_EQ(qv::JournalWriter(folder, computer).append(record(computer, "0")), "");
    const std::string path = folder + "/" + qv::journalFileName(computer);
    sqlite3* db = nullptr;
    EXPECT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    const std::string sql =
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM n WHERE i<" +
        std::to_string(count - 1) +
        ") INSERT INTO runs (taken_at, taken_at_unix, taker, computer, test_file, test_title, "
        "test_sha256, answers, total, outcome, range, result_line) SELECT '', 0, "
        "printf('%d', i) || hex(zeroblob(125)), '" +
        computer + "', '', '', '', '12', 3, 1, '', '' FROM n;";
    EXPECT_EQ(sqlite3_exec(db, count > 1 ? sql.c_str() : "", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
    return path;
}

// One 4 kB page of the file overwritten with bytes no page holds.
void damagePage(const std::string& path, int page) {
    std::string bytes = qvtest::readBytes(path);
    ASSERT_GT(bytes.size(), static_cast<std::size_t>(page) * 4096);
    bytes.replace(static_cast<std::size_t>(page - 1) * 4096, 4096, std::string(4096, '\xFF'));
    qvtest::writeBytes(path, bytes);
}

void anotherDatabase(const std::string& path) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    EXPECT_EQ(
        sqlite3_exec(db, "CREATE TABLE t(x); INSERT INTO t VALUES (1);", nullptr, nullptr, nullptr),
        SQLITE_OK);
    sqlite3_close(db);
}

struct ReaderCase {
    const char* name;
    std::function<void(const std::string& folder, const std::string& outside)> plant;
    std::size_t readOrLost;  // records read and records lost, the good file's one included
    const char* told;        // a part of a skipped line, or nothing told
    std::size_t skippedFiles;
    bool lost;  // some records of a damaged file could not be read
};

TEST(JournalFolder, ReadersNameAndSkipWhatIsNotARegularJournalAndSalvageDamage) {
    ::alarm(120);  // a reader that waits on a pipe fails here rather than hanging
    const ReaderCase cases[] = {
        {"a pipe named like a journal",
         [](const std::string& f, const std::string&) {
             ASSERT_EQ(::mkfifo((f + "/pipe.qvjournal").c_str(), 0666), 0);
         },
         1, "«pipe.qvjournal» пропущен: это канал", 1, false},
        {"a pipe named as a file's rollback journal",
         [](const std::string& f, const std::string&) {
             ASSERT_EQ(::mkfifo((f + "/good.qvjournal-journal").c_str(), 0666), 0);
         },
         1, "«good.qvjournal-journal» пропущен: это канал", 1, false},
        {"a link to a journal elsewhere",
         [](const std::string& f, const std::string& out) {
             const std::string target = fill(out, "elsewhere", 2);
             ASSERT_EQ(::symlink(target.c_str(), (f + "/link.qvjournal").c_str()), 0);
         },
         1, "«link.qvjournal» пропущен: это ссылка", 1, false},
        {"a folder",
         [](const std::string& f, const std::string&) { fs::create_directory(f + "/d.qvjournal"); },
         1, "«d.qvjournal» пропущен: это папка", 1, false},
        {"a 1 GB sparse file beside a 1-byte rollback journal",
         [](const std::string& f, const std::string&) {
             fs::resize_file(fill(f, "big", 1), std::uintmax_t{1} << 30);
             qvtest::writeBytes(f + "/big.qvjournal-journal", "x");
         },
         1, "«big.qvjournal» больше 200 МБ", 1, false},
        {"a 150 MB sparse file beside a 1-byte rollback journal",
         [](const std::string& f, const std::string&) {
             fs::resize_file(fill(f, "sparse", 1), std::uintmax_t{150} << 20);
             qvtest::writeBytes(f + "/sparse.qvjournal-journal", "x");
         },
         2, "", 0, false},
        {"another program's database",
         [](const std::string& f, const std::string&) { anotherDatabase(f + "/db.qvjournal"); }, 1,
         "«db.qvjournal» не является журналом", 1, false},
        {"a damaged page",
         [](const std::string& f, const std::string&) { damagePage(fill(f, "damaged", 300), 10); },
         301, "«damaged.qvjournal» повреждён", 0, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        qvtest::TempFolder dir;
        const std::string folder = dir.file("journal");
        fs::create_directories(folder);
        fs::create_directories(dir.file("outside"));
        fill(folder, "good", 1);
        c.plant(folder, dir.file("outside"));

        const auto read = qv::readJournalFolder(folder);
        EXPECT_EQ(read.folderProblem, "");
        EXPECT_EQ(read.records.size() + read.unreadableRecords, c.readOrLost);
        EXPECT_EQ(read.unreadableRecords > 0, c.lost) << read.unreadableRecords;
        EXPECT_EQ(read.skippedFiles, c.skippedFiles);
        if (*c.told) {
            ASSERT_EQ(read.skipped.size(), 1u);
            EXPECT_NE(read.skipped[0].find(c.told), std::string::npos) << read.skipped[0];
        } else {
            EXPECT_TRUE(read.skipped.empty()) << read.skipped.front();
        }
        for (const auto& r : read.records) EXPECT_EQ(r.sourceFile, qv::journalFileName(r.computer));
    }
    ::alarm(0);
}

TEST(JournalFolder, ACopyAKilledReaderLeftIsRemovedByTheNextRead) {
    qvtest::TempFolder dir;
    const pid_t gone = ::fork();
    if (gone == 0) ::_exit(0);
    ::waitpid(gone, nullptr, 0);
    const fs::path left =
        fs::temp_directory_path() / ("quorvane-journal-" + std::to_string(gone) + "-killed");
    fs::create_directories(left);
    qvtest::writeBytes((left / "copy.qvjournal").string(), std::string(1000, 'c'));
    const fs::path mine =
        fs::temp_directory_path() / ("quorvane-journal-" + std::to_string(::getpid()) + "-reading");
    fs::create_directories(mine);

    qv::readJournalFolder(dir.path());
    EXPECT_FALSE(fs::exists(left));
    EXPECT_TRUE(fs::exists(mine)) << "a running reader's copy is its own";
    fs::remove_all(mine);
}

struct WriterCase {
    const char* name;
    std::function<void(const std::string& own, const std::string& outside)> plant;
    const char* told;  // why the own file is left
};

// What is at a path, without following a link: its type and, for a file, its bytes.
std::string stateOf(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return "nothing";
    if (!S_ISREG(st.st_mode)) return "type " + std::to_string(st.st_mode & S_IFMT);
    return qvtest::readBytes(path);
}

TEST(JournalFolder, TheWriterNeverWritesThroughALinkAPipeOrADamagedFileButBesideIt) {
    ::alarm(120);
    const WriterCase cases[] = {
        {"a link to another database",
         [](const std::string& own, const std::string& out) {
             anotherDatabase(out + "/other.db");
             ASSERT_EQ(::symlink((out + "/other.db").c_str(), own.c_str()), 0);
         },
         "это ссылка"},
        {"a link to nothing yet",
         [](const std::string& own, const std::string& out) {
             ASSERT_EQ(::symlink((out + "/new.qvjournal").c_str(), own.c_str()), 0);
         },
         "это ссылка"},
        {"a pipe",
         [](const std::string& own, const std::string&) {
             ASSERT_EQ(::mkfifo(own.c_str(), 0666), 0);
         },
         "это канал"},
        {"a pipe as its rollback journal",
         [](const std::string& own, const std::string&) {
             fill(fs::path(own).parent_path().string(), "pc", 1);
             ASSERT_EQ(::mkfifo((own + "-journal").c_str(), 0666), 0);
         },
         "это канал"},
        {"a folder", [](const std::string& own, const std::string&) { fs::create_directory(own); },
         "это папка"},
        {"a damaged page",
         [](const std::string& own, const std::string&) {
             damagePage(fill(fs::path(own).parent_path().string(), "pc", 300), 10);
         },
         "повреждён"},
        {"another program's database",
         [](const std::string& own, const std::string&) { anotherDatabase(own); },
         "другая база данных"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        qvtest::TempFolder dir;
        const std::string folder = dir.file("journal"), outside = dir.file("outside");
        fs::create_directories(folder);
        fs::create_directories(outside);
        const std::string own = folder + "/pc.qvjournal";
        c.plant(own, outside);
        const std::string before = stateOf(own), outsideBefore = stateOf(outside + "/other.db");

        qv::JournalWriter writer(folder, "pc");
        EXPECT_EQ(writer.append(record("pc", "first")), "");
        EXPECT_NE(writer.notice().find("«pc.qvjournal»"), std::string::npos) << writer.notice();
        EXPECT_NE(writer.notice().find(c.told), std::string::npos) << writer.notice();
        EXPECT_NE(writer.notice().find("«pc-2.qvjournal»"), std::string::npos) << writer.notice();
        EXPECT_EQ(writer.append(record("pc", "second")), "");
        EXPECT_EQ(writer.notice(), "") << "told once";

        EXPECT_EQ(stateOf(own), before);
        EXPECT_EQ(stateOf(outside + "/other.db"), outsideBefore);
        EXPECT_FALSE(fs::exists(outside + "/new.qvjournal"));
        std::vector<std::string> written;
        for (const auto& r : qv::readJournalFolder(folder).records)
            if (r.sourceFile == "pc-2.qvjournal") written.push_back(r.taker);
        EXPECT_EQ(written, (std::vector<std::string>{"first", "second"}));
    }
    ::alarm(0);
}

TEST(JournalFolder, EachInstallationWritesItsOwnFileAndAFolderIsMadeOnlyWhenChosen) {
    qvtest::TempFolder dir;
    const std::string id = qv::installationId(dir.file("config"));
    EXPECT_EQ(id.size(), 16u);
    EXPECT_EQ(id.find_first_not_of("0123456789abcdef"), std::string::npos) << id;
    EXPECT_EQ(qv::installationId(dir.file("config")), id) << "kept";
    const std::string clone = qv::installationId(dir.file("clone"));
    EXPECT_NE(clone, id);
    EXPECT_EQ(qv::journalFileName("Class-07", id), "class-07-" + id + ".qvjournal");
    EXPECT_EQ(qv::journalFileName("Class-07", "../x"), "class-07.qvjournal");

    // Two computers cloned from one image: one name, two files.
    const std::string folder = dir.file("journal");
    EXPECT_EQ(qv::createJournalFolder(folder), "");
    EXPECT_EQ(qv::JournalWriter(folder, "class-07", id).append(record("class-07", "a")), "");
    EXPECT_EQ(qv::JournalWriter(folder, "class-07", clone).append(record("class-07", "b")), "");
    const auto read = qv::readJournalFolder(folder);
    ASSERT_EQ(read.records.size(), 2u);
    EXPECT_NE(read.records[0].sourceFile, read.records[1].sourceFile);
    for (const auto& r : read.records) EXPECT_EQ(r.doubt, "");

    // A folder that is gone is told and not made again.
    const std::string problem = qv::JournalWriter(dir.file("gone"), "pc").append(record("pc", "c"));
    EXPECT_NE(problem.find("Папки журнала «" + dir.file("gone") + "» нет"), std::string::npos)
        << problem;
    EXPECT_FALSE(fs::exists(dir.file("gone")));
    qvtest::writeBytes(dir.file("plain"), "x");
    EXPECT_NE(qv::createJournalFolder(dir.file("plain/journal")), "");
}

}  // namespace

namespace {

TEST(JournalFolder, ReadersCopyWholeFilesWhileTheirWritersCommit) {
    qvtest::TempFolder dir;
    const std::string path = fill(dir.path(), "pc", 1);
    const pid_t child = ::fork();
    if (child == 0) {
        sqlite3* db = nullptr;
        sqlite3_open(path.c_str(), &db);
        sqlite3_busy_timeout(db, 15000);
        // Commits of many pages each, growing the file, until killed; bounded,
        // so that a slow (sanitized) reader never sees it pass a journal's size.
        for (int commit = 0; commit < 500; ++commit, ::usleep(1000))
            sqlite3_exec(db,
                         "PRAGMA synchronous=OFF; BEGIN IMMEDIATE; WITH RECURSIVE n(i) AS "
                         "(SELECT 1 UNION ALL SELECT i+1 FROM n WHERE i<200) INSERT INTO runs "
                         "(taken_at, taken_at_unix, taker, computer, test_file, test_title, "
                         "test_sha256, answers, total, outcome, range, result_line) SELECT '', 0, "
                         "hex(zeroblob(100)), 'pc', '', '', '', '12', 3, 1, '', '' FROM n; COMMIT;",
                         nullptr, nullptr, nullptr);
        ::_exit(0);
    }
    std::size_t last = 0;
    for (int i = 0; i < 20; ++i) {
        const auto read = qv::readJournalFolder(dir.path());
        EXPECT_TRUE(read.skipped.empty()) << read.skipped.front();
        EXPECT_EQ(read.records.size() % 200, 1u) << "whole commits only";
        EXPECT_GE(read.records.size(), last);
        last = read.records.size();
    }
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    EXPECT_GT(last, 1u);
}

}  // namespace
