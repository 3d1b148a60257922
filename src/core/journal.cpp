#include "journal.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <filesystem>
#include <random>
#include <system_error>

#include "cp1251.h"
#include "errors.h"
#include "file_names.h"
#include "journal_detail.h"
#include "loader.h"
#include "os_file.h"
#include "sha256.h"

namespace fs = std::filesystem;

namespace qv {

using namespace journal_detail;

namespace {

bool isHexId(const std::string& text) {
    if (text.size() != 16) return false;
    for (char c : text)
        if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
    return true;
}

std::string randomId() {
    std::random_device random;
    std::string id;
    static const char* const kDigits = "0123456789abcdef";
    while (id.size() < 16) {
        const unsigned value = random();
        for (int shift = 0; shift < 32 && id.size() < 16; shift += 4)
            id += kDigits[(value >> shift) & 15];
    }
    return id;
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
    std::string bytes;
    if (os::readWholeFile(path, kMaxTestFileBytes, bytes) != 0) return {};
    try {
        return sha256Hex(bytes);
    } catch (const Exception&) {
        return {};
    }
}

std::string journalFileName(const std::string& computer, const std::string& installationId) {
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
    if (isHexId(installationId)) name += "-" + installationId;
    return name + kJournalExtension;
}

JournalRecord recordOfRun(const FinishedRun& run, std::string taker, std::string computer) {
    JournalRecord r;
    r.takenAtUnix = static_cast<std::int64_t>(std::time(nullptr));
    r.takenAt = localTimeText(r.takenAtUnix);
    r.taker = std::move(taker);
    r.computer = std::move(computer);
    // File names are the system's bytes, UTF-8 on the systems the program runs on.
    r.testFile = baseName(run.fileName);
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

std::string installationId(const std::string& configFolder, std::string* problem) {
    const fs::path file = fs::path(configFolder) / "installation-id";
    const auto kept = [&]() -> std::string {
        const int fd = ::open(file.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) return {};
        char text[17] = {};
        struct stat st {};
        const ssize_t got =
            ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) ? ::read(fd, text, 16) : -1;
        ::close(fd);
        const std::string id(text, got > 0 ? static_cast<std::size_t>(got) : 0);
        return isHexId(id) ? id : std::string{};
    };
    if (std::string id = kept(); !id.empty()) return id;
    const std::string id = randomId();
    std::error_code ec;
    fs::create_directories(configFolder, ec);
    // Written under a name of its own and linked into place, so that two
    // instances starting at once agree on the first identifier kept.
    const std::string part = file.string() + "." + randomId();
    const int fd = ::open(part.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    bool written = false;
    if (fd >= 0) {
        const std::string line = id + "\n";
        written = ::write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size()) &&
                  ::fsync(fd) == 0;
        ::close(fd);
        if (written) written = ::link(part.c_str(), file.c_str()) == 0 || errno == EEXIST;
        ::unlink(part.c_str());
    }
    if (std::string id2 = kept(); !id2.empty()) return id2;
    if (problem)
        *problem = "Идентификатор этой установки не удалось сохранить в папке «" + configFolder +
                   "»: журнал этого запуска пишется в отдельный файл.";
    return id;
}

std::string createJournalFolder(const std::string& folder) {
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (!ec && fs::is_directory(folder, ec)) return {};
    if (!ec) ec = std::make_error_code(std::errc::not_a_directory);
    return "Папку журнала «" + folder + "» не удалось создать (" + folderProblemText(ec) + ").";
}

std::string journalFolderProblem(const std::string& folder) {
    std::error_code ec;
    const bool isFolder = fs::is_directory(folder, ec);
    if (isFolder) return {};
    if (!ec) ec = std::make_error_code(std::errc::not_a_directory);
    if (ec == std::errc::no_such_file_or_directory)
        return "Папки журнала «" + folder +
               "» нет: результат не записан. Подключите папку или выберите другую в окне журнала.";
    return "Папка журнала «" + folder + "» недоступна (" + folderProblemText(ec) +
           "): результат не записан.";
}

std::string journal_detail::fileProblemText(int error) {
    switch (error) {
        case ENOENT:
            return "такого файла нет";
        case EACCES:
        case EPERM:
            return "нет прав доступа";
        case ELOOP:
            return "это ссылка, а не файл";
        case EISDIR:
            return "это папка, а не файл";
        case ENOSPC:
            return "на диске нет места";
        case EROFS:
            return "диск только для чтения";
        case EIO:
            return "ошибка ввода-вывода";
        default:
            return std::generic_category().message(error);
    }
}

std::string journal_detail::folderProblemText(const std::error_code& ec) {
    if (ec == std::errc::no_such_file_or_directory) return "такой папки нет";
    if (ec == std::errc::permission_denied) return "нет прав доступа";
    if (ec == std::errc::not_a_directory) return "это не папка";
    if (ec == std::errc::read_only_file_system) return "диск только для чтения";
    if (ec == std::errc::no_space_on_device) return "на диске нет места";
    return ec.message();
}

// UTF-8 decoded by hand: what is not UTF-8 is shown byte by byte.
std::string terminalText(const std::string& utf8) {
    std::string out;
    static const char* const kDigits = "0123456789ABCDEF";
    const auto byteCode = [&](unsigned char c) {
        out += "\\x";
        out += kDigits[c >> 4];
        out += kDigits[c & 15];
    };
    for (std::size_t i = 0; i < utf8.size();) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        if (c < 0x80) {
            if (c < 0x20 || c == 0x7F || c == '\\')
                byteCode(c);
            else
                out += static_cast<char>(c);
            ++i;
            continue;
        }
        const std::size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 ? 2 : 0;
        char32_t code = length == 4 ? c & 7u : length == 3 ? c & 15u : c & 31u;
        bool valid = length != 0 && c < 0xF5 && i + length <= utf8.size();
        for (std::size_t k = 1; valid && k < length; ++k) {
            const auto next = static_cast<unsigned char>(utf8[i + k]);
            valid = (next & 0xC0) == 0x80;
            code = (code << 6) | (next & 0x3Fu);
        }
        if (valid) {
            valid = !(length == 3 && (code < 0x800 || (code >= 0xD800 && code <= 0xDFFF))) &&
                    !(length == 4 && (code < 0x10000 || code > 0x10FFFF));
        }
        if (!valid) {
            byteCode(c);
            ++i;
            continue;
        }
        // C1 controls, line and paragraph separators, and the marks that
        // reorder or hide text.
        const bool hidden = (code >= 0x80 && code <= 0x9F) || code == 0x2028 || code == 0x2029 ||
                            (code >= 0x200B && code <= 0x200F) ||
                            (code >= 0x202A && code <= 0x202E) ||
                            (code >= 0x2066 && code <= 0x2069) || code == 0xFEFF;
        if (hidden) {
            out += "\\u";
            for (int shift = 12; shift >= 0; shift -= 4) out += kDigits[(code >> shift) & 15];
        } else {
            out.append(utf8, i, length);
        }
        i += length;
    }
    return out;
}

}  // namespace qv
