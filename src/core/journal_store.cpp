// The journal's SQLite files: what the writer and the reader share, and the writer.
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <system_error>

#include "file_names.h"
#include "journal.h"
#include "journal_detail.h"

namespace fs = std::filesystem;

namespace qv {

using namespace journal_detail;

namespace {

// Two instances on one computer wait this long for each other's record.
constexpr int kBusyMilliseconds = 15000;
// Files tried beside one that cannot be written ("pc-2.qvjournal"...).
constexpr int kMaxSiblings = 20;

const std::string kSchema =
    std::string("CREATE TABLE IF NOT EXISTS runs (\n    id INTEGER PRIMARY KEY,") +
    journal_detail::kColumnDefinitions + ");";

// --- Opening files in a folder others write -----------------------------------------

// SQLite's own opening of every file: never through a link, never waiting on
// a pipe, and a pipe or a socket is refused.
int guardedOpen(const char* path, int flags, int mode) {
    const int fd = ::open(path, flags | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, mode);
    if (fd < 0) return fd;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode)) {
        ::close(fd);
        errno = ENXIO;
        return -1;
    }
    const int status = ::fcntl(fd, F_GETFL);
    if (status >= 0) ::fcntl(fd, F_SETFL, status & ~O_NONBLOCK);
    return fd;
}

// SQLite's quick check: empty when the file is sound, else its first finding.
std::string quickCheck(sqlite3* db, int& rc) {
    Statement s;
    rc = sqlite3_prepare_v2(db, "PRAGMA quick_check(1)", -1, &s.stmt, nullptr);
    if (rc == SQLITE_OK) rc = sqlite3_step(s.stmt);
    if (rc == SQLITE_ROW) {
        const auto* text = sqlite3_column_text(s.stmt, 0);
        const std::string finding = text ? reinterpret_cast<const char*>(text) : "";
        rc = SQLITE_OK;
        if (finding == "ok") return {};
        rc = SQLITE_CORRUPT;
        return finding;
    }
    return sqlite3_errmsg(db);
}

}  // namespace

void journal_detail::guardSqliteOpens() {
    static std::once_flag once;
    std::call_once(once, [] {
        sqlite3_vfs* vfs = sqlite3_vfs_find(nullptr);
        if (vfs && vfs->iVersion >= 3 && vfs->xSetSystemCall)
            vfs->xSetSystemCall(vfs, "open", reinterpret_cast<sqlite3_syscall_ptr>(&guardedOpen));
    });
}

std::string journal_detail::kindOf(mode_t mode) {
    if (S_ISLNK(mode)) return "это ссылка, а не файл";
    if (S_ISDIR(mode)) return "это папка, а не файл";
    if (S_ISFIFO(mode)) return "это канал, а не файл";
    return "это не обычный файл";
}

std::string journal_detail::problemText(int code, const std::string& path,
                                        const std::string& detail) {
    const std::string file = "«" + baseName(path) + "»";
    switch (code & 0xff) {
        case SQLITE_FULL:
            return "На диске нет места для журнала " + file + ".";
        case SQLITE_READONLY:
        case SQLITE_CANTOPEN:
        case SQLITE_PERM:
        case SQLITE_AUTH:
            return "Файл журнала " + file + " недоступен для записи (" + detail + ").";
        case SQLITE_NOTADB:
        case SQLITE_CORRUPT:
            return "Файл журнала " + file + " повреждён (" + detail + ").";
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            return "Файл журнала " + file + " занят другой программой (" + detail + ").";
        case SQLITE_IOERR:
            return "Ошибка ввода-вывода в файле журнала " + file + " (" + detail + ").";
        default:
            return "Файл журнала " + file + ": " + detail + ".";
    }
}

bool journal_detail::isDamage(int code) {
    return (code & 0xff) == SQLITE_CORRUPT || (code & 0xff) == SQLITE_NOTADB;
}

