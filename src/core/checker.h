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

class ByteSource;
class TestDocument;

// The lowest and highest total a run of the document can reach, as the
// check finds them; nothing when no one can answer every question.
struct TotalsRange {
    std::int64_t lowest = 0;
    std::int64_t highest = 0;
};
std::optional<TotalsRange> reachableTotals(const TestDocument& doc);

// Reads the test in `test` as a run would and reports its problems; `again`
// holds the same bytes, read once more for their lines as they are (the
// desktop's check of a file by its name is in file_loading.h). Raises
// EInOutError when the bytes cannot be read; a test that a run refuses (a
// bad Info line, say) is reported as a problem.
CheckReport checkTest(ByteSource& test, ByteSource& again);

}  // namespace qv
