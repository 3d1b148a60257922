// The copies folder: the previous content of files written in place, the
// records that tie each copy to its file, and the notes that name a save's
// temporary file while it has a name. A start after a kill finds here what
// the killed save left behind.
#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "os_detail.h"
#include "os_errors.h"
#include "os_file.h"
#include "os_kept_copies.h"

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

// How much reading of recorded files one start still allows.
struct ReadBudget {
    std::size_t saves = kCheckedSaves;
    std::uint64_t bytes = kCheckedBytes;
    bool take(std::uint64_t size) {
        if (size > bytes) return false;
        bytes -= size;
        return true;
    }
};

std::uint64_t sizeOf(Handle fd) {
    struct stat st {};
    return ::fstat(fd, &st) == 0 ? static_cast<std::uint64_t>(st.st_size) : UINT64_MAX;
}

// What became of the file a record names: compared with what the save meant
// to write (when the record says), then with the copy of what it held. A
// file is read only when its size matches, and within the budget.
SaveOutcome outcomeOf(const std::string& target, const std::string& meant, Handle copy,
                      ReadBudget& budget) {
    if (budget.saves == 0) return SaveOutcome::Interrupted;
    --budget.saves;
    const int fd = openRegularFile(target, O_RDONLY, true);
    if (fd < 0) return SaveOutcome::Interrupted;
    const std::uint64_t size = sizeOf(fd);
    SaveOutcome outcome = SaveOutcome::Interrupted;
    const std::string sizeText = std::to_string(size) + " ";
    if (meant.rfind(sizeText, 0) == 0 && budget.take(size) && contentMarkOf(fd) == meant) {
        outcome = SaveOutcome::Completed;
    } else if (sizeOf(copy) == size && budget.take(2 * size)) {
        const std::string now = contentMarkOf(fd);
        if (!now.empty() && now == contentMarkOf(copy)) outcome = SaveOutcome::NotBegun;
    }
    ::close(fd);
    return outcome;
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

// Whether `fd` is still the file that `path` names: a start running at the
// same moment removes an empty record or note that it finds unlocked.
bool stillNamed(Handle fd, const std::string& path) {
    struct stat own {};
    struct stat named {};
    return ::fstat(fd, &own) == 0 && ::lstat(path.c_str(), &named) == 0 &&
           own.st_dev == named.st_dev && own.st_ino == named.st_ino;
}

// Before a file is written in place its previous content is copied to the
// copies folder, with a record naming the file, both made durable. The record
// is made first and names the file last, so that a kill at any moment leaves
// either nothing, or an empty record that the next start removes with its
// copy, or a complete copy and its record. The copy keeps the file's
// extension, so that a result's copy is a text file and a test's copy a
// test. Both stay locked while the save runs, so that another Quorvane
// starting up does not take them for ones left behind.
int keepPreviousContent(PendingWrite& pending) {
    const std::string folder = copiesFolder();
    if (folder.empty() || makeFolders(folder) != 0) return io::kNoSafeCopy;
    std::string stem = baseName(pending.targetPath);
    // The copy keeps a short extension, so that it opens as its file would.
    std::string extension = extensionOf(stem);
    if (extension.size() > 10) extension.clear();
    stem.resize(stem.size() - extension.size());
    const std::string ending = extension + kRecordSuffix;
    std::string record;
    std::string copy;
    int note = -1;
    int fd = -1;
    for (int attempt = 0; attempt < 10 && fd < 0; ++attempt) {
        record = folder + "/" + stem.substr(0, 100) + "-XXXXXX" + ending;
        note = ::mkostemps(record.data(), static_cast<int>(ending.size()), O_CLOEXEC);
        if (note < 0) return io::kNoSafeCopy;
        if (::flock(note, LOCK_EX) != 0) break;
        if (!stillNamed(note, record)) {
            // Taken for a leftover by a start in the instant before the lock.
            ::close(note);
            note = -1;
            continue;
        }
        reachStep(SaveStep::RecordStarted);
        copy = record.substr(0, record.size() - kRecordSuffix.size());
        fd = ::open(copy.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0) {
            ::unlink(record.c_str());
            ::close(note);
            note = -1;
        }
    }
    bool kept = fd >= 0 && ::flock(fd, LOCK_EX) == 0 && copyContent(pending.target, fd) == 0 &&
                ::fsync(fd) == 0;
    struct stat st {};
    if (kept && ::fstat(fd, &st) == 0) pending.copySize = static_cast<std::uint64_t>(st.st_size);
    if (kept) {
        reachStep(SaveStep::CopyMade);
        kept = writeFully(note, pending.targetPath.data(), pending.targetPath.size()) == 0 &&
               ::fsync(note) == 0 && syncFolder(folder) && stillNamed(note, record) &&
               stillNamed(fd, copy);
    }
    if (!kept) {
        if (fd >= 0) {
            ::unlink(copy.c_str());
            ::close(fd);
        }
        if (note >= 0) {
            ::unlink(record.c_str());
            ::close(note);
        }
        return io::kNoSafeCopy;
    }
    reachStep(SaveStep::RecordMade);
    pending.copyPath = copy;
    pending.copyLock = fd;
    pending.record = note;
    return io::kOk;
}

// The record gets the size and digest of what the save writes, after a zero
// byte that no file name holds. A note that fails to be made only makes the
// next start's report more cautious.
void noteMeantContent(const PendingWrite& pending, std::uint64_t size, std::uint64_t digest) {
    if (pending.copyPath.empty() || pending.record < 0) return;
    const std::string mark = std::string(1, '\0') + contentMark(size, digest);
    if (writeFully(pending.record, mark.data(), mark.size()) == 0) ::fsync(pending.record);
}

// The save is over and the file is what it should be: the copy goes, then
// its record, so that a kill between the two leaves a record without a copy,
// which the next start removes.
void discardCopy(PendingWrite& pending) {
    if (pending.copyPath.empty()) return;
    ::unlink(pending.copyPath.c_str());
    reachStep(SaveStep::CopyRemoved);
    ::unlink(recordOf(pending.copyPath).c_str());
    pending.copyPath.clear();
    closeQuietly(pending.copyLock);
    closeQuietly(pending.record);
}

// The note is locked while the save runs. It holds the temporary file's
// name, then a zero byte and the file's device and inode once the file
// exists: the file may be given to the target's owner, and the next start
// then knows it by those.
int noteTemporary(PendingWrite& pending, const std::string& tempPath) {
    std::string content = tempPath;
    struct stat st {};
    if (pending.handle >= 0 && ::fstat(pending.handle, &st) == 0) {
        content += '\0' + std::to_string(st.st_dev) + " " + std::to_string(st.st_ino);
    }
    if (pending.tempNote >= 0) {
        // The same note, rewritten in place: it stays where the next start looks.
        if (::pwrite(pending.tempNote, content.data(), content.size(), 0) !=
            static_cast<ssize_t>(content.size()))
            return errno ? errno : EIO;
        if (::ftruncate(pending.tempNote, static_cast<off_t>(content.size())) != 0 ||
            ::fsync(pending.tempNote) != 0)
            return errno;
        return stillNamed(pending.tempNote, pending.tempNotePath) ? 0 : ENOENT;
    }
    forgetTemporary(pending);
    const std::string folder = copiesFolder();
    if (folder.empty()) return ENOENT;
    if (const int err = makeFolders(folder)) return err;
    std::string note;
    int fd = -1;
    for (int attempt = 0; attempt < 10 && fd < 0; ++attempt) {
        note = folder + "/saving-XXXXXX" + kTemporaryNoteSuffix;
        fd = ::mkostemps(note.data(), static_cast<int>(kTemporaryNoteSuffix.size()), O_CLOEXEC);
        if (fd < 0) return errno;
        if (::flock(fd, LOCK_EX) != 0) break;
        if (!stillNamed(fd, note)) {
            // Taken for a leftover by a start in the instant before the lock.
            ::close(fd);
            fd = -1;
        }
    }
    if (fd < 0) return EIO;
    int err = ::flock(fd, LOCK_EX) != 0 ? errno : 0;
    if (err == 0) err = writeFully(fd, content.data(), content.size());
    if (err == 0 && ::fsync(fd) != 0) err = errno;
    if (err == 0 && (!syncFolder(folder) || !stillNamed(fd, note))) err = EIO;
    if (err != 0) {
        ::unlink(note.c_str());
        ::close(fd);
        return err;
    }
    pending.tempNote = fd;
    pending.tempNotePath = note;
    return 0;
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
    const passwd* user = ::getpwuid(::geteuid());
    if (user && user->pw_dir && user->pw_dir[0] == '/')
        return std::string(user->pw_dir) + "/.cache/quorvane";
    return {};
}

std::vector<InterruptedSave> interruptedSaves() {
    std::vector<InterruptedSave> found;
    ReadBudget budget;
    forEachEntry(kRecordSuffix, [&found, &budget](const std::string& recordPath) {
        InterruptedSave save;
        save.recordPath = recordPath;
        save.copyPath = recordPath.substr(0, recordPath.size() - kRecordSuffix.size());
        const int note = openRegularFile(recordPath, O_RDONLY, false);
        if (note < 0) return;
        // A save still running holds its record (and its copy) locked.
        const int copy = inUse(note) ? -2 : openRegularFile(save.copyPath, O_RDONLY, false);
        std::string record;
        struct stat st {};
        if (copy == -2 || (copy >= 0 && inUse(copy))) {
            // Not this start's to look at.
        } else if (copy < 0) {
            // A record without its copy tells nothing.
            if (::lstat(save.copyPath.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
                ::unlink(recordPath.c_str());
        } else if (!readSmallFile(recordPath, record)) {
            // Not a record this program wrote.
        } else if (record.empty()) {
            // Killed before the record named the file: the file was not
            // touched yet, and the copy belongs to nothing.
            ::unlink(save.copyPath.c_str());
            ::unlink(recordPath.c_str());
        } else {
            const auto end = record.find('\0');
            save.targetPath = record.substr(0, end);
            const std::string meant =
                end == std::string::npos ? std::string{} : record.substr(end + 1);
            save.isTest = extensionOf(baseName(save.targetPath)) == ".tst";
            save.outcome = outcomeOf(save.targetPath, meant, copy, budget);
            // A copy identical to its file keeps nothing that the file lacks.
            if (save.outcome == SaveOutcome::NotBegun) ::unlink(save.copyPath.c_str());
            found.push_back(std::move(save));
        }
        if (copy >= 0) ::close(copy);
        ::close(note);
    });
    return found;
}

void forgetInterruptedSave(const InterruptedSave& save) {
    ::unlink(save.recordPath.c_str());
}

// A note names a temporary file, and after a zero byte its device and inode
// once it existed. Only a regular file that bears a temporary's name goes:
// the one with the noted identity, or without one, a file of this user.
void removeLeftoverTemporaries() {
    forEachEntry(kTemporaryNoteSuffix, [](const std::string& notePath) {
        const int note = openRegularFile(notePath, O_RDONLY, false);
        if (note < 0 || inUse(note)) {
            if (note >= 0) ::close(note);
            return;
        }
        std::string content;
        readSmallFile(notePath, content);
        const auto end = content.find('\0');
        const std::string temp = content.substr(0, end);
        const std::string identity =
            end == std::string::npos ? std::string{} : content.substr(end + 1);
        Handle folder = kNoHandle;
        struct stat st {};
        const std::string name = baseName(temp);
        if (name.rfind(kTemporaryPrefix, 0) == 0 && openFolder(folderOf(temp), folder) == 0 &&
            ::fstatat(folder, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode) &&
            (identity.empty()
                 ? st.st_uid == ::geteuid()
                 : identity == std::to_string(st.st_dev) + " " + std::to_string(st.st_ino))) {
            ::unlinkat(folder, name.c_str(), 0);
        }
        closeQuietly(folder);
        ::unlink(notePath.c_str());
        ::close(note);
    });
}

}  // namespace qv::os
