#include "os_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "os_errors.h"

namespace qv::os {

namespace {

std::string folderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string baseName(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool isFolder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// ENOENT stands for a missing file when its folder exists, else for a missing folder.
int codeForPath(int err, const std::string& path) {
    if (err == ENOENT && !isFolder(folderOf(path))) return io::kPathNotFound;
    return ioCodeFromErrno(err);
}

bool validName(const std::string& path) {
    return !path.empty() && path.find('\0') == std::string::npos;
}

mode_t newFileMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return static_cast<mode_t>(0666 & ~mask);
}

int closeAndReport(Handle& handle) {
    if (handle == kNoHandle) return io::kOk;
    const int rc = ::close(handle);
    handle = kNoHandle;
    return rc == 0 ? io::kOk : ioCodeFromErrno(errno);
}

void closeQuietly(Handle& handle) {
    if (handle != kNoHandle) ::close(handle);
    handle = kNoHandle;
}

int writeFully(Handle handle, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(handle, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return 0;
}

// Copies everything `from` holds, from its start, to the current offset of `to`.
int copyContent(Handle from, Handle to) {
    if (::lseek(from, 0, SEEK_SET) < 0) return errno;
    char buffer[64 * 1024];
    for (;;) {
        const ssize_t n = ::read(from, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (n == 0) return 0;
        if (const int err = writeFully(to, buffer, static_cast<std::size_t>(n))) return err;
    }
}

bool syncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool synced = ::fsync(fd) == 0;
    ::close(fd);
    return synced;
}

int makeFolders(const std::string& folder) {
    if (isFolder(folder)) return 0;
    const std::string parent = folderOf(folder);
    if (parent != folder && !isFolder(parent)) {
        if (const int err = makeFolders(parent)) return err;
    }
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return errno;
    return 0;
}

// Follows symbolic links, a dangling one included, to the file a save writes:
// a link stays a link, and a link to nothing gets the file it names.
int resolveLinks(const std::string& path, std::string& target) {
    target = path;
    for (int depth = 0; depth < 40; ++depth) {
        char buffer[PATH_MAX];
        const ssize_t n = ::readlink(target.c_str(), buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINVAL || errno == ENOENT) return io::kOk;  // not a link, or nothing there
            return codeForPath(errno, target);
        }
        std::string next(buffer, static_cast<std::size_t>(n));
        if (next.empty()) return io::kFileNotFound;
        target = next.front() == '/' ? next : folderOf(target) + "/" + next;
    }
    return ioCodeFromErrno(ELOOP);
}

std::string uniqueSuffix() {
    static std::atomic<unsigned> counter{0};
    const auto ticks = static_cast<unsigned long long>(
        std::chrono::steady_clock::now().time_since_epoch().count());
    return std::to_string(::getpid()) + "-" + std::to_string(ticks % 1000000007ULL) + "-" +
           std::to_string(counter++);
}

// The bytes of a save go to a file in the target's folder. Where the system
// allows it the file has no name until it replaces the target, so a save cut
// short by a crash leaves nothing behind; elsewhere it is a hidden named file.
// Returns an errno value (0 on success).
int createTemporary(PendingWrite& pending) {
    const std::string folder = folderOf(pending.targetPath);
#ifdef O_TMPFILE
    // Naming the file later goes through /proc, so it must be there.
    if (::access("/proc/self/fd", X_OK) == 0) {
        const int fd = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
        if (fd >= 0) {
            pending.handle = fd;
            return 0;
        }
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) return errno;
    }
#endif
    std::string temp = folder + "/.quorvane-XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) return errno;
    pending.handle = fd;
    pending.tempPath = temp;
    return 0;
}

void dropTemporary(PendingWrite& pending) {
    closeQuietly(pending.handle);
    if (!pending.tempPath.empty()) ::unlink(pending.tempPath.c_str());
    pending.tempPath.clear();
}

// Gives an unnamed temporary file a hidden name beside the target, just
// before the rename that replaces the target with it.
int nameTemporary(PendingWrite& pending) {
    if (!pending.tempPath.empty()) return io::kOk;
    const std::string source = "/proc/self/fd/" + std::to_string(pending.handle);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name = folderOf(pending.targetPath) + "/.quorvane-" + uniqueSuffix();
        if (::linkat(AT_FDCWD, source.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            pending.tempPath = name;
            return io::kOk;
        }
        if (errno != EEXIST) return codeForPath(errno, name);
    }
    return io::kGeneralFailure;
}

std::string recordOf(const std::string& copyPath) {
    return copyPath + ".source";
}

// Before a test is written in place its previous content is copied to the
// copies folder, with a note naming the test, both made durable. The copy
// stays locked while the save runs, so that another Quorvane starting up
// does not take it for one left behind.
int keepPreviousContent(PendingWrite& pending) {
    const std::string folder = copiesFolder();
    if (folder.empty() || makeFolders(folder) != 0) return io::kNoSafeCopy;
    std::string stem = baseName(pending.targetPath);
    if (stem.size() > 4 && stem.compare(stem.size() - 4, 4, ".tst") == 0)
        stem.resize(stem.size() - 4);
    std::string copy = folder + "/" + stem.substr(0, 100) + "-XXXXXX.tst";
    const int fd = ::mkostemps(copy.data(), 4, O_CLOEXEC);
    if (fd < 0) return io::kNoSafeCopy;
    const std::string record = recordOf(copy);

    bool kept = ::flock(fd, LOCK_EX) == 0;
    const int source = kept ? ::open(pending.targetPath.c_str(), O_RDONLY | O_CLOEXEC) : -1;
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

// The save is over and the target is what it should be: the copy goes.
void discardCopy(PendingWrite& pending) {
    if (pending.copyPath.empty()) return;
    ::unlink(recordOf(pending.copyPath).c_str());
    ::unlink(pending.copyPath.c_str());
    pending.copyPath.clear();
    closeQuietly(pending.copyLock);
}

// A write in place failed: the previous content goes back into the target,
// over the same bytes, so that even a full disk has room for it. Only when
// that fails too is the copy left where it is, to be reported at the next start.
void restorePreviousContent(PendingWrite& pending) {
    closeQuietly(pending.handle);
    if (pending.copyPath.empty()) return;
    const int target = ::open(pending.targetPath.c_str(), O_WRONLY | O_CLOEXEC);
    bool restored = target >= 0 && copyContent(pending.copyLock, target) == 0 &&
                    ::ftruncate(target, static_cast<off_t>(pending.copySize)) == 0 &&
                    ::fsync(target) == 0;
    if (target >= 0) restored = ::close(target) == 0 && restored;
    if (restored) {
        discardCopy(pending);
    } else {
        pending.copyPath.clear();
        closeQuietly(pending.copyLock);
    }
}

void releaseLock(PendingWrite& pending) {
    closeQuietly(pending.lock);
}

int beginInPlace(PendingWrite& pending) {
    if (const int rc = keepPreviousContent(pending); rc != io::kOk) return rc;
    const int fd = ::open(pending.targetPath.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) {
        discardCopy(pending);
        return codeForPath(errno, pending.targetPath);
    }
    pending.method = SaveMethod::InPlace;
    pending.handle = fd;
    pending.written = 0;
    return io::kOk;
}

}  // namespace

int openForReading(const std::string& path, Handle& handle, std::uint64_t& size) {
    handle = kNoHandle;
    size = 0;
    if (!validName(path)) return path.empty() ? io::kFileNotFound : io::kInvalidName;
    // Only a regular file can be a test: a device may never end and a pipe
    // may never answer, so neither is opened.
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return codeForPath(errno, path);
    if (!S_ISREG(st.st_mode)) return io::kAccessDenied;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return codeForPath(errno, path);
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return io::kAccessDenied;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
        ::close(fd);
        return io::kSharingViolation;
    }
    handle = fd;
    size = static_cast<std::uint64_t>(st.st_size);
    return io::kOk;
}

