// The way from a name to the folder and the file a save writes. The kernel
// is never left to follow a link on that way: the program follows each link
// itself, after judging it as the kernel judges links in sticky folders that
// everyone may write, so that a link or a folder link planted there by
// someone else cannot lead a save anywhere.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <functional>
#include <string>
#include <vector>

#include "os_detail.h"
#include "os_errors.h"
#include "os_file.h"

namespace qv::os {

namespace {

std::function<void(SaveStep)>& stepHook() {
    static std::function<void(SaveStep)> hook;
    return hook;
}

// Someone else's link in a sticky folder that everyone may write, unless the
// folder is theirs.
bool plantedLink(const struct stat& folder, const struct stat& link) {
    const bool shared = (folder.st_mode & S_ISVTX) && (folder.st_mode & S_IWOTH);
    return shared && link.st_uid != ::geteuid() && link.st_uid != folder.st_uid;
}

// The parts of a path, last part first, so that the walk takes them from the back.
void pushParts(const std::string& path, std::vector<std::string>& parts) {
    std::vector<std::string> forward;
    std::size_t start = 0;
    while (start <= path.size()) {
        const auto slash = path.find('/', start);
        const std::size_t end = slash == std::string::npos ? path.size() : slash;
        if (end > start) forward.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    parts.insert(parts.end(), forward.rbegin(), forward.rend());
}

Handle openStart(bool absolute) {
    return ::open(absolute ? "/" : ".", O_PATH | O_DIRECTORY | O_CLOEXEC);
}

int codeOfMissing(int err) {
    return err == ENOENT || err == ENOTDIR ? io::kPathNotFound : ioCodeFromErrno(err);
}

// Reads the link that `link` (an O_PATH handle of the link itself) is.
int readLinkAt(Handle link, std::string& text) {
    char buffer[PATH_MAX];
    const ssize_t n = ::readlinkat(link, "", buffer, sizeof buffer);
    if (n < 0) return ioCodeFromErrno(errno);
    text.assign(buffer, static_cast<std::size_t>(n));
    return text.empty() ? io::kFileNotFound : io::kOk;
}

}  // namespace

void setSaveStepHook(std::function<void(SaveStep)> hook) {
    stepHook() = std::move(hook);
}

namespace detail {

void reachStep(SaveStep step) {
    if (stepHook()) stepHook()(step);
}

int openFolder(const std::string& path, Handle& folder) {
    folder = kNoHandle;
    if (path.empty()) return io::kPathNotFound;
    Handle current = openStart(path.front() == '/');
    if (current < 0) return codeOfMissing(errno);
    std::vector<std::string> parts;
    pushParts(path, parts);
    int links = 0;
    while (!parts.empty()) {
        const std::string part = parts.back();
        parts.pop_back();
        if (part == ".") continue;
        // A folder is asked for first, which also mounts a share mounted on
        // demand; a link is then opened as itself.
        Handle next =
            ::openat(current, part.c_str(), O_PATH | O_NOFOLLOW | O_DIRECTORY | O_CLOEXEC);
        if (next < 0 && errno == ENOTDIR)
            next = ::openat(current, part.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
        struct stat st {};
        if (next < 0 || ::fstat(next, &st) != 0) {
            const int err = errno;
            if (next >= 0) ::close(next);
            ::close(current);
            return codeOfMissing(err);
        }
        if (S_ISDIR(st.st_mode)) {
            ::close(current);
            current = next;
            continue;
        }
        int rc = S_ISLNK(st.st_mode) ? io::kOk : io::kPathNotFound;
        struct stat here {};
        if (rc == io::kOk && ++links > 40) rc = ioCodeFromErrno(ELOOP);
        if (rc == io::kOk && (::fstat(current, &here) != 0 || plantedLink(here, st)))
            rc = io::kAccessDenied;
        std::string text;
        if (rc == io::kOk) rc = readLinkAt(next, text);
        ::close(next);
        if (rc == io::kOk && text.front() == '/') {
            ::close(current);
            current = openStart(true);
            if (current < 0) return codeOfMissing(errno);
        }
        if (rc != io::kOk) {
            ::close(current);
            return rc == io::kFileNotFound ? io::kPathNotFound : rc;
        }
        pushParts(text, parts);
    }
    folder = current;
    return io::kOk;
}

int resolveTarget(const std::string& path, std::string& target, Handle& folder) {
    target = path;
    folder = kNoHandle;
    for (int depth = 0; depth < 40; ++depth) {
        closeQuietly(folder);
        if (const int rc = openFolder(folderOf(target), folder); rc != io::kOk) return rc;
        const std::string name = baseName(target);
        if (name.empty() || name == "." || name == "..") return io::kAccessDenied;
        const Handle link = ::openat(folder, name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
        if (link < 0) return errno == ENOENT ? io::kOk : ioCodeFromErrno(errno);
        struct stat st {};
        struct stat here {};
        if (::fstat(link, &st) != 0 || !S_ISLNK(st.st_mode)) {
            ::close(link);
            return io::kOk;
        }
        std::string next;
        int rc = ::fstat(folder, &here) != 0 || plantedLink(here, st) ? io::kAccessDenied
                                                                      : readLinkAt(link, next);
        ::close(link);
        if (rc != io::kOk) return rc;
        target = next.front() == '/' ? next : folderOf(target) + "/" + next;
    }
    return ioCodeFromErrno(ELOOP);
}

}  // namespace detail

}  // namespace qv::os
