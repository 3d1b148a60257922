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
#include "os_kept_copies.h"
#include "os_save.h"
#include "os_signals.h"

namespace qv::os {

namespace detail {

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

bool syncFolder(Handle folder) {
    const int fd = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
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

void dropTemporary(PendingWrite& pending);

int temporaryCode(int err) {
    return err == io::kNoNote ? io::kNoNote : ioCodeFromErrno(err);
}

// Gives the temporary file a new name to be linked under, noted first.
// Returns an errno value, or io::kNoNote when the note could not be made
// for want of anything but room.
int chooseTemporaryName(PendingWrite& pending) {
    pending.tempPath = temporaryName(pending);
    const int err = noteTemporary(pending, pending.tempPath);
    return err == 0 || err == ENOSPC || err == EDQUOT || err == EFBIG ? err : io::kNoNote;
}

// The bytes of a save go to a file in the target's folder. Where the system
// allows it the file has no name until just before it replaces the target;
// elsewhere it is a hidden named file. Either way its name is noted in the
// copies folder before the file gets it, so that the next start removes it
// if the save never ends; where no note can be made, it gets no name.
// Returns an errno value (0 on success), or io::kNoNote.
int createTemporary(PendingWrite& pending) {
#ifdef O_TMPFILE
    // Naming the file later goes through /proc, so it must be there.
    if (::access("/proc/self/fd", X_OK) == 0) {
        const int fd = ::openat(pending.folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
        if (fd >= 0) {
            pending.handle = fd;
            return 0;
        }
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) return errno;
    }
#endif
    for (int attempt = 0; attempt < 100; ++attempt) {
        if (const int err = chooseTemporaryName(pending)) return err;
        reachStep(SaveStep::TemporaryNoted);
        const int fd = ::openat(pending.folder, baseName(pending.tempPath).c_str(),
                                O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd >= 0) {
            pending.handle = fd;
            pending.tempNamed = true;
            // Noted again with the file's identity, before it may change owner.
            const int err = noteTemporary(pending, pending.tempPath);
            if (err != 0) dropTemporary(pending);
            return err == 0 || err == ENOSPC || err == EDQUOT || err == EFBIG ? err : io::kNoNote;
        }
        const int err = errno;
        forgetTemporary(pending);
        if (err != EEXIST) return err;
    }
    return EEXIST;
}

void unlinkTemporary(PendingWrite& pending) {
    if (pending.tempNamed) ::unlinkat(pending.folder, baseName(pending.tempPath).c_str(), 0);
    pending.tempNamed = false;
    pending.tempPath.clear();
    forgetTemporary(pending);
}

void dropTemporary(PendingWrite& pending) {
    closeQuietly(pending.handle);
    unlinkTemporary(pending);
}

// Gives an unnamed temporary file a noted name beside the target, just
// before the rename that replaces the target with it.
int nameTemporary(PendingWrite& pending) {
    if (pending.tempNamed) return io::kOk;
    // A disk too full for the note still takes a name and a rename, which
    // follow each other at once: an empty file is saved even then.
    if (const int err = chooseTemporaryName(pending); err == io::kNoNote) return io::kNoNote;
    const std::string source = "/proc/self/fd/" + std::to_string(pending.handle);
    for (int attempt = 0; attempt < 100; ++attempt) {
        if (::linkat(AT_FDCWD, source.c_str(), pending.folder, baseName(pending.tempPath).c_str(),
                     AT_SYMLINK_FOLLOW) == 0) {
            pending.tempNamed = true;
            reachStep(SaveStep::TemporaryNamed);
            return io::kOk;
        }
        if (errno != EEXIST) return ioCodeFromErrno(errno);
        if (chooseTemporaryName(pending) == io::kNoNote) return io::kNoNote;
    }
    return io::kGeneralFailure;
}

// A write in place failed: the previous content goes back into the target,
// through the handle it was opened with, over the same bytes, so that even a
// full disk has room for it. When that fails too the copy stays where it
// is, named in `keptCopy`, to be told now and again at the next start.
void restorePreviousContent(PendingWrite& pending) {
    closeQuietly(pending.handle);
    if (pending.copyPath.empty()) return;
    const bool restored = pending.target >= 0 && ::lseek(pending.target, 0, SEEK_SET) == 0 &&
                          copyContent(pending.copyLock, pending.target) == 0 &&
                          ::ftruncate(pending.target, static_cast<off_t>(pending.copySize)) == 0 &&
                          ::fsync(pending.target) == 0;
    if (restored) {
        discardCopy(pending);
    } else {
        pending.keptCopy = pending.copyPath;
        pending.copyPath.clear();
        closeQuietly(pending.copyLock);
        closeQuietly(pending.record);
    }
}

void releaseTarget(PendingWrite& pending) {
    closeQuietly(pending.target);
    closeQuietly(pending.folder);
}

int beginInPlace(PendingWrite& pending) {
    if (const int rc = keepPreviousContent(pending); rc != io::kOk) return rc;
    const int fd = ::fcntl(pending.target, F_DUPFD_CLOEXEC, 0);
    if (fd < 0 || ::lseek(fd, 0, SEEK_SET) != 0) {
        const int err = errno;
        if (fd >= 0) ::close(fd);
        discardCopy(pending);
        return ioCodeFromErrno(err);
    }
    pending.method = SaveMethod::InPlace;
    pending.handle = fd;
    pending.written = 0;
    return io::kOk;
}

// Opens the target that was looked at as `checked`, and only that file: the
// name is not followed if it became a link, a pipe does not make the open
// wait, and a file that is no longer the one looked at is refused.
int openTarget(PendingWrite& pending, const std::string& name, const struct stat& checked) {
    const int flags = O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    int fd = ::openat(pending.folder, name.c_str(), O_RDWR | flags);
    if (fd < 0 && errno == EACCES) fd = ::openat(pending.folder, name.c_str(), O_WRONLY | flags);
    if (fd < 0) {
        // A link (ELOOP) or a pipe without a reader (ENXIO) put in its place.
        return errno == ELOOP || errno == ENXIO ? io::kAccessDenied : ioCodeFromErrno(errno);
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_dev != checked.st_dev ||
        st.st_ino != checked.st_ino || (st.st_mode & 0222) == 0) {
        ::close(fd);
        return io::kAccessDenied;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
        ::close(fd);
        return io::kSharingViolation;
    }
    pending.target = fd;
    pending.targetExisted = true;
    pending.targetMode = st.st_mode & 07777;
    return io::kOk;
}

int beginAt(PendingWrite& pending) {
    const std::string name = baseName(pending.targetPath);
    struct stat checked {};
    if (::fstatat(pending.folder, name.c_str(), &checked, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno != ENOENT) return ioCodeFromErrno(errno);
        reachStep(SaveStep::TargetChecked);
        return temporaryCode(createTemporary(pending));
    }
    // Only a regular file is saved; a file without any write permission is
    // read-only, even for root.
    if (!S_ISREG(checked.st_mode) || (checked.st_mode & 0222) == 0) return io::kAccessDenied;
    reachStep(SaveStep::TargetChecked);
    if (const int rc = openTarget(pending, name, checked); rc != io::kOk) return rc;

    struct stat st {};
    if (::fstat(pending.target, &st) != 0) return ioCodeFromErrno(errno);
    if (st.st_nlink > 1) return beginInPlace(pending);
    if (const int err = createTemporary(pending)) {
        return err == EACCES || err == EPERM || err == EROFS ? beginInPlace(pending)
                                                             : temporaryCode(err);
    }
    struct stat temp {};
    const bool sameOwner =
        ::fstat(pending.handle, &temp) == 0 && temp.st_uid == st.st_uid && temp.st_gid == st.st_gid;
    if (!sameOwner && ::fchown(pending.handle, st.st_uid, st.st_gid) != 0) {
        dropTemporary(pending);
        return beginInPlace(pending);
    }
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

int readWholeFile(const std::string& path, std::uint64_t limit, std::string& bytes) {
    bytes.clear();
    Handle handle = kNoHandle;
    std::uint64_t size = 0;
    if (const int rc = openForReading(path, handle, size); rc != io::kOk) return rc;
    int rc = size > limit ? io::kAccessDenied : io::kOk;
    if (rc == io::kOk) bytes.reserve(static_cast<std::size_t>(size));
    char buffer[64 * 1024];
    while (rc == io::kOk) {
        std::size_t got = 0;
        rc = readSome(handle, buffer, sizeof buffer, got);
        if (rc != io::kOk || got == 0) break;
        bytes.append(buffer, got);
        // The file may have grown since it was opened.
        if (bytes.size() > limit) rc = io::kAccessDenied;
    }
    const int closed = closeHandle(handle);
    if (rc == io::kOk) rc = closed;
    if (rc != io::kOk) bytes.clear();
    return rc;
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
    int rc = resolveTarget(path, pending.targetPath, pending.folder);
    if (rc == io::kOk) rc = beginAt(pending);
    if (rc != io::kOk) {
        closeQuietly(pending.handle);
        releaseTarget(pending);
    }
    return rc;
}

int writeAll(PendingWrite& pending, const char* data, std::size_t size) {
    if (const int err = writeFully(pending.handle, data, size)) return ioCodeFromErrno(err);
    pending.digest = digestOf(pending.digest, data, size);
    pending.written += size;
    return io::kOk;
}

int commitWrite(PendingWrite& pending, const char* tail, std::size_t tailSize) {
    int rc = io::kOk;
    if (pending.method == SaveMethod::InPlace) {
        // What the file is meant to hold is noted before its last bytes, so
        // that a start after a kill can tell a finished save from a cut one.
        noteMeantContent(pending, pending.written + tailSize,
                         digestOf(pending.digest, tail, tailSize));
        reachStep(SaveStep::MeantNoted);
        if (tailSize > 0) rc = writeAll(pending, tail, tailSize);
        if (rc == io::kOk) reachStep(SaveStep::LastBytesWritten);
        // The new content may be shorter than the old: cut what is left.
        if (rc == io::kOk &&
            (::ftruncate(pending.handle, static_cast<off_t>(pending.written)) != 0 ||
             ::fsync(pending.handle) != 0)) {
            rc = ioCodeFromErrno(errno);
        }
        if (rc == io::kOk) rc = closeAndReport(pending.handle);
        if (rc == io::kOk) {
            discardCopy(pending);
        } else {
            restorePreviousContent(pending);
        }
    } else {
        if (tailSize > 0) rc = writeAll(pending, tail, tailSize);
        if (rc == io::kOk && ::fsync(pending.handle) != 0) rc = ioCodeFromErrno(errno);
        const mode_t mode = pending.targetExisted ? pending.targetMode : newFileMode();
        if (rc == io::kOk && ::fchmod(pending.handle, mode) != 0) rc = ioCodeFromErrno(errno);
        if (rc == io::kOk) rc = nameTemporary(pending);
        const int closeRc = closeAndReport(pending.handle);
        if (rc == io::kOk) rc = closeRc;
        const std::string name = baseName(pending.targetPath);
        if (rc == io::kOk && ::renameat(pending.folder, baseName(pending.tempPath).c_str(),
                                        pending.folder, name.c_str()) != 0) {
            rc = ioCodeFromErrno(errno);
        }
        if (rc == io::kOk) {
            pending.tempNamed = false;
            syncFolder(pending.folder);
        }
        unlinkTemporary(pending);
    }
    releaseTarget(pending);
    return rc;
}

void abandonWrite(PendingWrite& pending) {
    if (pending.method == SaveMethod::InPlace) {
        restorePreviousContent(pending);
    } else {
        dropTemporary(pending);
    }
    releaseTarget(pending);
}

bool sameFile(const std::string& a, const std::string& b) {
    struct stat first {};
    struct stat second {};
    return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 &&
           first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

namespace {
// The digest of what a regular file holds, read without waiting; 0 when it
// cannot be read.
std::uint64_t digestOfFile(const std::string& path) {
    const int fd = openRegularFile(path, O_RDONLY, true);
    if (fd < 0) return 0;
    std::uint64_t digest = kDigestStart;
    char buffer[64 * 1024];
    std::uint64_t total = 0;
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0 || (total += static_cast<std::uint64_t>(n)) > kDigestedSize) {
            digest = n == 0 ? digest : 0;
            break;
        }
        digest = digestOf(digest, buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return digest;
}
}  // namespace

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
    id.changedSeconds = static_cast<std::int64_t>(st.st_ctim.tv_sec);
    id.changedNanoseconds = static_cast<std::int64_t>(st.st_ctim.tv_nsec);
    if (S_ISREG(st.st_mode) && id.size <= kDigestedSize) id.contentDigest = digestOfFile(path);
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
