#include "os_file.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "os_errors.h"

namespace qv::os {

namespace {

std::string folderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
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

void releaseLock(PendingWrite& pending) {
    if (pending.lock != kNoHandle) ::close(pending.lock);
    pending.lock = kNoHandle;
}

}  // namespace

int openForReading(const std::string& path, Handle& handle) {
    handle = kNoHandle;
    if (!validName(path)) return path.empty() ? io::kFileNotFound : io::kInvalidName;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return codeForPath(errno, path);
    struct stat st {};
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(fd);
        return io::kAccessDenied;
    }
    if (::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
        ::close(fd);
        return io::kSharingViolation;
    }
    handle = fd;
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

int closeHandle(Handle handle) { return closeAndReport(handle); }

int beginWrite(const std::string& path, PendingWrite& pending) {
    pending = PendingWrite{};
    if (!validName(path)) return io::kInvalidName;

    // Replace the file a symbolic link points to, and keep the link.
    pending.targetPath = path;
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        if (char* resolved = ::realpath(path.c_str(), nullptr)) {
            pending.targetPath = resolved;
            std::free(resolved);
        }
    }
    const std::string& target = pending.targetPath;

    bool writeInPlace = false;
    if (::stat(target.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) return io::kAccessDenied;
        if (!S_ISREG(st.st_mode)) {
            writeInPlace = true;  // a device or pipe is written, never replaced
        } else {
            // A file without any write permission is read-only, even for root.
            if ((st.st_mode & 0222) == 0) return io::kAccessDenied;
            if (::access(target.c_str(), W_OK) != 0) return codeForPath(errno, target);
            pending.targetExisted = true;
            pending.targetMode = st.st_mode & 07777;
            pending.targetOwner = st.st_uid;
            pending.targetGroup = st.st_gid;
            const int lockFd = ::open(target.c_str(), O_RDONLY | O_CLOEXEC);
            if (lockFd >= 0) {
                if (::flock(lockFd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
                    ::close(lockFd);
                    return io::kSharingViolation;
                }
                pending.lock = lockFd;
            }
        }
    } else if (errno != ENOENT) {
        return codeForPath(errno, target);
    }

    if (!writeInPlace) {
        std::string temp = folderOf(target) + "/.quorvane-XXXXXX";
        const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
        if (fd >= 0) {
            pending.handle = fd;
            pending.tempPath = temp;
            return io::kOk;
        }
        const int err = errno;
        // The folder takes no new file, but the file itself may be written.
        if (!(pending.targetExisted && (err == EACCES || err == EPERM || err == EROFS))) {
            releaseLock(pending);
            return codeForPath(err, target);
        }
    }

    const int fd = ::open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        releaseLock(pending);
        return codeForPath(errno, target);
    }
    pending.handle = fd;
    return io::kOk;
}

int writeAll(const PendingWrite& pending, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(pending.handle, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return ioCodeFromErrno(errno);
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return io::kOk;
}

int commitWrite(PendingWrite& pending) {
    if (pending.tempPath.empty()) {
        const int rc = closeAndReport(pending.handle);
        releaseLock(pending);
        return rc;
    }
    int rc = io::kOk;
    if (::fsync(pending.handle) != 0) rc = ioCodeFromErrno(errno);
    if (rc == io::kOk) {
        const mode_t mode = pending.targetExisted ? pending.targetMode : newFileMode();
        if (::fchmod(pending.handle, mode) != 0) rc = ioCodeFromErrno(errno);
    }
    if (rc == io::kOk && pending.targetExisted && ::geteuid() == 0) {
        // Best effort: root saving someone else's file keeps it theirs.
        (void)!::fchown(pending.handle, pending.targetOwner, pending.targetGroup);
    }
    const int closeRc = closeAndReport(pending.handle);
    if (rc == io::kOk) rc = closeRc;
    if (rc == io::kOk && ::rename(pending.tempPath.c_str(), pending.targetPath.c_str()) != 0) {
        rc = codeForPath(errno, pending.targetPath);
    }
    if (rc != io::kOk) ::unlink(pending.tempPath.c_str());
    pending.tempPath.clear();
    releaseLock(pending);
    return rc;
}

void abandonWrite(PendingWrite& pending) {
    if (pending.handle != kNoHandle) ::close(pending.handle);
    pending.handle = kNoHandle;
    if (!pending.tempPath.empty()) ::unlink(pending.tempPath.c_str());
    pending.tempPath.clear();
    releaseLock(pending);
}

}  // namespace qv::os