int journal_detail::userVersion(sqlite3* db) {
    Statement s;
    int rc = sqlite3_prepare_v2(db, "PRAGMA user_version", -1, &s.stmt, nullptr);
    if (rc != SQLITE_OK) return -rc;
    rc = sqlite3_step(s.stmt);
    if (rc != SQLITE_ROW) return -rc;
    return sqlite3_column_int(s.stmt, 0);
}

int journal_detail::layoutOf(sqlite3* db) {
    Statement s;
    int rc = sqlite3_prepare_v2(db, "SELECT max(name='runs') FROM sqlite_master WHERE type='table'",
                                -1, &s.stmt, nullptr);
    if (rc != SQLITE_OK) return -rc;
    rc = sqlite3_step(s.stmt);
    if (rc != SQLITE_ROW) return -rc;
    if (sqlite3_column_type(s.stmt, 0) == SQLITE_NULL) return 0;
    return sqlite3_column_int(s.stmt, 0) == 1 ? 1 : 2;
}

// --- Writing ---------------------------------------------------------------------

JournalWriter::JournalWriter(std::string folder, const std::string& computer,
                             const std::string& installationId)
    : folder_(std::move(folder)), baseName_(journalFileName(computer, installationId)) {
    baseName_.resize(baseName_.size() - std::strlen(kJournalExtension));
}

JournalWriter::~JournalWriter() {
    close();
}

void JournalWriter::close() {
    sqlite3_finalize(static_cast<sqlite3_stmt*>(insert_));
    insert_ = nullptr;
    sqlite3_close(db_);
    db_ = nullptr;
}

