// Whether the journal's records follow from their answers, where their test is at hand.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>
#include <utility>

#include "cp1251.h"
#include "errors.h"
#include "journal.h"
#include "session.h"

namespace fs = std::filesystem;

namespace qv {

namespace {

// Tests in the journal's folder larger than this are not checked: a class's
// tests are far smaller, and a planted sparse file must cost nothing.
constexpr std::uint64_t kMaxCheckedTestBytes = std::uint64_t{16} << 20;

// A private copy of a regular file, taken through one descriptor opened
// without following a link or waiting on a pipe; the copy is what is hashed
// and loaded, so the two agree. Empty when the file cannot be used.
std::string privateCopy(const std::string& path, const fs::path& folder, int n) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return {};
    struct stat st {};
    std::string bytes;
    bool whole = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
                 static_cast<std::uint64_t>(st.st_size) <= kMaxCheckedTestBytes;
    if (whole) {
        bytes.resize(static_cast<std::size_t>(st.st_size));
        std::size_t at = 0;
        while (at < bytes.size()) {
            const ssize_t got = ::read(fd, &bytes[at], bytes.size() - at);
            if (got <= 0) break;
            at += static_cast<std::size_t>(got);
        }
        whole = at == bytes.size();
    }
    ::close(fd);
    if (!whole) return {};
    const fs::path copy = folder / (std::to_string(n) + ".tst");
    const int out = ::open(copy.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (out < 0) return {};
    const bool written =
        ::write(out, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    ::close(out);
    return written ? copy.string() : std::string{};
}

// The run the answers make of the test, as the program would end it; or why
// they make none.
struct Replay {
    FinishedRun run;
    std::string problem;
};

Replay replay(const std::string& test, const std::string& answers) {
    Replay result;
    bool finished = false;
    Session session;
    session.running().onRunFinished = [&](const FinishedRun& run) {
        result.run = run;
        finished = true;
    };
    try {
        session.running().beginRun();
        session.running().loadForRun(test);
        for (std::size_t i = 0; i < answers.size() && !finished; ++i) {
            const int button = answers[i] - '0';
            if (button < 1 || button > 6) {
                result.problem = "ответы не кнопки теста";
                return result;
            }
            const std::size_t scored = session.running().run().presses().size();
            try {
                session.running().answer(button);
            } catch (const Exception&) {
                // A failed result selection ends the run all the same: it was told.
                if (!finished) throw;
            }
            if (session.running().run().presses().size() == scored && !finished) {
                result.problem = "ответы не кнопки теста";  // a button the test does not show
                return result;
            }
            if (finished && i + 1 != answers.size()) {
                result.problem = "ответов больше, чем вопросов в тесте";
                return result;
            }
        }
    } catch (const Exception&) {
        if (!finished) result.problem = "ответы не проходят тест";
    }
    if (!finished && result.problem.empty())
        result.problem = "ответов меньше, чем вопросов в тесте";
    return result;
}

void addDoubt(JournalRecord& r, const std::string& doubt) {
    r.doubt += (r.doubt.empty() ? "" : "; ") + doubt;
}

}  // namespace

void checkRecordsAgainstTests(std::vector<JournalRecord>& records,
                              const std::vector<std::string>& testPaths) {
    // Named as the readers' copies are, so that one a killed export left is
    // removed by the next read.
    std::error_code ec;
    fs::path temporary = fs::temp_directory_path(ec);
    if (ec) temporary = "/tmp";
    std::string pattern =
        (temporary / ("quorvane-journal-" + std::to_string(::getpid()) + "-check-XXXXXX")).string();
    if (!::mkdtemp(pattern.data())) return;
    const fs::path folder = pattern;
    std::map<std::string, std::string> byDigest;  // SHA-256 -> the private copy
    int n = 0;
    for (const auto& path : testPaths) {
        const std::string copy = privateCopy(path, folder, ++n);
        if (!copy.empty()) byDigest.emplace(sha256OfFile(copy), copy);
    }
    std::map<std::pair<std::string, std::string>, Replay> replayed;
    for (auto& r : records) {
        const auto test = byDigest.find(r.testSha256);
        if (r.testSha256.empty() || test == byDigest.end()) continue;
        auto key = std::make_pair(r.testSha256, r.answers);
        auto it = replayed.find(key);
        if (it == replayed.end()) it = replayed.emplace(key, replay(test->second, r.answers)).first;
        const Replay& again = it->second;
        if (!again.problem.empty()) {
            addDoubt(r, again.problem);
        } else if (again.run.total != r.total) {
            addDoubt(r, "сумма не следует из ответов (по ответам " +
                            std::to_string(again.run.total) + ")");
        } else if (again.run.outcome != r.outcome || cp1251::toUtf8(again.run.range) != r.range) {
            JournalRecord expected = r;
            expected.outcome = again.run.outcome;
            expected.range = cp1251::toUtf8(again.run.range);
            addDoubt(r, "исход не следует из суммы (по ответам «" + outcomeText(expected) + "»)");
        }
    }
    fs::remove_all(folder, ec);
}

std::vector<std::string> testFilesIn(const std::string& folder) {
    std::vector<std::string> tests;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::string extension = it->path().extension().string();
        for (char& c : extension)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        std::error_code kind;
        if (extension == ".tst" && it->symlink_status(kind).type() == fs::file_type::regular)
            tests.push_back(it->path().string());
    }
    std::sort(tests.begin(), tests.end());
    return tests;
}

}  // namespace qv
