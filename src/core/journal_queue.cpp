#include "journal_queue.h"

#include <sqlite3.h>

#include <filesystem>
#include <map>
#include <vector>

#include "journal_detail.h"
#include "pg_journal_store.h"

namespace fs = std::filesystem;

namespace qv {

namespace {

// Two instances on one computer wait this long for each other.
constexpr int kBusyMilliseconds = 15000;
// Records sent to the server in one transaction.
constexpr int kBatch = 500;

const std::string kSchema =
    std::string(
        "CREATE TABLE IF NOT EXISTS waiting (\n    id INTEGER PRIMARY KEY,\n"
        "    run_id TEXT NOT NULL UNIQUE,\n    target TEXT NOT NULL,") +
    journal_detail::kColumnDefinitions + ");";

using Db = journal_detail::Connection;

struct Stmt {
    sqlite3_stmt* s = nullptr;
    Stmt(sqlite3* db, const char* sql) { sqlite3_prepare_v2(db, sql, -1, &s, nullptr); }
    Stmt(const Stmt&) = delete;
    Stmt& operator=(const Stmt&) = delete;
    ~Stmt() { sqlite3_finalize(s); }
    void text(int column, const std::string& value) {
        sqlite3_bind_text(s, column, value.c_str(), static_cast<int>(value.size()),
                          SQLITE_TRANSIENT);
    }
    std::string column(int c) const {
        const auto* t = sqlite3_column_text(s, c);
        return t ? std::string(reinterpret_cast<const char*>(t),
                               static_cast<std::size_t>(sqlite3_column_bytes(s, c)))
                 : std::string();
    }
};

// Opens (making when needed) the queue; what went wrong, in Russian, or empty.
std::string openQueue(const std::string& path, Db& db) {
    std::error_code ec;
    fs::create_directories(fs::path(path).parent_path(), ec);
    int rc =
        sqlite3_open_v2(path.c_str(), &db.db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    if (rc == SQLITE_OK) {
        sqlite3_busy_timeout(db.db, kBusyMilliseconds);
        // A local file: the write-ahead log, each commit on the disk before it returns.
        rc = sqlite3_exec(db.db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL;", nullptr,
                          nullptr, nullptr);
    }
    if (rc == SQLITE_OK) rc = sqlite3_exec(db.db, kSchema.c_str(), nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK) return {};
    return "Очередь записей для сервера результатов «" + path + "» недоступна (" +
           (db.db ? sqlite3_errmsg(db.db) : sqlite3_errstr(rc)) + ").";
}

}  // namespace

std::string JournalQueue::add(const std::string& target, const JournalRecord& r) {
    std::string problem = serverAddressProblem(target);
    if (!problem.empty()) return problem + " Результат не записан.";
    Db db;
    problem = openQueue(path_, db);
    if (problem.empty()) {
        Stmt s(db.db,
               "INSERT INTO waiting (run_id, target, taken_at, taken_at_unix, taker, computer, "
               "test_file, test_title, test_sha256, answers, total, outcome, range, result_line) "
               "VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?)");
        s.text(1, newRunId());
        s.text(2, target);
        s.text(3, r.takenAt);
        sqlite3_bind_int64(s.s, 4, r.takenAtUnix);
        s.text(5, r.taker);
        s.text(6, r.computer);
        s.text(7, r.testFile);
        s.text(8, r.testTitle);
        s.text(9, r.testSha256);
        s.text(10, r.answers);
        sqlite3_bind_int(s.s, 11, r.total);
        sqlite3_bind_int(s.s, 12, static_cast<int>(r.outcome));
        s.text(13, r.range);
        s.text(14, r.resultLine);
        if (sqlite3_step(s.s) != SQLITE_DONE)
            problem = "Очередь записей для сервера результатов «" + path_ + "» недоступна (" +
                      sqlite3_errmsg(db.db) + ").";
    }
    return problem.empty() ? problem : problem + " Результат не записан.";
}

std::size_t JournalQueue::waiting() const {
    std::error_code ec;
    if (!fs::exists(path_, ec)) return 0;  // made by the first record, not by looking
    Db db;
    if (!openQueue(path_, db).empty()) return 0;
    Stmt s(db.db, "SELECT count(*) FROM waiting");
    return sqlite3_step(s.s) == SQLITE_ROW ? static_cast<std::size_t>(sqlite3_column_int64(s.s, 0))
                                           : 0;
}

DrainReport JournalQueue::drain(int timeoutSeconds) {
    DrainReport report;
    std::error_code ec;
    if (!fs::exists(path_, ec)) return report;
    Db db;
    report.problem = openQueue(path_, db);
    if (!report.problem.empty()) return report;
    std::vector<std::string> targets;
    {
        Stmt s(db.db, "SELECT DISTINCT target FROM waiting ORDER BY target");
        while (sqlite3_step(s.s) == SQLITE_ROW) targets.push_back(s.column(0));
    }
    for (const std::string& target : targets) {
        ServerJournal server(target, timeoutSeconds);
        for (;;) {
            std::vector<QueuedRecord> batch;
            std::vector<sqlite3_int64> ids;
            {
                Stmt s(db.db,
                       "SELECT id, run_id, taken_at, taken_at_unix, taker, computer, test_file, "
                       "test_title, test_sha256, answers, total, outcome, range, result_line "
                       "FROM waiting WHERE target = ? ORDER BY id LIMIT ?");
                s.text(1, target);
                sqlite3_bind_int(s.s, 2, kBatch);
                while (sqlite3_step(s.s) == SQLITE_ROW) {
                    ids.push_back(sqlite3_column_int64(s.s, 0));
                    QueuedRecord q;
                    q.runId = s.column(1);
                    JournalRecord& r = q.record;
                    r.takenAt = s.column(2);
                    r.takenAtUnix = sqlite3_column_int64(s.s, 3);
                    r.taker = s.column(4);
                    r.computer = s.column(5);
                    r.testFile = s.column(6);
                    r.testTitle = s.column(7);
                    r.testSha256 = s.column(8);
                    r.answers = s.column(9);
                    r.total = sqlite3_column_int(s.s, 10);
                    r.outcome = static_cast<RunOutcome>(sqlite3_column_int(s.s, 11));
                    r.range = s.column(12);
                    r.resultLine = s.column(13);
                    batch.push_back(std::move(q));
                }
            }
            if (batch.empty()) break;
            if (std::string problem = server.send(batch); !problem.empty()) {
                if (report.problem.empty()) report.problem = problem;
                break;
            }
            // The server has them: they leave the queue. A program killed
            // before this sends them again, and the server keeps them once.
            int rc = sqlite3_exec(db.db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
            {
                Stmt remove(db.db, "DELETE FROM waiting WHERE id = ?");
                for (std::size_t i = 0; rc == SQLITE_OK && i < ids.size(); ++i) {
                    sqlite3_bind_int64(remove.s, 1, ids[i]);
                    if (sqlite3_step(remove.s) != SQLITE_DONE) rc = sqlite3_errcode(db.db);
                    sqlite3_reset(remove.s);
                }
            }
            if (rc == SQLITE_OK) rc = sqlite3_exec(db.db, "COMMIT", nullptr, nullptr, nullptr);
            report.sent += batch.size();
            if (rc != SQLITE_OK) {
                sqlite3_exec(db.db, "ROLLBACK", nullptr, nullptr, nullptr);
                // Sent all the same: the next drain sends them again, and the server keeps them
                // once.
                if (report.problem.empty())
                    report.problem = "Очередь записей «" + path_ + "» не удалось обновить (" +
                                     sqlite3_errmsg(db.db) + ").";
                break;
            }
            if (batch.size() < static_cast<std::size_t>(kBatch)) break;
        }
    }
    Stmt count(db.db, "SELECT count(*) FROM waiting");
    if (sqlite3_step(count.s) == SQLITE_ROW)
        report.waiting = static_cast<std::size_t>(sqlite3_column_int64(count.s, 0));
    return report;
}

}  // namespace qv
