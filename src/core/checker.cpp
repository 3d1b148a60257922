#include "checker.h"

#include <algorithm>
#include <limits>

#include "cp1251.h"
#include "document.h"
#include "errors.h"
#include "format.h"
#include "loader.h"
#include "number.h"

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

    void add(Span span) {
        std::vector<Span> merged;
        for (const Span& s : spans_) {
            if (s.second + 1 < span.first || span.second + 1 < s.first) {
                merged.push_back(s);
            } else {
                span = {std::min(s.first, span.first), std::max(s.second, span.second)};
            }
        }
        merged.push_back(span);
        std::sort(merged.begin(), merged.end());
        spans_ = merged;
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
    bool holds(Span span) const {
        return std::any_of(spans_.begin(), spans_.end(), [&](const Span& s) {
            return s.first <= span.first && span.second <= s.second;
        });
    }
    bool empty() const { return spans_.empty(); }

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
    std::vector<Span> spans_;
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

// The points: those that are not numbers, and the lowest and highest totals.
void checkPoints(const TestDocument& doc, CheckReport& report) {
    std::int64_t lowest = 0;
    std::int64_t highest = 0;
    std::int64_t lowestOnTheWay = 0;
    std::int64_t highestOnTheWay = 0;
    bool reachable = true;
    for (int q = 1; q <= doc.questionCount; ++q) {
        std::optional<std::int32_t> least;
        std::optional<std::int32_t> most;
        for (int b = 1; b <= doc.buttonCount; ++b) {
            const std::string& points = doc.points(q, b);
            const auto value = tryStrToInt(points);
            if (!value) {
                report.problems.push_back(ru("вопрос ") + num(q) + ru(", кнопка ") + num(b) +
                                          ru(": баллы ") + quoted(points) +
                                          ru(" — не целое число, и ответ этой кнопкой "
                                             "остановится с ошибкой"));
                continue;
            }
            least = std::min(least.value_or(*value), *value);
            most = std::max(most.value_or(*value), *value);
        }
        if (!least) {
            reachable = false;
            continue;
        }
        lowest += *least;
        highest += *most;
        lowestOnTheWay = std::min(lowestOnTheWay, lowest);
        highestOnTheWay = std::max(highestOnTheWay, highest);
    }
    if (!reachable || doc.questionCount < 1) return;
    report.lowest = lowest;
    report.highest = highest;
    if (lowestOnTheWay < std::numeric_limits<std::int32_t>::min() ||
        highestOnTheWay > std::numeric_limits<std::int32_t>::max()) {
        report.problems.push_back(
            ru("сумма баллов может выйти за пределы от -2147483648 до 2147483647, и такой "
               "ответ будет отвергнут"));
    }
}

// A range line as the scan parses it: its bounds, the text that fails to
// convert, or nothing at all when it holds no "-".
struct ParsedRange {
    std::optional<std::string> failing;
    bool parsed = false;
    std::int64_t low = 0;
    std::int64_t high = 0;
};

ParsedRange parseRange(const std::string& line) {
    ParsedRange range;
    for (std::size_t p = 1; p < line.size(); ++p) {
        if (line[p] != '-') continue;
        const std::string lowText = line.substr(1, p - 1);
        const std::string highText = line.substr(p + 1, 4);
        const auto low = tryStrToInt(lowText);
        if (!low) {
            range.failing = lowText;
            return range;
        }
        const auto high = tryStrToInt(highText);
        if (!high) {
            range.failing = highText;
            return range;
        }
        range.parsed = true;
        range.low = *low;
        range.high = *high;
    }
    return range;
}

// The range lines, scanned as result selection scans them for every total
// the points allow.
void checkRanges(const std::vector<std::string>& messages, CheckReport& report) {
    Totals unchosen;
    const bool totalsKnown = report.lowest.has_value();
    if (totalsKnown) unchosen.add({*report.lowest, *report.highest});
    Totals held;  // by the ranges above
    std::optional<std::pair<std::int64_t, std::int64_t>> lastBounds;
    bool scanStops = false;      // a line above stops every scan that reaches it
    bool dependsOnPast = false;  // a line above takes bounds from an earlier evaluation
    bool ended = false;

    for (std::size_t i = 0; i < messages.size(); ++i) {
        const std::string& line = messages[i];
        const std::string where =
            ru("строка сообщений ") + num(static_cast<std::int64_t>(i + 1)) + " " + quoted(line);
        if (ended) {
            if (!line.empty() && line[0] == '=') {
                report.problems.push_back(
                    where + ru(": диапазон стоит после завершающей «$» и никогда не будет выбран"));
            }
            continue;
        }
        if (!line.empty() && line[0] == '$') {
            ended = true;
            continue;
        }
        if (line.empty() || line[0] != '=' || scanStops) continue;

        const ParsedRange range = parseRange(line);
        if (range.failing) {
            std::string problem =
                where + ru(": граница ") + quoted(*range.failing) + ru(" — не целое число");
            if (totalsKnown && !dependsOnPast && !unchosen.empty()) {
                problem += ru("; при баллах ") + unchosen.text() +
                           ru(" выбор результата остановится с ошибкой");
                unchosen = {};
            }
            report.problems.push_back(problem);
            scanStops = true;
            continue;
        }
        if (!range.parsed) {
            if (lastBounds) {
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
        lastBounds = {range.low, range.high};
        if (range.low > range.high) {
            report.problems.push_back(
                where + ru(": нижняя граница больше верхней, и диапазон никогда не будет выбран"));
            continue;
        }
        if (held.holds({range.low, range.high})) {
            report.problems.push_back(
                where + ru(": все баллы этого диапазона уже входят в диапазоны выше, и он "
                           "никогда не будет выбран"));
        }
        held.add({range.low, range.high});
        unchosen.remove({range.low, range.high});
    }
    if (totalsKnown && !dependsOnPast && !unchosen.empty()) {
        report.problems.push_back(ru("баллы ") + unchosen.text() +
                                  ru(" не входят ни в один диапазон: с ними тест "
                                     "покажет окно ошибки"));
    }
}

}  // namespace

std::string CheckReport::summary() const {
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
        report.problems.push_back(ru("тест не откроется: ") + e.message());
        return report;
    }
    report.questionCount = doc.questionCount;
    if (doc.questionCount < 1)
        report.problems.push_back(ru("в тесте нет ни одного вопроса, и пройти его нельзя"));
    report.problems.insert(report.problems.end(), destination.longVariants.begin(),
                           destination.longVariants.end());
    checkPoints(doc, report);
    if (destination.messages.size() > static_cast<std::size_t>(kMaxMessageLines)) {
        report.problems.push_back(
            ru("сообщения о результатах занимают в файле ") +
            num(static_cast<std::int64_t>(destination.messages.size())) +
            ru(" строк вместе с завершающей «$», а пройти тест можно, только если их не больше ") +
            num(kMaxMessageLines) + ru(": сократите сообщения"));
    }
    checkRanges(destination.messages, report);
    return report;
}

}  // namespace qv