std::string JournalWriter::open() {
    guardSqliteOpens();
    if (std::string problem = journalFolderProblem(folder_); !problem.empty()) return problem;
    std::error_code ec;
    // Links in the folder's own path are the user's; only the file's name is checked.
    const fs::path folder = fs::canonical(folder_, ec);
    if (ec) {
        return "Папка журнала «" + folder_ + "» недоступна (" + folderProblemText(ec) +
               "): результат не записан.";
    }
    std::vector<std::string> unfit;
    for (int n = 1; n <= kMaxSiblings; ++n) {
        const std::string name =
            baseName_ + (n == 1 ? "" : "-" + std::to_string(n)) + kJournalExtension;
        if (std::find(leftBehind_.begin(), leftBehind_.end(), name) != leftBehind_.end()) continue;
        path_ = (folder / name).string();
        std::string why;
        struct stat st {};
        for (const std::string& p : {path_, path_ + "-journal"}) {
            if (why.empty() && ::lstat(p.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
                why = p == path_ ? kindOf(st.st_mode)
                                 : "не годится: рядом с ним «" + baseName(p) + "», а " +
                                       kindOf(st.st_mode);
        }
        int rc = SQLITE_OK;
        const auto failed = [&](int code) {
            std::string text =
                problemText(code, path_, db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(code));
            close();
            return text + " Результат не записан.";
        };
        int version = 0;
        if (why.empty()) {
            rc = sqlite3_open_v2(path_.c_str(), &db_,
                                 SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOFOLLOW,
                                 nullptr);
            if (rc != SQLITE_OK) return failed(rc);
            sqlite3_busy_timeout(db_, kBusyMilliseconds);
            // A rollback journal, not WAL, whose shared memory breaks on network file
            // systems; every commit reaches the disk before the result is shown.
            rc = sqlite3_exec(db_, "PRAGMA journal_mode=DELETE; PRAGMA synchronous=FULL;", nullptr,
                              nullptr, nullptr);
            std::string finding;
            if (rc == SQLITE_OK) finding = quickCheck(db_, rc);
            version = rc == SQLITE_OK ? userVersion(db_) : 0;
            const int layout = rc == SQLITE_OK && version >= 0 ? layoutOf(db_) : 0;
            if (isDamage(rc) || isDamage(-version) || isDamage(-layout)) {
                why = "повреждён (" +
                      (finding.empty() ? std::string(sqlite3_errmsg(db_)) : finding) + ")";
            } else if (rc != SQLITE_OK) {
                return failed(rc);
            } else if (version < 0) {
                return failed(-version);
            } else if (layout < 0) {
                return failed(-layout);
            } else if (version > kJournalVersion) {
                close();
                return "Файл журнала «" + baseName(path_) +
                       "» записан более новой версией программы и не изменён: результат не "
                       "записан. Обновите программу.";
            } else if (layout == 2) {
                why = "не является журналом (это другая база данных)";
            }
        }
        if (!why.empty()) {
            close();
            leftBehind_.push_back(name);
            unfit.push_back("Файл журнала «" + name + "» " + why + ": он оставлен как есть.");
            continue;
        }
        if (version < kJournalVersion) {
            const std::string layoutSql = std::string("BEGIN IMMEDIATE;") + kSchema +
                                          "PRAGMA user_version=" + std::to_string(kJournalVersion) +
                                          "; COMMIT;";
            rc = sqlite3_exec(db_, layoutSql.c_str(), nullptr, nullptr, nullptr);
            if (rc != SQLITE_OK) {
                sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
                return failed(rc);
            }
        }
        const std::string sql =
            std::string("INSERT INTO runs (") + kColumns + ") VALUES (?,?,?,?,?,?,?,?,?,?,?,?)";
        sqlite3_stmt* stmt = nullptr;
        rc = sqlite3_prepare_v2(db_, sql.c_str(), -1, &stmt, nullptr);
        if (rc != SQLITE_OK) return failed(rc);
        insert_ = stmt;
        for (const auto& line : unfit) notice_ += line + " ";
        if (!unfit.empty())
            notice_ +=
                "Результаты записываются в новый файл «" + baseName(path_) + "» рядом с ним.";
        return {};
    }
    std::string problem;
    for (const auto& line : unfit) problem += line + " ";
    return problem + "Результат не записан.";
}

std::string JournalWriter::append(const JournalRecord& record) {
    return appendAll(std::span<const JournalRecord>(&record, 1));
}

std::string JournalWriter::appendAll(std::span<const JournalRecord> records) {
    notice_.clear();
    if (records.empty()) return {};
    if (!db_) {
        if (std::string problem = open(); !problem.empty()) return problem;
    }
    auto* stmt = static_cast<sqlite3_stmt*>(insert_);
    const auto text = [stmt](int column, const std::string& value) {
        sqlite3_bind_text(stmt, column, value.c_str(), static_cast<int>(value.size()),
                          SQLITE_STATIC);
    };
    const auto insert = [&](const JournalRecord& r) {
        sqlite3_reset(stmt);
        text(1, r.takenAt);
        sqlite3_bind_int64(stmt, 2, r.takenAtUnix);
        text(3, r.taker);
        text(4, r.computer);
        text(5, r.testFile);
        text(6, r.testTitle);
        text(7, r.testSha256);
        text(8, r.answers);
        sqlite3_bind_int(stmt, 9, r.total);
        sqlite3_bind_int(stmt, 10, static_cast<int>(r.outcome));
        text(11, r.range);
        text(12, r.resultLine);
        return sqlite3_step(stmt);
    };
    // The write lock is taken first: a writer that read first and then asked
    // for it could meet another instance's commit and be refused at once,
    // where waiting its turn would have done.
    int rc = sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    for (std::size_t i = 0; rc == SQLITE_OK && i < records.size(); ++i)
        if (rc = insert(records[i]); rc == SQLITE_DONE) rc = SQLITE_OK;
    if (rc == SQLITE_OK) rc = sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
    std::string problem;
    if (rc != SQLITE_OK) {
        problem = problemText(rc, path_, sqlite3_errmsg(db_)) +
                  (records.size() == 1 ? " Результат не записан." : " Результаты не записаны.");
        if (!sqlite3_get_autocommit(db_)) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    // Opened afresh for each record: a file removed or replaced in the folder
    // meanwhile (or a disk freed) is met as it is now, never written unseen.
    close();
    return problem;
}

}  // namespace qv
