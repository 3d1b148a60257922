// Reading the journal's folder: every file from a copy taken through one
// checked descriptor, the intact records of a damaged file salvaged.
#include <fcntl.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <system_error>
#include <thread>

#include "journal.h"
#include "journal_detail.h"

namespace fs = std::filesystem;

namespace qv {

using namespace journal_detail;

namespace {

// A reader waits this long for a writer's commit to end before it copies.
constexpr auto kCopyWait = std::chrono::seconds(2);
// Records sought one by one past damage when the last one's number is unknown.
constexpr sqlite3_int64 kBlindProbes = 1000;

const char kSqliteHeader[16] = {'S', 'Q', 'L', 'i', 't', 'e', ' ', 'f',
                                'o', 'r', 'm', 'a', 't', ' ', '3', '\0'};

struct Descriptor {
    int fd = -1;
    explicit Descriptor(int d) : fd(d) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() {
        if (fd >= 0) ::close(fd);
    }
};

std::string columnText(sqlite3_stmt* stmt, int column) {
    const auto* text = sqlite3_column_text(stmt, column);
    return text ? std::string(reinterpret_cast<const char*>(text),
                              static_cast<std::size_t>(sqlite3_column_bytes(stmt, column)))
                : std::string{};
}

JournalRecord recordOfRow(sqlite3_stmt* stmt) {
    JournalRecord r;
    r.takenAt = columnText(stmt, 1);
    r.takenAtUnix = sqlite3_column_int64(stmt, 2);
    r.taker = columnText(stmt, 3);
    r.computer = columnText(stmt, 4);
    r.testFile = columnText(stmt, 5);
    r.testTitle = columnText(stmt, 6);
    r.testSha256 = columnText(stmt, 7);
    r.answers = columnText(stmt, 8);
    r.total = sqlite3_column_int(stmt, 9);
    r.outcome = static_cast<RunOutcome>(sqlite3_column_int(stmt, 10));
    r.range = columnText(stmt, 11);
    r.resultLine = columnText(stmt, 12);
    return r;
}

// The largest record number of the file, or -1 where damage hides it.
sqlite3_int64 lastRecordNumber(sqlite3* db) {
    Statement s;
    if (sqlite3_prepare_v2(db, "SELECT max(id) FROM runs", -1, &s.stmt, nullptr) != SQLITE_OK ||
        sqlite3_step(s.stmt) != SQLITE_ROW)
        return -1;
    return sqlite3_column_int64(s.stmt, 0);
}

// Reads the records of one open file in order. Damage ends a pass over the
// table; the records past it are then sought one number at a time (the
// numbers run without gaps), those that cannot be read counted in `lost`.
// Returns 0, or a failing SQLite code other than damage with its detail.
int readRecords(sqlite3* db, std::vector<JournalRecord>& out, std::size_t& lost,
                std::string& detail) {
    const std::string scanSql =
        std::string("SELECT id, ") + kColumns + " FROM runs WHERE id >= ?1 ORDER BY id";
    const std::string probeSql = std::string("SELECT id FROM runs WHERE id = ?1");
    sqlite3_int64 after = 0;
    sqlite3_int64 last = -2;  // not yet sought
    for (;;) {
        Statement scan;
        int rc = sqlite3_prepare_v2(db, scanSql.c_str(), -1, &scan.stmt, nullptr);
        if (rc == SQLITE_OK) {
            sqlite3_bind_int64(scan.stmt, 1, after + 1);
            while ((rc = sqlite3_step(scan.stmt)) == SQLITE_ROW) {
                out.push_back(recordOfRow(scan.stmt));
                after = sqlite3_column_int64(scan.stmt, 0);
            }
        }
        if (rc == SQLITE_DONE) return 0;
        if (detail.empty()) detail = sqlite3_errmsg(db);
        if (!isDamage(rc)) return rc;
        if (last == -2) last = lastRecordNumber(db);
        const sqlite3_int64 bound = last >= 0 ? last : after + kBlindProbes;
        Statement probe;
        if (sqlite3_prepare_v2(db, probeSql.c_str(), -1, &probe.stmt, nullptr) != SQLITE_OK)
            return rc;
        bool resumed = false;
        while (!resumed && after < bound) {
            ++after;
            sqlite3_reset(probe.stmt);
            sqlite3_bind_int64(probe.stmt, 1, after);
            const int found = sqlite3_step(probe.stmt);
            if (found == SQLITE_ROW) {
                --after;  // read by the next pass
                resumed = true;
            } else if (found == SQLITE_DONE) {
                resumed = true;  // no such record: the next pass goes on past it
            } else {
                ++lost;
            }
        }
        if (!resumed) return 0;
    }
}

// --- Copies for reading -------------------------------------------------------------

const char* const kCopyPrefix = "quorvane-journal-";

fs::path temporaryFolder() {
    std::error_code ec;
    fs::path folder = fs::temp_directory_path(ec);
    if (ec) folder = "/tmp";
    const fs::path canonical = fs::canonical(folder, ec);
    return ec ? folder : canonical;
}

// A folder of this process's own for one file's copy, removed with it.
struct CopyFolder {
    fs::path path;
    CopyFolder() {
        std::string pattern =
            (temporaryFolder() / (kCopyPrefix + std::to_string(::getpid()) + "-XXXXXX")).string();
        if (::mkdtemp(pattern.data())) path = pattern;
    }
    CopyFolder(const CopyFolder&) = delete;
    CopyFolder& operator=(const CopyFolder&) = delete;
    ~CopyFolder() {
        std::error_code ec;
        if (!path.empty()) fs::remove_all(path, ec);
    }
};

// Copies the first `size` bytes of `from` into a new file: only the parts
// that hold data, so a sparse file costs what it holds, not what it claims.
// Returns 0 or an errno.
int copyContent(int from, std::uint64_t size, const fs::path& to) {
    const Descriptor out(
        ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (out.fd < 0) return errno;
    std::vector<char> buffer(1 << 16);
    auto offset = static_cast<off_t>(0);
    const auto end = static_cast<off_t>(size);
    while (offset < end) {
        off_t data = ::lseek(from, offset, SEEK_DATA);
        if (data < 0) {
            if (errno == ENXIO) break;  // a hole to the end
            data = offset;              // a file system that does not tell
        }
        if (data >= end) break;
        off_t hole = ::lseek(from, data, SEEK_HOLE);
        if (hole < 0 || hole > end) hole = end;
        for (off_t at = data; at < hole;) {
            const auto want = static_cast<std::size_t>(
                std::min<off_t>(hole - at, static_cast<off_t>(buffer.size())));
            const ssize_t got = ::pread(from, buffer.data(), want, at);
            if (got < 0 && errno == EINTR) continue;
            if (got < 0) return errno;
            if (got == 0) return ::ftruncate(out.fd, end) == 0 ? 0 : errno;
            if (::pwrite(out.fd, buffer.data(), static_cast<std::size_t>(got), at) != got)
                return errno ? errno : EIO;
            at += got;
        }
        offset = hole;
    }
    return ::ftruncate(out.fd, end) == 0 ? 0 : errno;
}

// SQLite's shared lock on a database file (the bytes its locking protocol
// names), taken on this descriptor alone: while it is held no writer
// commits, so the copy is whole. False where no lock could be had in time
// or the file system keeps none.
bool lockShared(int fd) {
    constexpr off_t kPending = 0x40000000;
    const auto lock = [fd](short type, off_t start, off_t length) {
        struct flock l {};
        l.l_type = type;
        l.l_whence = SEEK_SET;
        l.l_start = start;
        l.l_len = length;
        return ::fcntl(fd, F_OFD_SETLK, &l) == 0;
    };
    const auto deadline = std::chrono::steady_clock::now() + kCopyWait;
    while (std::chrono::steady_clock::now() < deadline) {
        if (lock(F_RDLCK, kPending, 1)) {
            const bool shared = lock(F_RDLCK, kPending + 2, 510);
            lock(F_UNLCK, kPending, 1);
            if (shared) return true;
        }
        if (errno != EAGAIN && errno != EACCES && errno != EINTR) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

void unlockShared(int fd) {
    struct flock l {};
    l.l_type = F_UNLCK;
    l.l_whence = SEEK_SET;
    ::fcntl(fd, F_OFD_SETLK, &l);
}

void skip(JournalContents& part, const std::string& name, const std::string& why) {
    part.skipped.push_back("Файл журнала «" + name + "» " + why + ". Файл пропущен.");
    ++part.skippedFiles;
}

// Copies the file (and its rollback journal, whose writer may have been
// stopped in the middle of a record) through descriptors checked to be the
// regular files listed, then reads the copy.
void readFile(const fs::path& path, const struct stat& listed, JournalContents& part) {
    const std::string name = path.filename().string();
    const Descriptor file(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat st {};
    if (file.fd < 0)
        return skip(part, name, "не удалось прочитать (" + fileProblemText(errno) + ")");
    if (::fstat(file.fd, &st) != 0)
        return skip(part, name, "не удалось прочитать (" + fileProblemText(errno) + ")");
    if (!S_ISREG(st.st_mode)) return skip(part, name, kindOf(st.st_mode));
    if (st.st_dev != listed.st_dev || st.st_ino != listed.st_ino)
        return skip(part, name, "заменён другим файлом, пока его читали");
    const auto size = static_cast<std::uint64_t>(st.st_size);
    if (size > kMaxJournalFileBytes)
        return skip(part, name,
                    "больше " + std::to_string(kMaxJournalFileBytes >> 20) +
                        " МБ, такого журнала у класса не бывает: он не прочитан");
    if (size == 0) return;  // made by a writer that has not yet written to it
    char header[sizeof kSqliteHeader] = {};
    if (::pread(file.fd, header, sizeof header, 0) != static_cast<ssize_t>(sizeof header) ||
        std::memcmp(header, kSqliteHeader, sizeof header) != 0)
        return skip(part, name, "повреждён или не является журналом (нет заголовка базы данных)");

    const CopyFolder folder;
    if (folder.path.empty())
        return skip(part, name, "не удалось скопировать для чтения (временная папка недоступна)");
    const fs::path copy = folder.path / "copy.qvjournal";
    const bool locked = lockShared(file.fd);
    // The size as the lock holds it: a commit may have come since the look above.
    if (locked && ::fstat(file.fd, &st) != 0) st.st_size = 0;
    int error = 0;
    for (int attempt = 0; attempt < 3; ++attempt) {
        std::error_code ec;
        fs::remove(copy, ec);
        fs::remove(copy.string() + "-journal", ec);
        const auto length =
            std::min<std::uint64_t>(static_cast<std::uint64_t>(st.st_size), kMaxJournalFileBytes);
        error = copyContent(file.fd, length, copy);
        const std::string journal = path.string() + "-journal";
        const Descriptor rollback(
            ::open(journal.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        struct stat js {};
        if (!error && rollback.fd >= 0 && ::fstat(rollback.fd, &js) == 0 && S_ISREG(js.st_mode) &&
            static_cast<std::uint64_t>(js.st_size) <= kMaxJournalFileBytes)
            error = copyContent(rollback.fd, static_cast<std::uint64_t>(js.st_size),
                                copy.string() + "-journal");
        // Without a lock a commit may have come between: then the copy is taken again.
        struct stat after {};
        if (locked || error || ::fstat(file.fd, &after) != 0 ||
            (after.st_size == st.st_size && after.st_mtim.tv_sec == st.st_mtim.tv_sec &&
             after.st_mtim.tv_nsec == st.st_mtim.tv_nsec))
            break;
        st = after;
    }
    if (locked) unlockShared(file.fd);
    if (error)
        return skip(part, name,
                    "не удалось скопировать для чтения (" + fileProblemText(error) + ")");

    Connection c;
    // Opened for writing, so that SQLite rolls a half-written record back in the copy.
    int rc =
        sqlite3_open_v2(copy.c_str(), &c.db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOFOLLOW, nullptr);
    std::string detail;
    std::size_t lost = 0;
    const std::size_t before = part.records.size();
    if (rc == SQLITE_OK) {
        sqlite3_extended_result_codes(c.db, 1);
        const int version = userVersion(c.db);
        if (version > kJournalVersion) {
            part.skipped.push_back(
                "Файл журнала «" + name +
                "» записан более новой версией программы и не прочитан; обновите программу.");
            ++part.skippedFiles;
            return;
        }
        const int layout = version < 0 ? version : layoutOf(c.db);
        if (layout < 0) {
            rc = -layout;
        } else if (layout == 0) {
            return;  // made by a writer that has not yet written its layout
        } else if (layout == 2) {
            return skip(part, name, "не является журналом (это другая база данных)");
        } else {
            rc = readRecords(c.db, part.records, lost, detail);
        }
    }
    for (std::size_t i = before; i < part.records.size(); ++i) part.records[i].sourceFile = name;
    if (rc == SQLITE_OK && lost == 0) return;
    if (detail.empty()) detail = c.db ? sqlite3_errmsg(c.db) : sqlite3_errstr(rc);
    if (part.records.size() == before && lost == 0) {
        part.skipped.push_back(problemText(rc, path.string(), detail) + " Файл пропущен.");
        ++part.skippedFiles;
        return;
    }
    part.unreadableRecords += lost;
    part.skipped.push_back(problemText(SQLITE_CORRUPT, path.string(), detail) +
                           " Прочитано записей: " + std::to_string(part.records.size() - before) +
                           ", не удалось прочитать: " + std::to_string(lost) + ".");
}

// A record is doubted when the file it was read from is another computer's.
void doubtForeignRecords(std::vector<JournalRecord>& records) {
    for (auto& r : records) {
        std::string own = journalFileName(r.computer);
        own.resize(own.size() - std::strlen(kJournalExtension));
        const bool ownFile = r.sourceFile.rfind(own, 0) == 0 && r.sourceFile.size() > own.size() &&
                             (r.sourceFile[own.size()] == '.' || r.sourceFile[own.size()] == '-');
        if (!ownFile && !r.sourceFile.empty()) r.doubt = "запись в файле другого компьютера";
    }
}

}  // namespace

// --- Reading -----------------------------------------------------------------------

void removeLeftoverJournalCopies() {
    std::error_code ec;
    const fs::path temporary = temporaryFolder();
    const std::string prefix = kCopyPrefix;
    for (fs::directory_iterator it(temporary, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.rfind(prefix, 0) != 0) continue;
        const std::string rest = name.substr(prefix.size());
        const std::size_t dash = rest.find('-');
        if (dash == 0 || dash == std::string::npos) continue;
        pid_t pid = 0;
        try {
            pid = static_cast<pid_t>(std::stol(rest.substr(0, dash)));
        } catch (const std::exception&) {
            continue;
        }
        struct stat st {};
        // Only this user's own folders, of readers no longer running.
        if (::lstat(it->path().c_str(), &st) != 0 || !S_ISDIR(st.st_mode) ||
            st.st_uid != ::getuid() || pid <= 0 || pid == ::getpid())
            continue;
        if (::kill(pid, 0) == 0 || errno != ESRCH) continue;
        std::error_code removing;
        fs::remove_all(it->path(), removing);
    }
}

JournalContents readJournalFolder(const std::string& folder) {
    guardSqliteOpens();
    removeLeftoverJournalCopies();
    JournalContents contents;
    std::error_code ec;
    struct Listed {
        fs::path path;
        struct stat st;
    };
    std::vector<Listed> files;
    const std::string extension = kJournalExtension;
    const std::string rollback = extension + "-journal";
    const auto endsWith = [](const std::string& text, const std::string& end) {
        return text.size() >= end.size() &&
               text.compare(text.size() - end.size(), end.size(), end) == 0;
    };
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        const bool journal = endsWith(name, extension);
        if (!journal && !endsWith(name, rollback)) continue;
        struct stat st {};
        if (::lstat(it->path().c_str(), &st) != 0) continue;  // gone meanwhile
        if (!S_ISREG(st.st_mode)) {
            contents.skipped.push_back("Файл журнала «" + name +
                                       "» пропущен: " + kindOf(st.st_mode) + ".");
            ++contents.skippedFiles;
        } else if (journal) {
            files.push_back({it->path(), st});
        }
    }
    if (ec) {
        contents.folderProblem =
            "Папку журнала «" + folder + "» не удалось прочитать: " + folderProblemText(ec) + ".";
        return contents;
    }
    std::sort(files.begin(), files.end(),
              [](const Listed& a, const Listed& b) { return a.path < b.path; });
    // A class's thirty files are read side by side, each into its own part,
    // and put together in the order of their names.
    std::vector<JournalContents> parts(files.size());
    std::atomic<std::size_t> next{0};
    const auto readFiles = [&] {
        for (std::size_t i = next++; i < files.size(); i = next++)
            readFile(files[i].path, files[i].st, parts[i]);
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
        contents.skippedFiles += part.skippedFiles;
        contents.unreadableRecords += part.unreadableRecords;
    }
    doubtForeignRecords(contents.records);
    return contents;
}

}  // namespace qv
