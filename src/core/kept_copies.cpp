// The copies folder: the previous content of files written in place, the
// records that tie each copy to its file, and the notes that name a save's
// temporary file while it has a name. A start after a kill finds here what
// the killed save left behind.
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <string>

#include "os_detail.h"
#include "os_errors.h"
#include "os_file.h"

namespace qv::os {

using namespace detail;

namespace {

const std::string kRecordSuffix = ".source";
const std::string kTemporaryNoteSuffix = ".temporary";

bool endsWith(const std::string& text, const std::string& end) {
    return text.size() > end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

std::string recordOf(const std::string& copyPath) {
    return copyPath + kRecordSuffix;
}

// The extension of a file name (".tst", ".txt"), or nothing.
std::string extensionOf(const std::string& name) {
    const auto dot = name.find_last_of('.');
    if (dot == std::string::npos || dot == 0 || name.size() - dot > 10) return {};
    return name.substr(dot);
}

// Everything a small regular file holds, read without waiting; false for
// anything that is not one.
bool readSmallFile(const std::string& path, std::string& content) {
    content.clear();
    const int fd = openRegularFile(path, O_RDONLY, false);
    if (fd < 0) return false;
    char buffer[4096];
    bool ok = true;
    while (content.size() < 4 * PATH_MAX) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        content.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return ok;
}

// The size and digest of what a file holds, as noted for a save in its record.
std::string contentMark(std::uint64_t size, std::uint64_t digest) {
    static const char hex[] = "0123456789abcdef";
    std::string mark = std::to_string(size) + " ";
    for (int shift = 60; shift >= 0; shift -= 4) mark += hex[(digest >> shift) & 0xF];
    return mark;
}

std::string contentMarkOf(Handle fd) {
    if (::lseek(fd, 0, SEEK_SET) < 0) return {};
    std::uint64_t digest = kDigestStart;
    std::uint64_t size = 0;
    char buffer[64 * 1024];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return {};
        if (n == 0) return contentMark(size, digest);
        digest = digestOf(digest, buffer, static_cast<std::size_t>(n));
        size += static_cast<std::uint64_t>(n);
    }
}

// What became of the file a record names: compared with what the save meant
// to write (when the record says), then with the copy of what it held.
SaveOutcome outcomeOf(const std::string& target, const std::string& meant, Handle copy) {
    const int fd = openRegularFile(target, O_RDONLY, true);
    if (fd < 0) return SaveOutcome::Interrupted;
    const std::string now = contentMarkOf(fd);
    ::close(fd);
    if (now.empty()) return SaveOutcome::Interrupted;
    if (!meant.empty() && now == meant) return SaveOutcome::Completed;
    if (now == contentMarkOf(copy)) return SaveOutcome::NotBegun;
    return SaveOutcome::Interrupted;
}

// Whether a file in the copies folder belongs to a save still running (in
// this process or another): such a save holds a lock on it.
bool inUse(Handle fd) {
    return ::flock(fd, LOCK_EX | LOCK_NB) != 0;
}

template <typename Visit>
void forEachEntry(const std::string& suffix, Visit visit) {
    const std::string folder = copiesFolder();
    DIR* dir = folder.empty() ? nullptr : ::opendir(folder.c_str());
    if (!dir) return;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (endsWith(name, suffix)) visit(folder + "/" + name);
    }
    ::closedir(dir);
}

}  // namespace

