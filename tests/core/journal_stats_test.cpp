// The journal window's figures: the summary, the histogram by the test's
// ranges or by equal spans, and the buttons pressed per question.
#include <gtest/gtest.h>

#include <numeric>
#include <string>
#include <vector>

#include "journal_stats.h"

namespace {

struct TakenRun {
    std::int32_t total;
    std::string range;  // "-": no range held the total; "!": result selection failed
    std::string answers = "";
    bool doubted = false;
};

std::vector<qv::JournalRecord> recordsOf(const std::vector<TakenRun>& runs) {
    std::vector<qv::JournalRecord> records;
    for (const TakenRun& run : runs) {
        qv::JournalRecord r;
        r.total = run.total;
        r.answers = run.answers;
        r.range = run.range;
        if (run.doubted) r.doubt = "the total does not follow from the answers";
        if (run.range == "-") r.outcome = qv::RunOutcome::NoRange;
        if (run.range == "!") r.outcome = qv::RunOutcome::Failure;
        records.push_back(r);
    }
    return records;
}

qv::JournalStats statsOf(const std::vector<qv::JournalRecord>& records, bool byQuestion = false) {
    std::vector<const qv::JournalRecord*> pointers;
    for (const auto& r : records) pointers.push_back(&r);
    return qv::journalStats(pointers, byQuestion);
}

struct Bin {
    std::int64_t low, high;
    std::size_t runs;
    bool isRange;
    bool operator==(const qv::TotalsBin& b) const {
        return low == b.low && high == b.high && runs == b.runs && isRange == b.isRange;
    }
};

std::string shown(const std::vector<qv::TotalsBin>& bins) {
    std::string text;
    for (const auto& b : bins) {
        text += std::to_string(b.low) + ".." + std::to_string(b.high) + ":" +
                std::to_string(b.runs) + (b.isRange ? "r " : " ");
    }
    return text;
}

struct HistogramCase {
    const char* name;
    std::vector<TakenRun> runs;
    bool byRanges;
    std::vector<Bin> bins;
};

TEST(JournalStats, TheHistogramFollowsTheRangesWhenTheyAreUsable) {
    const HistogramCase cases[] = {
        {"nothing", {}, false, {}},
        {"two ranges, one empty",
         {{1, "=0-2"}, {2, "=0-2"}, {0, "=0-2"}, {4, "=3-4"}},
         true,
         {{0, 2, 3, true}, {3, 4, 1, true}}},
        {"a range nobody reached is still a bar",
         {{1, "=0-2"}, {9, "=5-9"}, {9, "=5-9"}, {3, "=3-4"}, {3, "=3-4"}},
         true,
         {{0, 2, 1, true}, {3, 4, 2, true}, {5, 9, 2, true}}},
        {"totals below, between and above the ranges",
         {{-3, "-"}, {1, "=0-2"}, {3, "-"}, {4, "-"}, {7, "=5-9"}, {12, "-"}},
         true,
         {{-3, -1, 1, false},
          {0, 2, 1, true},
          {3, 4, 2, false},
          {5, 9, 1, true},
          {10, 12, 1, false}}},
        {"overlapping ranges of two tests",
         {{2, "=0-10"}, {6, "=5-20"}},
         false,
         {{2, 2, 1, false},
          {3, 3, 0, false},
          {4, 4, 0, false},
          {5, 5, 0, false},
          {6, 6, 1, false}}},
        {"range texts without usable bounds",
         {{5, "=a-b"}, {3, "=7"}, {7, "=9-1"}, {-1, "!"}, {0, ""}},
         false,
         {{-1, -1, 1, false},
          {0, 0, 1, false},
          {1, 1, 0, false},
          {2, 2, 0, false},
          {3, 3, 1, false},
          {4, 4, 0, false},
          {5, 5, 1, false},
          {6, 6, 0, false},
          {7, 7, 1, false}}},
        {"the range of a record under doubt",
         {{1, "=0-2"}, {4, "=3-4"}, {3, "=0-9", "", true}},
         true,
         {{0, 2, 1, true}, {3, 4, 2, true}}},
        {"bounds in the program's own number forms",
         {{16, "=$0A-$1F"}, {3, "=  0-9"}},
         true,
         {{0, 9, 1, true}, {10, 31, 1, true}}},
    };
    for (const auto& c : cases) {
        const qv::JournalStats stats = statsOf(recordsOf(c.runs));
        EXPECT_EQ(stats.byRanges, c.byRanges) << c.name;
        const bool same = std::equal(c.bins.begin(), c.bins.end(), stats.histogram.begin(),
                                     stats.histogram.end());
        EXPECT_TRUE(same) << c.name << ": " << shown(stats.histogram);
    }
}

// Forged or unusual records never make more bars than a chart can label,
// and every run is in exactly one bar.
TEST(JournalStats, NoRecordsMakeMoreBarsThanAChartCanShow) {
    std::vector<TakenRun> forged, extremes, manyRanges;
    for (int i = 0; i < 10000; ++i) forged.push_back({i % 7, "=" + std::to_string(i) + "-9999"});
    extremes = {{INT32_MIN, "-"}, {INT32_MAX, "-"}, {0, "!"}};
    for (int i = 0; i < 30; ++i)
        manyRanges.push_back({i, "=" + std::to_string(i) + "-" + std::to_string(i)});
    for (const auto* runs : {&forged, &extremes, &manyRanges}) {
        const auto stats = statsOf(recordsOf(*runs));
        EXPECT_LE(stats.histogram.size(), qv::kMostBins);
        EXPECT_FALSE(stats.byRanges);
        std::size_t runsInBars = 0;
        for (std::size_t i = 0; i < stats.histogram.size(); ++i) {
            const auto& bin = stats.histogram[i];
            runsInBars += bin.runs;
            EXPECT_LE(bin.low, bin.high);
            if (i > 0) {
                EXPECT_EQ(bin.low, stats.histogram[i - 1].high + 1);
            }
        }
        EXPECT_EQ(runsInBars, runs->size());
        EXPECT_EQ(stats.histogram.front().low, stats.lowest);
        EXPECT_EQ(stats.histogram.back().high, stats.highest);
    }
}

TEST(JournalStats, TheSummaryAndTheButtonsPressedPerQuestion) {
    const auto stats = statsOf(recordsOf({{4, "=3-4", "12"},
                                          {1, "-", "22"},
                                          {3, "!", "136"},
                                          {-2, "=-5-0", "7" + std::string(600, '4')}}),
                               true);
    EXPECT_EQ(stats.count, 4u);
    EXPECT_DOUBLE_EQ(stats.mean, 1.5);
    EXPECT_EQ(stats.lowest, -2);
    EXPECT_EQ(stats.highest, 4);
    EXPECT_EQ(stats.noRange, 1u);
    EXPECT_EQ(stats.failures, 1u);
    // A byte that is no button counts for none; no test has more questions than the limit.
    ASSERT_EQ(stats.pressed.size(), std::size_t{qv::kMaxQuestions});
    EXPECT_EQ(stats.buttons, 6);
    using Row = std::array<std::size_t, qv::kMaxButtons>;
    EXPECT_EQ(stats.pressed[0], (Row{2, 1, 0, 0, 0, 0}));
    EXPECT_EQ(stats.pressed[1], (Row{0, 2, 1, 1, 0, 0}));
    EXPECT_EQ(stats.pressed[2], (Row{0, 0, 0, 1, 0, 1}));
    EXPECT_EQ(stats.pressed[499], (Row{0, 0, 0, 1, 0, 0}));
    // Runs of several tests are not counted by question.
    EXPECT_TRUE(statsOf(recordsOf({{4, "=3-4", "12"}})).pressed.empty());
}

}  // namespace
