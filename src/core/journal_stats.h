// Figures of a set of journal records, as the journal window shows them: the
// count, mean, lowest and highest totals, how the runs fell into the test's
// ranges, a histogram of the totals, and how many pressed each button of
// each question.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "document.h"
#include "journal.h"

namespace qv {

// No histogram has more bars than this, whatever the records say.
inline constexpr std::size_t kMostBins = 24;

// One bar of the histogram: the runs whose total lies from `low` to `high`,
// both included.
struct TotalsBin {
    std::int64_t low = 0;
    std::int64_t high = 0;
    std::size_t runs = 0;
    // The bounds are one of the test's ranges (not totals between, below or
    // above them, nor a span of equal width).
    bool isRange = false;
};

struct JournalStats {
    std::size_t count = 0;
    double mean = 0;
    std::int32_t lowest = 0;
    std::int32_t highest = 0;
    std::size_t noRange = 0;   // runs whose total no range held
    std::size_t failures = 0;  // runs whose result selection failed
    // Lowest totals first. When the ranges the records chose are few and do
    // not overlap, one bar per range, and one for the totals of each gap
    // between, below or above them that holds any; otherwise bars of equal
    // width from the lowest total to the highest. Empty without records.
    std::vector<TotalsBin> histogram;
    bool byRanges = false;
    // Per question (at most kMaxQuestions), how many pressed each button;
    // empty unless counted by question.
    std::vector<std::array<std::size_t, kMaxButtons>> pressed;
    int buttons = 0;  // the highest button anyone pressed
};

// The figures of the records. Range bounds are read as result selection reads
// them; a range text that gives no bounds in order adds no range, nor does a
// record under doubt. The buttons pressed are counted only `byQuestion`, as
// the questions of different tests have nothing in common.
JournalStats journalStats(const std::vector<const JournalRecord*>& records, bool byQuestion);

}  // namespace qv
