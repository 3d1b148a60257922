#include "checker.h"

#include <algorithm>
#include <limits>

#include "cp1251.h"
#include "document.h"
#include "errors.h"
#include "format.h"
#include "loader.h"
#include "number.h"
#include "run.h"

namespace qv {

namespace {

std::string ru(const std::string& utf8) {
    return cp1251::fromUtf8(utf8);
}
std::string num(std::int64_t n) {
    return std::to_string(n);
}
std::string quoted(const std::string& text) {
    return ru("«") + text + ru("»");
}

// Totals as a set of whole intervals [first, last], kept sorted and apart.
class Totals {
  public:
    using Span = std::pair<std::int64_t, std::int64_t>;

    Totals() = default;
    explicit Totals(std::vector<Span> spans) : spans_(std::move(spans)) { normalize(); }

    void add(Span span) {
        spans_.push_back(span);
        normalize();
    }
    void remove(Span span) {
        std::vector<Span> left;
        for (const Span& s : spans_) {
            if (s.second < span.first || span.second < s.first) {
                left.push_back(s);
                continue;
            }
            if (s.first < span.first) left.emplace_back(s.first, span.first - 1);
            if (span.second < s.second) left.emplace_back(span.second + 1, s.second);
        }
        spans_ = left;
    }
    // Every total here plus each of the values.
    Totals plusEach(const std::vector<std::int32_t>& values) const {
        std::vector<Span> sums;
        sums.reserve(spans_.size() * values.size());
        for (const std::int32_t v : values)
            for (const Span& s : spans_) sums.emplace_back(s.first + v, s.second + v);
        return Totals(std::move(sums));
    }
    bool holds(Span span) const {
        return std::any_of(spans_.begin(), spans_.end(), [&](const Span& s) {
            return s.first <= span.first && span.second <= s.second;
        });
    }
    bool empty() const { return spans_.empty(); }
    std::size_t spanCount() const { return spans_.size(); }
    std::int64_t first() const { return spans_.front().first; }
    std::int64_t last() const { return spans_.back().second; }

    // "от 5 до 7, 9 и 12", the first few of them.
    std::string text() const {
        constexpr std::size_t kShown = 6;
        std::vector<std::string> parts;
        for (std::size_t i = 0; i < spans_.size() && i < kShown; ++i) {
            const Span& s = spans_[i];
            parts.push_back(s.first == s.second
                                ? num(s.first)
                                : ru("от ") + num(s.first) + ru(" до ") + num(s.second));
        }
        if (spans_.size() > kShown)
            parts.push_back(ru("ещё ") + num(static_cast<std::int64_t>(spans_.size() - kShown)));
        std::string out;
        for (std::size_t i = 0; i < parts.size(); ++i) {
            if (i > 0) out += i + 1 == parts.size() ? ru(" и ") : ", ";
            out += parts[i];
        }
        return out;
    }

  private:
    // Sorted, with touching and overlapping spans joined.
    void normalize() {
        std::sort(spans_.begin(), spans_.end());
        std::vector<Span> joined;
        for (const Span& s : spans_) {
            if (!joined.empty() && s.first <= joined.back().second + 1) {
                joined.back().second = std::max(joined.back().second, s.second);
            } else {
                joined.push_back(s);
            }
        }
        spans_ = std::move(joined);
    }

    std::vector<Span> spans_;
};

// The totals a person taking the test can reach. Past this many separate
// spans of them only the lowest and highest are followed exactly, and the
// totals between are taken as reachable (points that leave ever new gaps).
constexpr std::size_t kFollowedSpans = 1000;

struct Reachable {
    Totals totals;
    bool exact = true;
};

// What a run keeps of a file, and the variant lines as the file has them.
class CheckDestination : public LoadDestination {
  public:
    std::vector<std::string> messages;
    std::vector<std::string> longVariants;

