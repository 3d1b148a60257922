// Checking a test before it is handed out: what a person taking it would
// meet, found by the run's own rules (the number conversion, the scan of the
// range lines and the bounds it carries), without anyone taking it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qv {

struct CheckReport {
    // One line per problem, saying where it is. Windows-1251, as the file.
    std::vector<std::string> problems;
    // What a person taking the test never meets but its author would want
    // to know (a range no total reaches), in the same form.
    std::vector<std::string> warnings;
    int questionCount = 0;
    // The lowest and highest total the points allow; nothing when some
    // question has no button whose points are a number.
    std::optional<std::int64_t> lowest;
    std::optional<std::int64_t> highest;

    // False when a run would refuse the file as it opens it.
    bool opens = true;

    bool clean() const { return problems.empty(); }
    // "вопросов: 2, баллы от 0 до 4", or what of that is known; nothing for
    // a file that does not open.
    std::string summary() const;
};

// Reads the test file as a run would and reports its problems. Raises
// EInOutError when the file cannot be read; a file that a run refuses (a bad
// Info line, say) is reported as a problem.
CheckReport checkTest(const std::string& path);

}  // namespace qv
