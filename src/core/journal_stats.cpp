#include "journal_stats.h"

#include <algorithm>
#include <optional>
#include <set>
#include <string_view>
#include <unordered_set>
#include <utility>

#include "cp1251.h"
#include "run.h"

namespace qv {

namespace {

using Bounds = std::pair<std::int64_t, std::int64_t>;

// The bounds of a record's range, when the record has a result and its range
// gives both bounds in order.
std::optional<Bounds> boundsOf(const JournalRecord& r) {
    if (r.outcome != RunOutcome::Result) return std::nullopt;
    const RangeBounds b = readRangeBounds(cp1251::fromUtf8(r.range));
    if (b.failing || !b.low || !b.high || *b.low > *b.high) return std::nullopt;
    return Bounds{*b.low, *b.high};
}

// How many of the sorted totals lie from low to high.
std::size_t runsWithin(const std::vector<std::int32_t>& totals, std::int64_t low,
                       std::int64_t high) {
    const auto first = std::lower_bound(totals.begin(), totals.end(), low,
                                        [](std::int32_t t, std::int64_t v) { return t < v; });
    const auto last = std::upper_bound(first, totals.end(), high,
                                       [](std::int64_t v, std::int32_t t) { return v < t; });
    return static_cast<std::size_t>(last - first);
}

// One bar per range and per gap that holds totals, or nothing when the
// ranges overlap or make too many bars.
std::vector<TotalsBin> binsByRanges(const std::set<Bounds>& ranges,
                                    const std::vector<std::int32_t>& totals) {
    std::vector<TotalsBin> bins;
    std::int64_t next = totals.front();  // the lowest total not yet in a bar
    const auto addGap = [&](std::int64_t low, std::int64_t high) {
        if (low > high) return;
        if (const std::size_t runs = runsWithin(totals, low, high))
            bins.push_back({low, high, runs, false});
    };
    std::int64_t previousHigh = 0;
    bool first = true;
    for (const auto& [low, high] : ranges) {
        if (!first && low <= previousHigh) return {};
        addGap(next, low - 1);
        bins.push_back({low, high, runsWithin(totals, low, high), true});
        next = std::max(next, high + 1);
        previousHigh = high;
        first = false;
        if (bins.size() > kMostBins) return {};
    }
    addGap(next, totals.back());
    if (bins.size() > kMostBins) return {};
    return bins;
}

// Bars of one width from the lowest total to the highest, at most kMostBins.
std::vector<TotalsBin> equalBins(const std::vector<std::int32_t>& totals) {
    const std::int64_t lowest = totals.front(), highest = totals.back();
    const std::int64_t spread = highest - lowest + 1;
    const auto most = static_cast<std::int64_t>(kMostBins);
    const std::int64_t width = (spread + most - 1) / most;
    std::vector<TotalsBin> bins;
    for (std::int64_t low = lowest; low <= highest; low += width) {
        const std::int64_t high = std::min(highest, low + width - 1);
        bins.push_back({low, high, runsWithin(totals, low, high), false});
    }
    return bins;
}

}  // namespace

JournalStats journalStats(const std::vector<const JournalRecord*>& records, bool byQuestion) {
    JournalStats stats;
    stats.count = records.size();
    if (records.empty()) return stats;

    std::vector<std::int32_t> totals;
    totals.reserve(records.size());
    std::int64_t sum = 0;
    std::set<Bounds> ranges;
    bool rangesUsable = true;
    // Runs of one test repeat a few range texts: each is read once.
    std::unordered_set<std::string_view> rangeTexts;
    for (const JournalRecord* r : records) {
        totals.push_back(r->total);
        sum += r->total;
        if (r->outcome == RunOutcome::NoRange) ++stats.noRange;
        if (r->outcome == RunOutcome::Failure) ++stats.failures;
        // A record under doubt counts, but does not shape the bars.
        if (r->outcome == RunOutcome::Result && r->doubt.empty() && rangesUsable &&
            rangeTexts.insert(r->range).second) {
            if (const auto bounds = boundsOf(*r)) ranges.insert(*bounds);
            // Past this many ranges (or texts of them) the bars could not be
            // shown one per range.
            rangesUsable = ranges.size() <= kMostBins && rangeTexts.size() <= 8 * kMostBins;
        }
        if (!byQuestion) continue;
        const std::size_t questions =
            std::min(r->answers.size(), static_cast<std::size_t>(kMaxQuestions));
        if (stats.pressed.size() < questions) stats.pressed.resize(questions);
        for (std::size_t q = 0; q < questions; ++q) {
            const int button = r->answers[q] - '0';
            if (button < 1 || button > kMaxButtons) continue;
            ++stats.pressed[q][static_cast<std::size_t>(button - 1)];
            stats.buttons = std::max(stats.buttons, button);
        }
    }
    std::sort(totals.begin(), totals.end());
    stats.lowest = totals.front();
    stats.highest = totals.back();
    stats.mean = static_cast<double>(sum) / static_cast<double>(totals.size());
    if (rangesUsable && !ranges.empty()) stats.histogram = binsByRanges(ranges, totals);
    stats.byRanges = !stats.histogram.empty();
    if (!stats.byRanges) stats.histogram = equalBins(totals);
    return stats;
}

}  // namespace qv
