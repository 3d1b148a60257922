// What the journal's files share and do not offer to the rest of the program.
#pragma once

#include <sqlite3.h>
#include <sys/types.h>

#include <string>
#include <system_error>

namespace qv::journal_detail {

// What a failed file-system call on a folder means, in Russian.
std::string folderProblemText(const std::error_code& ec);
// What a failed call on a file means (`error` as errno), in Russian.
std::string fileProblemText(int error);

// The columns of a record, in the order the writer binds and the reader reads them.
inline constexpr const char* kColumns =
    "taken_at, taken_at_unix, taker, computer, test_file, test_title, test_sha256, answers, "
    "total, outcome, range, result_line";

// Those columns as a table declares them: the journal's files and the queue
// of records for a results server keep a record alike.
inline constexpr const char* kColumnDefinitions = R"(
    taken_at TEXT NOT NULL,
    taken_at_unix INTEGER NOT NULL,
    taker TEXT NOT NULL,
    computer TEXT NOT NULL,
    test_file TEXT NOT NULL,
    test_title TEXT NOT NULL,
    test_sha256 TEXT NOT NULL,
    answers TEXT NOT NULL,
    total INTEGER NOT NULL,
    outcome INTEGER NOT NULL,
    range TEXT NOT NULL,
    result_line TEXT NOT NULL
)";

// Makes SQLite open every file without following a link or waiting on a
// pipe, and refuse a pipe or a socket; before the journal's first file.
void guardSqliteOpens();
// What kind of thing other than a regular file is at a path, in Russian.
std::string kindOf(mode_t mode);
// What a failed SQLite call means to the person, for the file at `path`.
std::string problemText(int code, const std::string& path, const std::string& detail);
// The file is damaged, or is no database at all.
bool isDamage(int code);

struct Statement {
    sqlite3_stmt* stmt = nullptr;
    Statement() = default;
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    ~Statement() { sqlite3_finalize(stmt); }
};

struct Connection {
    sqlite3* db = nullptr;
    Connection() = default;
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    ~Connection() { sqlite3_close(db); }
};

// The layout version of an open file, or a negative SQLite code.
int userVersion(sqlite3* db);
// 1 when the file holds the runs table, 0 when it holds no table at all, 2
// when it holds others only (another program's database); or a negative code.
int layoutOf(sqlite3* db);

}  // namespace qv::journal_detail
