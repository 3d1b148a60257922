#include "os_file.h"

#include <fcntl.h>
#include <signal.h>
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

#include "os_detail.h"
#include "os_errors.h"

namespace qv::os {

namespace detail {

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

namespace {
bool isFolder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}
}  // namespace

int makeFolders(const std::string& folder) {
    if (isFolder(folder)) return 0;
    const std::string parent = folderOf(folder);
    if (parent != folder && !isFolder(parent)) {
        if (const int err = makeFolders(parent)) return err;
    }
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return errno;
    return 0;
}

bool syncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool synced = ::fsync(fd) == 0;
    ::close(fd);
    return synced;
}

Handle openRegularFile(const std::string& path, int flags, bool followLinks) {
    struct stat st {};
    const int looked = followLinks ? ::stat(path.c_str(), &st) : ::lstat(path.c_str(), &st);
    if (looked != 0 || !S_ISREG(st.st_mode)) return kNoHandle;
    // Between the look and the open the name may have become a pipe:
    // O_NONBLOCK keeps the open from waiting on it.
    const int fd = ::open(
        path.c_str(), flags | O_CLOEXEC | O_NONBLOCK | O_NOCTTY | (followLinks ? 0 : O_NOFOLLOW));
    if (fd < 0) return kNoHandle;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return kNoHandle;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

std::uint64_t digestOf(std::uint64_t digest, const char* data, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) {
        digest ^= static_cast<unsigned char>(data[i]);
        digest *= 1099511628211ULL;
    }
    return digest;
}

}  // namespace detail

using namespace detail;

namespace {

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

// The kernel follows a symbolic link in a sticky folder that everyone may
// write only for the link's owner or the folder's; a link planted there by
// someone else could lead a save anywhere. The program resolves links
// itself, so it applies the same rule.
bool plantedLink(const std::string& link) {
    struct stat own {};
    struct stat folder {};
    if (::lstat(link.c_str(), &own) != 0 || ::stat(folderOf(link).c_str(), &folder) != 0)
        return false;
    const bool shared = (folder.st_mode & S_ISVTX) && (folder.st_mode & S_IWOTH);
    return shared && own.st_uid != ::geteuid() && own.st_uid != folder.st_uid;
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
        if (plantedLink(target)) return io::kAccessDenied;
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

std::string temporaryName(const PendingWrite& pending) {
    return folderOf(pending.targetPath) + "/" + kTemporaryPrefix + uniqueSuffix();
}

// The bytes of a save go to a file in the target's folder. Where the system
// allows it the file has no name until it replaces the target, so a save cut
// short by a crash leaves nothing behind; elsewhere it is a hidden named file,
// noted so that the next start removes it if the save never ends.
// Returns an errno value (0 on success).
int createTemporary(PendingWrite& pending) {
#ifdef O_TMPFILE
    // Naming the file later goes through /proc, so it must be there.
    if (::access("/proc/self/fd", X_OK) == 0) {
        const int fd =
            ::open(folderOf(pending.targetPath).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
        if (fd >= 0) {
            pending.handle = fd;
            return 0;
        }
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) return errno;
    }
#endif
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name = temporaryName(pending);
        noteTemporary(pending, name);
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0) {
            pending.handle = fd;
            pending.tempPath = name;
            return 0;
        }
        const int err = errno;
        forgetTemporary(pending);
        if (err != EEXIST) return err;
    }
    return EEXIST;
}

void dropTemporary(PendingWrite& pending) {
    closeQuietly(pending.handle);
    if (!pending.tempPath.empty()) ::unlink(pending.tempPath.c_str());
    pending.tempPath.clear();
    forgetTemporary(pending);
}

// Gives an unnamed temporary file a hidden name beside the target, just
// before the rename that replaces the target with it.
int nameTemporary(PendingWrite& pending) {
    if (!pending.tempPath.empty()) return io::kOk;
    const std::string source = "/proc/self/fd/" + std::to_string(pending.handle);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name = temporaryName(pending);
        noteTemporary(pending, name);
        if (::linkat(AT_FDCWD, source.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            pending.tempPath = name;
            return io::kOk;
        }
        const int err = errno;
        forgetTemporary(pending);
        if (err != EEXIST) return codeForPath(err, name);
    }
    return io::kGeneralFailure;
}