int readSome(Handle handle, char* buffer, std::size_t capacity, std::size_t& got) {
    got = 0;
    for (;;) {
        const ssize_t n = ::read(handle, buffer, capacity);
        if (n >= 0) {
            got = static_cast<std::size_t>(n);
            return io::kOk;
        }
        if (errno != EINTR) return ioCodeFromErrno(errno);
    }
}

int closeHandle(Handle handle) {
    return closeAndReport(handle);
}

// How a save puts its bytes in place, all decided here:
// - Replace, the usual way: the bytes go to a temporary file beside the
//   target, which takes the target's place by a rename only once it is
//   complete and on disk, so a crash or a full disk leaves the old file whole.
// - InPlace, where a rename would not keep the file what it was: the file
//   has other hard links (they would keep the old content), its owner or group
//   cannot be given to a new file (the saver would take it over), or the folder
//   takes no new file (a folder the user may not write, or a shared folder with
//   the sticky bit and someone else's file). The previous content is copied to
//   the copies folder first and put back if the write fails; a copy that a
//   killed save leaves behind is reported at the next start. Where no copy can
//   be made, the save is refused and the file left untouched.
// - Direct: a device or a pipe is written as it is; there is nothing to replace.
int beginWrite(const std::string& path, PendingWrite& pending) {
    pending = PendingWrite{};
    if (!validName(path)) return io::kInvalidName;
    if (const int rc = resolveLinks(path, pending.targetPath); rc != io::kOk) return rc;
    const std::string& target = pending.targetPath;

    struct stat st {};
    if (::stat(target.c_str(), &st) != 0) {
        if (errno != ENOENT) return codeForPath(errno, target);
        if (const int err = createTemporary(pending)) return codeForPath(err, target);
        return io::kOk;
    }
    if (S_ISDIR(st.st_mode)) return io::kAccessDenied;
    if (!S_ISREG(st.st_mode)) {
        // O_NONBLOCK: a pipe without a reader is refused rather than waited on.
        const int fd =
            ::open(target.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
        if (fd < 0) return codeForPath(errno, target);
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        pending.method = SaveMethod::Direct;
        pending.handle = fd;
        return io::kOk;
    }

    // A file without any write permission is read-only, even for root.
    if ((st.st_mode & 0222) == 0) return io::kAccessDenied;
    if (::access(target.c_str(), W_OK) != 0) return codeForPath(errno, target);
    pending.targetExisted = true;
    pending.targetMode = st.st_mode & 07777;
    const int lockFd = ::open(target.c_str(), O_RDONLY | O_CLOEXEC);
    if (lockFd >= 0) {
        if (::flock(lockFd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
            ::close(lockFd);
            return io::kSharingViolation;
        }
        pending.lock = lockFd;
    }

    int rc = io::kOk;
    if (st.st_nlink > 1) {
        rc = beginInPlace(pending);
    } else if (const int err = createTemporary(pending)) {
        rc = (err == EACCES || err == EPERM || err == EROFS) ? beginInPlace(pending)
                                                             : codeForPath(err, target);
    } else {
        struct stat temp {};
        const bool sameOwner = ::fstat(pending.handle, &temp) == 0 && temp.st_uid == st.st_uid &&
                               temp.st_gid == st.st_gid;
        if (!sameOwner && ::fchown(pending.handle, st.st_uid, st.st_gid) != 0) {
            dropTemporary(pending);
            rc = beginInPlace(pending);
        }
    }
    if (rc != io::kOk) releaseLock(pending);
    return rc;
}

int writeAll(PendingWrite& pending, const char* data, std::size_t size) {
    if (const int err = writeFully(pending.handle, data, size)) return ioCodeFromErrno(err);
    pending.written += size;
    return io::kOk;
}

int commitWrite(PendingWrite& pending) {
    int rc = io::kOk;
    switch (pending.method) {
        case SaveMethod::Direct:
            rc = closeAndReport(pending.handle);
            break;

        case SaveMethod::InPlace:
            // The new content may be shorter than the old: cut what is left.
            if (::ftruncate(pending.handle, static_cast<off_t>(pending.written)) != 0 ||
                ::fsync(pending.handle) != 0) {
                rc = ioCodeFromErrno(errno);
            }
            if (rc == io::kOk) rc = closeAndReport(pending.handle);
            if (rc == io::kOk) {
                discardCopy(pending);
            } else {
                restorePreviousContent(pending);
            }
            break;

        case SaveMethod::Replace: {
            if (::fsync(pending.handle) != 0) rc = ioCodeFromErrno(errno);
            const mode_t mode = pending.targetExisted ? pending.targetMode : newFileMode();
            if (rc == io::kOk && ::fchmod(pending.handle, mode) != 0) rc = ioCodeFromErrno(errno);
            if (rc == io::kOk) rc = nameTemporary(pending);
            const int closeRc = closeAndReport(pending.handle);
            if (rc == io::kOk) rc = closeRc;
            if (rc == io::kOk &&
                ::rename(pending.tempPath.c_str(), pending.targetPath.c_str()) != 0) {
                rc = codeForPath(errno, pending.targetPath);
            }
            if (rc == io::kOk) {
                syncFolder(folderOf(pending.targetPath));
            } else if (!pending.tempPath.empty()) {
                ::unlink(pending.tempPath.c_str());
            }
            pending.tempPath.clear();
            break;
        }
    }
    releaseLock(pending);
    return rc;
}

void abandonWrite(PendingWrite& pending) {
    if (pending.method == SaveMethod::InPlace) {
        restorePreviousContent(pending);
    } else {
        dropTemporary(pending);
    }
    releaseLock(pending);
}

std::string copiesFolder() {
    const char* cache = std::getenv("XDG_CACHE_HOME");
    if (cache && cache[0] == '/') return std::string(cache) + "/quorvane";
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/') return std::string(home) + "/.cache/quorvane";
    return {};
}

std::vector<InterruptedSave> interruptedSaves() {
    std::vector<InterruptedSave> found;
    const std::string folder = copiesFolder();
    DIR* dir = folder.empty() ? nullptr : ::opendir(folder.c_str());
    if (!dir) return found;
    const std::string suffix = ".source";
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.size() <= suffix.size() ||
            name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
            continue;
        InterruptedSave save;
        save.recordPath = folder + "/" + name;
        save.copyPath = save.recordPath.substr(0, save.recordPath.size() - suffix.size());
        const int copy = ::open(save.copyPath.c_str(), O_RDONLY | O_CLOEXEC);
        if (copy < 0) continue;
        const bool running = ::flock(copy, LOCK_SH | LOCK_NB) != 0;
        ::close(copy);
        if (running) continue;
        const int note = ::open(save.recordPath.c_str(), O_RDONLY | O_CLOEXEC);
        if (note < 0) continue;
        char buffer[PATH_MAX];
        const ssize_t n = ::read(note, buffer, sizeof buffer);
        ::close(note);
        if (n <= 0) continue;
        save.targetPath.assign(buffer, static_cast<std::size_t>(n));
        found.push_back(std::move(save));
    }
    ::closedir(dir);
    return found;
}

void forgetInterruptedSave(const InterruptedSave& save) {
    ::unlink(save.recordPath.c_str());
}

bool sameFile(const std::string& a, const std::string& b) {
    struct stat first {};
    struct stat second {};
    return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 &&
           first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

void releaseFreeMemory() {
#if defined(__GLIBC__)
    ::malloc_trim(0);
#endif
}

}  // namespace qv::os
