#include "journal.h"

#include <openssl/evp.h>
#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <system_error>
#include <thread>

#include "cp1251.h"
#include "session.h"

namespace fs = std::filesystem;

namespace qv {

namespace {

// Two instances on one computer wait this long for each other's record.
constexpr int kBusyMilliseconds = 15000;

const char* const kSchema = R"(
CREATE TABLE IF NOT EXISTS runs (
    id INTEGER PRIMARY KEY,
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
);)";

const char* const kColumns =
    "taken_at, taken_at_unix, taker, computer, test_file, test_title, test_sha256, answers, "
    "total, outcome, range, result_line";

std::string fileNameOf(const std::string& path) {
    return fs::path(path).filename().string();
}

// What a failed file-system call means, in Russian where it is a common one.
std::string systemProblem(const std::error_code& ec) {
    if (ec == std::errc::no_such_file_or_directory) return "такой папки нет";
    if (ec == std::errc::permission_denied) return "нет прав доступа";
    if (ec == std::errc::not_a_directory) return "это не папка";
    if (ec == std::errc::read_only_file_system) return "диск только для чтения";
    if (ec == std::errc::no_space_on_device) return "на диске нет места";
    return ec.message();
}

// What a failed SQLite call means to the person, for the file at `path`.
std::string problemText(int code, const std::string& path, const std::string& detail) {
    const std::string file = "«" + fileNameOf(path) + "»";
    switch (code & 0xff) {
        case SQLITE_FULL:
            return "На диске нет места: результат не записан в журнал " + file + ".";
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
int userVersion(sqlite3* db) {
    Statement s;
    int rc = sqlite3_prepare_v2(db, "PRAGMA user_version", -1, &s.stmt, nullptr);
    if (rc != SQLITE_OK) return -rc;
    rc = sqlite3_step(s.stmt);
    if (rc != SQLITE_ROW) return -rc;
    return sqlite3_column_int(s.stmt, 0);
}

bool hasRunsTable(sqlite3* db) {
    Statement s;
    if (sqlite3_prepare_v2(db, "SELECT 1 FROM sqlite_master WHERE type='table' AND name='runs'", -1,
                           &s.stmt, nullptr) != SQLITE_OK)
        return false;
    return sqlite3_step(s.stmt) == SQLITE_ROW;
}

std::string columnText(sqlite3_stmt* stmt, int column) {
    const auto* text = sqlite3_column_text(stmt, column);
    return text ? std::string(reinterpret_cast<const char*>(text),
                              static_cast<std::size_t>(sqlite3_column_bytes(stmt, column)))
                : std::string{};
}

// Reads the records of one open file; 0 or the failing SQLite code with its detail.
int readRecords(sqlite3* db, std::vector<JournalRecord>& out, std::string& detail) {
    Statement s;
    const std::string sql = std::string("SELECT ") + kColumns + " FROM runs ORDER BY id";
    int rc = sqlite3_prepare_v2(db, sql.c_str(), -1, &s.stmt, nullptr);
    const std::size_t before = out.size();
    while (rc == SQLITE_OK || rc == SQLITE_ROW) {
        rc = sqlite3_step(s.stmt);
        if (rc != SQLITE_ROW) break;
        JournalRecord r;
        r.takenAt = columnText(s.stmt, 0);
        r.takenAtUnix = sqlite3_column_int64(s.stmt, 1);
        r.taker = columnText(s.stmt, 2);
        r.computer = columnText(s.stmt, 3);
        r.testFile = columnText(s.stmt, 4);
        r.testTitle = columnText(s.stmt, 5);
        r.testSha256 = columnText(s.stmt, 6);
        r.answers = columnText(s.stmt, 7);
        r.total = sqlite3_column_int(s.stmt, 8);
        r.outcome = static_cast<RunOutcome>(sqlite3_column_int(s.stmt, 9));
        r.range = columnText(s.stmt, 10);
        r.resultLine = columnText(s.stmt, 11);
        out.push_back(std::move(r));
    }
    if (rc == SQLITE_DONE) return 0;
    detail = sqlite3_errmsg(db);
    out.resize(before);  // a file is taken whole or not at all
    return rc;
}

enum class FileRead { Read, Skipped, Newer, NeedsRollback };

// One file, opened read-only: never written, whoever's it is.
FileRead readFile(const std::string& path, JournalContents& contents) {
    Connection c;
    int rc = sqlite3_open_v2(path.c_str(), &c.db, SQLITE_OPEN_READONLY, nullptr);
    std::string detail;
    if (rc == SQLITE_OK) {
        sqlite3_extended_result_codes(c.db, 1);  // to tell a hot journal from a read-only file
        sqlite3_busy_timeout(c.db, kBusyMilliseconds);
        const int version = userVersion(c.db);
        if (version > kJournalVersion) {
            contents.skipped.push_back(
                "Файл журнала «" + fileNameOf(path) +
                "» записан более новой версией программы и не прочитан; обновите программу.");
            return FileRead::Newer;
        }
        if (version < 0) {
            rc = -version;
        } else if (version == 0 && !hasRunsTable(c.db)) {
            return FileRead::Read;  // made by a writer that has not yet written its layout
        } else {
            rc = readRecords(c.db, contents.records, detail);
            if (rc == 0) return FileRead::Read;
        }
    }
    if ((rc & 0xff) == SQLITE_READONLY && rc != SQLITE_READONLY) return FileRead::NeedsRollback;
    if (detail.empty()) detail = c.db ? sqlite3_errmsg(c.db) : sqlite3_errstr(rc);
    contents.skipped.push_back(problemText(rc, path, detail) + " Файл пропущен.");
    return FileRead::Skipped;
}

// A file whose writer was stopped in the middle of a record is rolled back
// in a copy, so that its records are read without writing the file itself.
FileRead readRolledBackCopy(const std::string& path, JournalContents& contents) {
    std::random_device random;
    std::error_code ec;
    const fs::path folder =
        fs::temp_directory_path(ec) /
        ("quorvane-journal-" + std::to_string(random()) + std::to_string(random()));
    fs::create_directories(folder, ec);
    const fs::path copy = folder / fs::path(path).filename();
    fs::copy_file(path, copy, fs::copy_options::overwrite_existing, ec);
    // Without its rollback journal the copy would read a half-written record as whole.
    if (!ec)
        fs::copy_file(path + "-journal", copy.string() + "-journal",
                      fs::copy_options::overwrite_existing, ec);
    if (!ec) {
        Connection c;
        int rc = sqlite3_open_v2(copy.c_str(), &c.db, SQLITE_OPEN_READWRITE, nullptr);
        std::string detail;
        if (rc == SQLITE_OK) rc = readRecords(c.db, contents.records, detail);
        if (rc != SQLITE_OK) {
            if (detail.empty()) detail = c.db ? sqlite3_errmsg(c.db) : sqlite3_errstr(rc);
            contents.skipped.push_back(problemText(rc, path, detail) + " Файл пропущен.");
        }
        fs::remove_all(folder, ec);
        return rc == SQLITE_OK ? FileRead::Read : FileRead::Skipped;
    } else {
        contents.skipped.push_back("Файл журнала «" + fileNameOf(path) +
                                   "» не удалось прочитать (" + systemProblem(ec) +
                                   "). Файл пропущен.");
    }
    fs::remove_all(folder, ec);
    return FileRead::Skipped;
}

// An RFC 4180 field: quoted when it holds a comma, a quote or a line break.
void csvField(std::ostream& out, const std::string& text) {
    if (text.find_first_of(",\"\r\n;") == std::string::npos) {
        out << text;
        return;
    }
    out << '"';
    for (char c : text) {
        if (c == '"') out << '"';
        out << c;
    }
    out << '"';
}

}  // namespace

std::string localTimeText(std::int64_t unixSeconds) {
    const auto t = static_cast<std::time_t>(unixSeconds);
    std::tm local{};
    localtime_r(&t, &local);
    char text[40];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S%z", &local);
    std::string out = text;
    // "+0300" becomes "+03:00", as ISO 8601 writes it in a full date and time.
    if (out.size() >= 5) out.insert(out.size() - 2, ":");
    return out;
}

std::string sha256OfFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    EVP_MD_CTX* ctx = EVP_MD_CTX_new();
    if (!ctx) return {};
    EVP_DigestInit_ex(ctx, EVP_sha256(), nullptr);
    std::array<char, 65536> buffer{};
    while (in) {
        in.read(&buffer[0], buffer.size());
        if (in.gcount() > 0)
            EVP_DigestUpdate(ctx, &buffer[0], static_cast<std::size_t>(in.gcount()));
    }
    std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
    unsigned length = 0;
    EVP_DigestFinal_ex(ctx, &digest[0], &length);
    EVP_MD_CTX_free(ctx);
    if (in.bad()) return {};
    std::string hex;
    static const char* const kDigits = "0123456789abcdef";
    for (unsigned i = 0; i < length; ++i) {
        hex += kDigits[digest[i] >> 4];
        hex += kDigits[digest[i] & 15];
    }
    return hex;
}

std::string journalFileName(const std::string& computer) {
    std::string name;
    for (char c : computer) {
        const auto u = static_cast<unsigned char>(c);
        if (std::isalnum(u) && u < 128) {
            name += static_cast<char>(std::tolower(u));
        } else if (c == '-' || c == '_') {
            name += c;
        } else {
            name += '_';
        }
    }
    if (name.empty()) name = "computer";
    return name + kJournalExtension;
}

JournalRecord recordOfRun(const FinishedRun& run, std::string taker, std::string computer) {
    JournalRecord r;
    r.takenAtUnix = static_cast<std::int64_t>(std::time(nullptr));
    r.takenAt = localTimeText(r.takenAtUnix);
    r.taker = std::move(taker);
    r.computer = std::move(computer);
    // File names are the system's bytes, UTF-8 on the systems the program runs on.
    r.testFile = fileNameOf(run.fileName);
    r.testTitle = cp1251::toUtf8(run.title);
    r.testSha256 = sha256OfFile(run.fileName);
    for (int button : run.pressedButtons) r.answers += static_cast<char>('0' + button);
    r.total = run.total;
    r.outcome = run.outcome;
    r.range = cp1251::toUtf8(run.range);
    r.resultLine = cp1251::toUtf8(run.resultLine);
    return r;
}

std::string outcomeText(const JournalRecord& record) {
    switch (record.outcome) {
        case RunOutcome::Result:
            return record.range;
        case RunOutcome::NoRange:
            return "нет диапазона для суммы";
        case RunOutcome::Failure:
            return "ошибка: " + record.range;
    }
    return record.range;
}

// --- Writing ---------------------------------------------------------------------

JournalWriter::JournalWriter(std::string folder, const std::string& computer)
    : folder_(std::move(folder)), path_((fs::path(folder_) / journalFileName(computer)).string()) {}

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
    std::error_code ec;
    fs::create_directories(folder_, ec);
    if (ec) {
        return "Папку журнала «" + folder_ + "» не удалось создать (" + systemProblem(ec) +
               "): результат не записан.";
    }
    int rc =
        sqlite3_open_v2(path_.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    const auto failed = [&](int code) {
        std::string text =
            problemText(code, path_, db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(code));
        close();
        return text + " Результат не записан.";
    };
    if (rc != SQLITE_OK) return failed(rc);
    sqlite3_busy_timeout(db_, kBusyMilliseconds);
    // A rollback journal, not WAL, whose shared memory breaks on network file
    // systems; every commit reaches the disk before the result is shown.
    rc = sqlite3_exec(db_, "PRAGMA journal_mode=DELETE; PRAGMA synchronous=FULL;", nullptr, nullptr,
                      nullptr);
    if (rc != SQLITE_OK) return failed(rc);
    const int version = userVersion(db_);
    if (version < 0) return failed(-version);
    if (version > kJournalVersion) {
        close();
        return "Файл журнала «" + fileNameOf(path_) +
               "» записан более новой версией программы и не изменён: результат не записан. "
               "Обновите программу.";
    }
    if (version < kJournalVersion) {
        const std::string layout = std::string("BEGIN IMMEDIATE;") + kSchema +
                                   "PRAGMA user_version=" + std::to_string(kJournalVersion) +
                                   "; COMMIT;";
        rc = sqlite3_exec(db_, layout.c_str(), nullptr, nullptr, nullptr);
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
    return {};
}

std::string JournalWriter::append(const JournalRecord& r) {
    if (!db_) {
        if (std::string problem = open(); !problem.empty()) return problem;
    }
    auto* stmt = static_cast<sqlite3_stmt*>(insert_);
    const auto text = [stmt](int column, const std::string& value) {
        sqlite3_bind_text(stmt, column, value.c_str(), static_cast<int>(value.size()),
                          SQLITE_STATIC);
    };
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
    // The write lock is taken first: a writer that read first and then asked
    // for it could meet another instance's commit and be refused at once,
    // where waiting its turn would have done.
    int rc = sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK) {
        rc = sqlite3_step(stmt);
        if (rc == SQLITE_DONE) rc = sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
    }
    std::string problem;
    if (rc != SQLITE_OK) {
        problem = problemText(rc, path_, sqlite3_errmsg(db_)) + " Результат не записан.";
        if (!sqlite3_get_autocommit(db_)) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    // Opened afresh for each record: a file removed or replaced in the folder
    // meanwhile (or a disk freed) is met as it is now, never written unseen.
    close();
    return problem;
}

// --- Reading -----------------------------------------------------------------------

JournalContents readJournalFolder(const std::string& folder) {
    JournalContents contents;
    std::error_code ec;
    std::vector<std::string> files;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        if (it->path().extension() == kJournalExtension) files.push_back(it->path().string());
    }
    if (ec) {
        contents.folderProblem =
            "Папку журнала «" + folder + "» не удалось прочитать: " + systemProblem(ec) + ".";
        return contents;
    }
    std::sort(files.begin(), files.end());
    // A class's thirty files are read side by side, each into its own part,
    // and put together in the order of their names.
    std::vector<JournalContents> parts(files.size());
    std::atomic<std::size_t> next{0};
    const auto readFiles = [&] {
        for (std::size_t i = next++; i < files.size(); i = next++) {
            for (int attempt = 1;; ++attempt) {
                JournalContents part;
                FileRead read = readFile(files[i], part);
                if (read == FileRead::NeedsRollback) read = readRolledBackCopy(files[i], part);
                // A file caught between two steps of its writer, where a network file
                // system keeps no locks, reads whole a moment later.
                if (read != FileRead::Skipped || attempt == 2) {
                    parts[i] = std::move(part);
                    break;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(250));
            }
        }
    };
    const std::size_t workers =
        std::min<std::size_t>(files.size(), std::max(1u, std::thread::hardware_concurrency()));
    std::vector<std::thread> threads;
    for (std::size_t w = 1; w < workers; ++w) threads.emplace_back(readFiles);
    readFiles();
    for (auto& t : threads) t.join();
    std::size_t total = 0;
    for (const auto& part : parts) total += part.records.size();
    contents.records.reserve(total);
    for (auto& part : parts) {
        std::move(part.records.begin(), part.records.end(), std::back_inserter(contents.records));
        for (auto& line : part.skipped) contents.skipped.push_back(std::move(line));
    }
    return contents;
}

// --- CSV ---------------------------------------------------------------------------

void writeJournalCsv(const std::vector<JournalRecord>& records, std::ostream& out) {
    std::size_t questions = 0;
    for (const auto& r : records) questions = std::max(questions, r.answers.size());
    out << "\xEF\xBB\xBF";
    const char* const headings[] = {"Дата",
                                    "Имя",
                                    "Компьютер",
                                    "Файл теста",
                                    "Название теста",
                                    "SHA-256 теста",
                                    "Сумма баллов",
                                    "Диапазон или исход",
                                    "Первая строка результата"};
    bool first = true;
    for (const char* heading : headings) {
        if (!first) out << ',';
        first = false;
        out << heading;
    }
    for (std::size_t q = 1; q <= questions; ++q) out << ",Вопрос " << q;
    out << "\r\n";
    for (const auto& r : records) {
        for (const std::string* field :
             {&r.takenAt, &r.taker, &r.computer, &r.testFile, &r.testTitle, &r.testSha256}) {
            csvField(out, *field);
            out << ',';
        }
        out << r.total << ',';
        // A spreadsheet would take "=0-10" for a formula.
        csvField(out, r.outcome == RunOutcome::Result ? "диапазон " + r.range : outcomeText(r));
        out << ',';
        csvField(out, r.resultLine);
        for (std::size_t q = 0; q < questions; ++q) {
            out << ',';
            if (q < r.answers.size()) out << r.answers[q];
        }
        out << "\r\n";
    }
}

}  // namespace qv