// A write in place failed: the previous content goes back into the target,
// over the same bytes, so that even a full disk has room for it. When that
// fails too the copy stays where it is, named in `keptCopy`, to be told now
// and again at the next start.
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
        pending.keptCopy = pending.copyPath;
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
// Anything but a regular file (a folder, a device, a pipe) is refused: a pipe
// whose reader leaves would take the save with it.
int beginWrite(const std::string& path, PendingWrite& pending) {
    pending = PendingWrite{};
    pending.digest = kDigestStart;
    if (!validName(path)) return io::kInvalidName;
    if (const int rc = resolveLinks(path, pending.targetPath); rc != io::kOk) return rc;
    const std::string& target = pending.targetPath;

    struct stat st {};
    if (::stat(target.c_str(), &st) != 0) {
        if (errno != ENOENT) return codeForPath(errno, target);
        if (const int err = createTemporary(pending)) return codeForPath(err, target);
        return io::kOk;
    }
    if (!S_ISREG(st.st_mode)) return io::kAccessDenied;

    // A file without any write permission is read-only, even for root.
    if ((st.st_mode & 0222) == 0) return io::kAccessDenied;
    if (::access(target.c_str(), W_OK) != 0) return codeForPath(errno, target);
    pending.targetExisted = true;
    pending.targetMode = st.st_mode & 07777;
    const int lockFd = openRegularFile(target, O_RDONLY, true);
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
    pending.digest = digestOf(pending.digest, data, size);
    pending.written += size;
    return io::kOk;
}

int commitWrite(PendingWrite& pending) {
    int rc = io::kOk;
    if (pending.method == SaveMethod::InPlace) {
        // What the file is meant to hold is noted before the last step, so
        // that a start after a kill can tell a finished save from a cut one.
        noteMeantContent(pending);
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
    } else {
        if (::fsync(pending.handle) != 0) rc = ioCodeFromErrno(errno);
        const mode_t mode = pending.targetExisted ? pending.targetMode : newFileMode();
        if (rc == io::kOk && ::fchmod(pending.handle, mode) != 0) rc = ioCodeFromErrno(errno);
        if (rc == io::kOk) rc = nameTemporary(pending);
        const int closeRc = closeAndReport(pending.handle);
        if (rc == io::kOk) rc = closeRc;
        if (rc == io::kOk && ::rename(pending.tempPath.c_str(), pending.targetPath.c_str()) != 0) {
            rc = codeForPath(errno, pending.targetPath);
        }
        if (rc == io::kOk) {
            syncFolder(folderOf(pending.targetPath));
        } else if (!pending.tempPath.empty()) {
            ::unlink(pending.tempPath.c_str());
        }
        pending.tempPath.clear();
        forgetTemporary(pending);
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

bool sameFile(const std::string& a, const std::string& b) {
    struct stat first {};
    struct stat second {};
    return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 &&
           first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

FileIdentity identityOf(const std::string& path) {
    FileIdentity id;
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return id;
    id.isLink = S_ISLNK(st.st_mode);
    if (id.isLink && ::stat(path.c_str(), &st) != 0) return id;
    id.exists = true;
    id.device = static_cast<std::uint64_t>(st.st_dev);
    id.inode = static_cast<std::uint64_t>(st.st_ino);
    id.size = static_cast<std::uint64_t>(st.st_size);
    id.modifiedSeconds = static_cast<std::int64_t>(st.st_mtim.tv_sec);
    id.modifiedNanoseconds = static_cast<std::int64_t>(st.st_mtim.tv_nsec);
    return id;
}

bool fileExists(const std::string& name) {
    struct stat st {};
    return ::lstat(name.c_str(), &st) == 0;
}

void keepRunningOnWriteFailures() {
    ::signal(SIGPIPE, SIG_IGN);
    ::signal(SIGXFSZ, SIG_IGN);
}

void releaseFreeMemory() {
#if defined(__GLIBC__)
    ::malloc_trim(0);
#endif
}

}  // namespace qv::os