    void buttonCountRead(const std::string&) override {}
    void titleRead(const std::string&, const std::string&, const std::string&) override {}
    void buttonsRead(const LineFields&) override {}
    void variantRead(int question, int button, const std::string& line) override {
        if (line.size() <= kVariantCapacity) return;
        longVariants.push_back(ru("вопрос ") + num(question) + ru(", вариант ") + num(button) +
                               ru(": текст длиной ") + num(static_cast<std::int64_t>(line.size())) +
                               ru(" байт длиннее 80, и конец его "
                                  "будет отброшен"));
    }
    void messageRead(std::string& line) override { messages.push_back(line); }
    void loadFinished() override {}
};

// The points: those that are not numbers, and the totals they allow.
std::optional<Reachable> checkPoints(const TestDocument& doc, CheckReport& report) {
    Reachable reachable{Totals({{0, 0}})};
    std::int64_t lowestOnTheWay = 0;
    std::int64_t highestOnTheWay = 0;
    bool answerable = true;
    for (int q = 1; q <= doc.questionCount; ++q) {
        std::vector<std::int32_t> values;
        for (int b = 1; b <= doc.buttonCount; ++b) {
            const std::string& points = doc.points(q, b);
            if (const auto value = tryStrToInt(points)) {
                values.push_back(*value);
                continue;
            }
            report.problems.push_back(ru("вопрос ") + num(q) + ru(", кнопка ") + num(b) +
                                      ru(": баллы ") + quoted(points) +
                                      ru(" — не целое число, и ответ этой кнопкой "
                                         "остановится с ошибкой"));
        }
        if (values.empty()) {
            answerable = false;
            continue;
        }
        if (!answerable) continue;
        std::sort(values.begin(), values.end());
        values.erase(std::unique(values.begin(), values.end()), values.end());
        Totals& totals = reachable.totals;
        totals = totals.plusEach(values);
        if (totals.spanCount() > kFollowedSpans) {
            totals = Totals({{totals.first(), totals.last()}});
            reachable.exact = false;
        }
        lowestOnTheWay = std::min(lowestOnTheWay, totals.first());
        highestOnTheWay = std::max(highestOnTheWay, totals.last());
    }
    if (!answerable || doc.questionCount < 1) return std::nullopt;
    report.lowest = reachable.totals.first();
    report.highest = reachable.totals.last();
    if (lowestOnTheWay < std::numeric_limits<std::int32_t>::min() ||
        highestOnTheWay > std::numeric_limits<std::int32_t>::max()) {
        report.problems.push_back(
            ru("сумма баллов может выйти за пределы от -2147483648 до 2147483647, и такой "
               "ответ будет отвергнут"));
    }
    return reachable;
}

// The range lines, scanned as result selection scans them for every total
// the points allow.
void checkRanges(const std::vector<std::string>& messages,
                 const std::optional<Reachable>& reachable, CheckReport& report) {
    Totals unchosen = reachable ? reachable->totals : Totals();
    // Where the totals between the lowest and highest are only taken as reachable.
    const std::string ifReachable =
        reachable && !reachable->exact ? ru(" (если такие баллы можно набрать)") : "";
    Totals held;                 // by the ranges above
    bool boundsSet = false;      // a range line above gave bounds
    bool scanStops = false;      // a line above stops every scan that reaches it
    bool dependsOnPast = false;  // a line above takes bounds from an earlier evaluation
    bool ended = false;

    for (std::size_t i = 0; i < messages.size(); ++i) {
        const std::string& line = messages[i];
        const std::string where =
            ru("строка сообщений ") + num(static_cast<std::int64_t>(i + 1)) + " " + quoted(line);
        if (ended) {
            if (isRangeLine(line)) {
                report.problems.push_back(
                    where + ru(": диапазон стоит после завершающей «$» и никогда не будет выбран"));
            }
            continue;
        }
        if (isEndMarker(line)) {
            ended = true;
            continue;
        }
        if (!isRangeLine(line) || scanStops) continue;

        const RangeBounds bounds = readRangeBounds(line);
        if (bounds.failing) {
            std::string problem =
                where + ru(": граница ") + quoted(*bounds.failing) + ru(" — не целое число");
            if (reachable && !dependsOnPast && !unchosen.empty()) {
                problem += ru("; при баллах ") + unchosen.text() + ifReachable +
                           ru(" выбор результата остановится с ошибкой");
                unchosen = {};
            }
            report.problems.push_back(problem);
            scanStops = true;
            continue;
        }
        if (!bounds.low) {
            if (boundsSet) {
                report.problems.push_back(
                    where + ru(": в строке нет «-», она берёт границы строки диапазона выше "
                               "и никогда не будет выбрана"));
            } else {
                report.problems.push_back(
                    where +
                    ru(": в строке нет «-», и её границы — те, что остались от "
                       "предыдущего выбора результата (при первом — 0 и 0); "
                       "что покажет тест дальше, зависит от того, как его проходили до этого"));
                dependsOnPast = true;
            }
            continue;
        }
        boundsSet = true;
        const Totals::Span range{*bounds.low, *bounds.high};
        if (range.first > range.second) {
            report.problems.push_back(
                where + ru(": нижняя граница больше верхней, и диапазон никогда не будет выбран"));
            continue;
        }
        if (held.holds(range)) {
            report.problems.push_back(
                where + ru(": все баллы этого диапазона уже входят в диапазоны выше, и он "
                           "никогда не будет выбран"));
        }
        held.add(range);
        unchosen.remove(range);
    }
    if (reachable && !dependsOnPast && !unchosen.empty()) {
        report.problems.push_back(ru("баллы ") + unchosen.text() + ifReachable +
                                  ru(" не входят ни в один диапазон: с ними тест "
                                     "покажет окно ошибки"));
    }
}

}  // namespace

std::string CheckReport::summary() const {
    if (!opens) return {};
    std::string out = ru("вопросов: ") + num(questionCount);
    if (lowest && highest) out += ru(", баллы от ") + num(*lowest) + ru(" до ") + num(*highest);
    return out;
}

CheckReport checkTest(const std::string& path) {
    CheckReport report;
    TestDocument doc;
    CheckDestination destination;
    TestLoader loader;
    try {
        loader.load(path, doc, destination);
    } catch (const EInOutError&) {
        throw;  // the file cannot be read
    } catch (const Exception& e) {
        // What the run would say when it opens the file.
        report.problems.push_back(ru("тест не откроется: ") + withFullStop(e.message()));
        report.opens = false;
        return report;
    }
    report.questionCount = doc.questionCount;
    if (doc.questionCount < 1)
        report.problems.push_back(ru("в тесте нет ни одного вопроса, и пройти его нельзя"));
    report.problems.insert(report.problems.end(), destination.longVariants.begin(),
                           destination.longVariants.end());
    const std::optional<Reachable> reachable = checkPoints(doc, report);
    if (destination.messages.size() > static_cast<std::size_t>(kMaxMessageLines)) {
        report.problems.push_back(
            ru("сообщения о результатах занимают в файле ") +
            num(static_cast<std::int64_t>(destination.messages.size())) +
            ru(" строк вместе с завершающей «$», а пройти тест можно, только если их не больше ") +
            num(kMaxMessageLines) + ru(": сократите сообщения"));
    }
    checkRanges(destination.messages, reachable, report);
    return report;
}

}  // namespace qv