namespace detail {

// Before a file is written in place its previous content is copied to the
// copies folder, with a record naming the file, both made durable. The copy
// keeps the file's extension, so that a result's copy is a text file and a
// test's copy a test. It stays locked while the save runs, so that another
// Quorvane starting up does not take it for one left behind.
int keepPreviousContent(PendingWrite& pending) {
    const std::string folder = copiesFolder();
    if (folder.empty() || makeFolders(folder) != 0) return io::kNoSafeCopy;
    std::string stem = baseName(pending.targetPath);
    const std::string extension = extensionOf(stem);
    stem.resize(stem.size() - extension.size());
    std::string copy = folder + "/" + stem.substr(0, 100) + "-XXXXXX" + extension;
    const int fd = ::mkostemps(copy.data(), static_cast<int>(extension.size()), O_CLOEXEC);
    if (fd < 0) return io::kNoSafeCopy;
    const std::string record = recordOf(copy);

    bool kept = ::flock(fd, LOCK_EX) == 0;
    const int source = kept ? openRegularFile(pending.targetPath, O_RDONLY, true) : -1;
    kept = source >= 0 && copyContent(source, fd) == 0 && ::fsync(fd) == 0;
    struct stat st {};
    if (kept && ::fstat(fd, &st) == 0) pending.copySize = static_cast<std::uint64_t>(st.st_size);
    if (source >= 0) ::close(source);
    if (kept) {
        const int note = ::open(record.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        kept = note >= 0 &&
               writeFully(note, pending.targetPath.data(), pending.targetPath.size()) == 0 &&
               ::fsync(note) == 0;
        if (note >= 0) kept = ::close(note) == 0 && kept;
        kept = kept && syncFolder(folder);
    }
    if (!kept) {
        ::unlink(record.c_str());
        ::unlink(copy.c_str());
        ::close(fd);
        return io::kNoSafeCopy;
    }
    pending.copyPath = copy;
    pending.copyLock = fd;
    return io::kOk;
}

// The record gets the size and digest of what the save wrote, after a zero
// byte that no file name holds. A note that fails to be made only makes the
// next start's report more cautious.
void noteMeantContent(const PendingWrite& pending) {
    if (pending.copyPath.empty()) return;
    const int note = ::open(recordOf(pending.copyPath).c_str(),
                            O_WRONLY | O_APPEND | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (note < 0) return;
    const std::string mark = std::string(1, '\0') + contentMark(pending.written, pending.digest);
    if (writeFully(note, mark.data(), mark.size()) == 0) ::fsync(note);
    ::close(note);
}

// The save is over and the file is what it should be: the copy goes.
void discardCopy(PendingWrite& pending) {
    if (pending.copyPath.empty()) return;
    ::unlink(recordOf(pending.copyPath).c_str());
    ::unlink(pending.copyPath.c_str());
    pending.copyPath.clear();
    closeQuietly(pending.copyLock);
}

// The note is locked while the save runs. Without a copies folder there is
// no note, and a kill at the wrong moment may leave the temporary file.
void noteTemporary(PendingWrite& pending, const std::string& tempPath) {
    forgetTemporary(pending);
    const std::string folder = copiesFolder();
    if (folder.empty() || makeFolders(folder) != 0) return;
    std::string note = folder + "/saving-XXXXXX" + kTemporaryNoteSuffix;
    const int fd =
        ::mkostemps(note.data(), static_cast<int>(kTemporaryNoteSuffix.size()), O_CLOEXEC);
    if (fd < 0) return;
    if (::flock(fd, LOCK_EX) != 0 || writeFully(fd, tempPath.data(), tempPath.size()) != 0) {
        ::unlink(note.c_str());
        ::close(fd);
        return;
    }
    pending.tempNote = fd;
    pending.tempNotePath = note;
}

void forgetTemporary(PendingWrite& pending) {
    if (pending.tempNotePath.empty()) return;
    ::unlink(pending.tempNotePath.c_str());
    pending.tempNotePath.clear();
    closeQuietly(pending.tempNote);
}

}  // namespace detail

std::string copiesFolder() {
    const char* cache = std::getenv("XDG_CACHE_HOME");
    if (cache && cache[0] == '/') return std::string(cache) + "/quorvane";
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/') return std::string(home) + "/.cache/quorvane";
    return {};
}

std::vector<InterruptedSave> interruptedSaves() {
    std::vector<InterruptedSave> found;
    forEachEntry(kRecordSuffix, [&found](const std::string& recordPath) {
        InterruptedSave save;
        save.recordPath = recordPath;
        save.copyPath = recordPath.substr(0, recordPath.size() - kRecordSuffix.size());
        struct stat st {};
        if (::lstat(recordPath.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return;
        const int copy = openRegularFile(save.copyPath, O_RDONLY, false);
        if (copy < 0) {
            // A record without its copy tells nothing.
            if (::lstat(save.copyPath.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
                ::unlink(recordPath.c_str());
            return;
        }
        std::string record;
        if (inUse(copy) || !readSmallFile(recordPath, record)) {
            ::close(copy);
            return;
        }
        if (record.empty()) {
            // Killed before the record named the file: the file was not
            // touched yet, and the copy belongs to nothing.
            ::unlink(recordPath.c_str());
            ::unlink(save.copyPath.c_str());
            ::close(copy);
            return;
        }
        const auto end = record.find('\0');
        save.targetPath = record.substr(0, end);
        const std::string meant = end == std::string::npos ? std::string{} : record.substr(end + 1);
        save.isTest = extensionOf(baseName(save.targetPath)) == ".tst";
        save.outcome = outcomeOf(save.targetPath, meant, copy);
        ::close(copy);
        // A copy identical to its file keeps nothing that the file lacks.
        if (save.outcome == SaveOutcome::NotBegun) ::unlink(save.copyPath.c_str());
        found.push_back(std::move(save));
    });
    return found;
}

void forgetInterruptedSave(const InterruptedSave& save) {
    ::unlink(save.recordPath.c_str());
}

void removeLeftoverTemporaries() {
    forEachEntry(kTemporaryNoteSuffix, [](const std::string& notePath) {
        const int note = openRegularFile(notePath, O_RDONLY, false);
        if (note < 0 || inUse(note)) {
            if (note >= 0) ::close(note);
            return;
        }
        std::string temp;
        readSmallFile(notePath, temp);
        // Only a regular file of this user that bears a temporary's name goes.
        struct stat st {};
        if (baseName(temp).rfind(kTemporaryPrefix, 0) == 0 && ::lstat(temp.c_str(), &st) == 0 &&
            S_ISREG(st.st_mode) && st.st_uid == ::geteuid()) {
            ::unlink(temp.c_str());
        }
        ::unlink(notePath.c_str());
        ::close(note);
    });
}

}  // namespace qv::os
