// What the tests, the window benchmark and the screenshot tool
// share without Qt: Windows-1251 literals, a scratch folder, whole-file reads
// and writes, child processes, and the worked example of the file format.
#pragma once

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include <stdexcept>
#include "cp1251.h"
#include "document.h"
#include "errors.h"

namespace qvtest {

// A UTF-8 literal as the Windows-1251 bytes the files hold.
inline std::string ru(std::string_view utf8) {
    return qv::cp1251::fromUtf8(utf8);
}

// As ru(), with every "^E" standing for the field separator byte 0x05.
inline std::string ruf(std::string_view utf8) {
    std::string bytes = ru(utf8);
    for (std::size_t at = bytes.find("^E"); at != std::string::npos; at = bytes.find("^E", at)) {
        bytes.replace(at, 2, 1, '\x05');
    }
    return bytes;
}

// The lines as a file holds them, each followed by CR LF.
inline std::string crlf(const std::vector<std::string>& lines) {
    std::string out;
    for (const auto& line : lines) out += line + "\r\n";
    return out;
}

inline std::string readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void writeBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline mode_t modeOf(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return 0;
    return st.st_mode & 07777;
}

// A fresh folder, removed with everything in it when the test ends.
class TempFolder {
  public:
    TempFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "qv-core-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
        path_ = pattern;
    }
    ~TempFolder() {
        std::error_code ec;
        // Give back the permissions a test may have taken away, then remove.
        for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
             !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
            if (it->is_directory(ec) && !it->is_symlink(ec)) ::chmod(it->path().c_str(), 0755);
        }
        ::chmod(path_.c_str(), 0755);
        std::filesystem::remove_all(path_, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

    // The names in the folder (or in a sub-folder), sorted.
    std::vector<std::string> names(const std::string& sub = {}) const {
        std::vector<std::string> out;
        for (const auto& entry :
             std::filesystem::directory_iterator(sub.empty() ? path_ : file(sub))) {
            out.push_back(entry.path().filename().string());
        }
        std::sort(out.begin(), out.end());
        return out;
    }

  private:
    std::string path_;
};

// Runs `save` and returns the I/O code it failed with, 0 when it succeeded.
inline int ioCodeOf(const std::function<void()>& save) {
    try {
        save();
        return 0;
    } catch (const qv::EInOutError& e) {
        return e.errorCode();
    }
}

// The unprivileged user that tests run as where they need one.
inline constexpr uid_t kNobody = 65534;

struct ChildEnd {
    bool exited = false;  // with `code`; otherwise killed by `signal`
    int code = -1;
    int signal = 0;
};

// Runs `body` in a child process and returns how it ended (exit code: what
// `body` returned). With `asNobody`, a root parent's child gives up root
// first (root ignores folder permissions); a child that cannot prints why
// and ends with 250. With `fileSizeLimit`, the child is killed (SIGXFSZ)
// when a file of it would grow past that many bytes.
inline ChildEnd inChild(const std::function<int()>& body, bool asNobody = false,
                        rlim_t fileSizeLimit = RLIM_INFINITY) {
    const pid_t child = ::fork();
    if (child == 0) {
        int code = 250;
        if (!asNobody || ::geteuid() != 0 || (::setgid(kNobody) == 0 && ::setuid(kNobody) == 0)) {
            if (fileSizeLimit != RLIM_INFINITY) {
                ::signal(SIGXFSZ, SIG_DFL);
                const rlimit limit{fileSizeLimit, fileSizeLimit};
                ::setrlimit(RLIMIT_FSIZE, &limit);
            }
            try {
                code = body();
            } catch (const std::exception& e) {
                std::fprintf(stderr, "child failed: %s\n", e.what());
                code = 251;
            }
        }
        ::_exit(code);
    }
    ChildEnd end;
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child) return end;
    end.exited = WIFEXITED(status);
    end.code = end.exited ? WEXITSTATUS(status) : -1;
    end.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    return end;
}

// The temporary files a save left in the folder (or in a sub-folder).
inline std::vector<std::string> leftovers(const TempFolder& dir, const std::string& sub = {}) {
    std::vector<std::string> found;
    for (const auto& name : dir.names(sub))
        if (name.rfind(".quorvane-", 0) == 0) found.push_back(name);
    return found;
}

// While alive, copies of tests written in place go to `folder` (made
// writable by everyone, so that a save run as another user can use it).
class CopiesFolderAt {
  public:
    explicit CopiesFolderAt(const std::string& folder) {
        const char* old = std::getenv("XDG_CACHE_HOME");
        hadOld_ = old != nullptr;
        if (old) old_ = old;
        ::mkdir(folder.c_str(), 0777);
        ::chmod(folder.c_str(), 0777);
        ::setenv("XDG_CACHE_HOME", folder.c_str(), 1);
    }
    ~CopiesFolderAt() {
        if (hadOld_) {
            ::setenv("XDG_CACHE_HOME", old_.c_str(), 1);
        } else {
            ::unsetenv("XDG_CACHE_HOME");
        }
    }
    CopiesFolderAt(const CopiesFolderAt&) = delete;
    CopiesFolderAt& operator=(const CopiesFolderAt&) = delete;

  private:
    bool hadOld_ = false;
    std::string old_;
};

// Windows-1251 lines as one UTF-8 text, a line each, for messages.
inline std::string joined(const std::vector<std::string>& lines) {
    std::string out;
    for (const auto& line : lines) out += qv::cp1251::toUtf8(line) + "\n";
    return out;
}

// The worked example of the file format, kept once in tests/data: two
// questions, three buttons, every question with its own variants.
std::string workedExamplePath();
std::string workedExampleBytes();
// Its lines, without their line ends.
std::vector<std::string> workedExampleLines();

// The lines of a test of one two-button question (points 0 and 1) up to and
// including "Message:"; the message section is the caller's.
std::vector<std::string> oneQuestionTestHead();

// The document of that example: questions, variants and points of buttons 1..3.
inline void fillWorkedExample(qv::TestDocument& doc) {
    doc.questionCount = 2;
    doc.variantMode = 3;
    doc.setText(1, ru("Земля круглая?"));
    doc.setText(2, ru("Луна больше Земли?"));
    const char* variants[2][3] = {{"Верно", "Неверно", "Затрудняюсь ответить"},
                                  {"Больше", "Меньше", "Не знаю"}};
    const char* points[2][3] = {{"2", "0", "1"}, {"0", "2", "1"}};
    for (int q = 1; q <= 2; ++q) {
        for (int b = 1; b <= 3; ++b) {
            doc.setVariant(q, b, ru(variants[q - 1][b - 1]));
            doc.setPoints(q, b, points[q - 1][b - 1]);
        }
    }
}

}  // namespace qvtest
