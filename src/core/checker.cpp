#include "checker.h"

#include <algorithm>
#include <limits>
#include <string_view>

#include "cp1251.h"
#include "document.h"
#include "errors.h"
#include "format.h"
#include "loader.h"
#include "number.h"
#include "run.h"
#include "text_reader.h"

namespace qv {

namespace {

std::string ru(const std::string& utf8) {
    return cp1251::fromUtf8(utf8);
}
template <typename Integer>
std::string num(Integer n) {
    return std::to_string(n);
}
std::string quoted(const std::string& text) {
    return ru("«") + text + ru("»");
}
std::string joined(const std::vector<std::string>& parts, const std::string& between) {
    std::string out;
    for (std::size_t i = 0; i < parts.size(); ++i) out += (i > 0 ? between : "") + parts[i];
    return out;
}

// "1 промежуток", "3 промежутка", "11 промежутков".
std::string counted(std::uint64_t n, const char* one, const char* few, const char* many) {
    const std::uint64_t tens = n % 100;
    const std::uint64_t units = n % 10;
    const char* word = (tens >= 11 && tens <= 14)   ? many
                       : units == 1                 ? one
                       : (units >= 2 && units <= 4) ? few
                                                    : many;
    return num(n) + " " + ru(word);
}

// Control bytes as "^@".."^_" and "^?", the way the format's own description
// writes the field separator: a zero byte or a line break inside a value
// would otherwise cut or split the line that reports it.
std::string visible(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            out += '^';
            out += static_cast<char>(byte ^ 0x40);
        } else {
            out += c;
        }
    }
    return out;
}

constexpr std::int64_t kLowestSum = std::numeric_limits<std::int32_t>::min();
constexpr std::int64_t kHighestSum = std::numeric_limits<std::int32_t>::max();
// A range's high bound is read from at most four characters, none of them a
// "-", so no range line ever leaves a higher one behind for a later run.
constexpr std::int64_t kHighestCarriedBound = 9999;

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
    // The totals here that lie within `span`.
    Totals within(Span span) const {
        std::vector<Span> kept;
        for (const Span& s : spans_) {
            const Span cut{std::max(s.first, span.first), std::min(s.second, span.second)};
            if (cut.first <= cut.second) kept.push_back(cut);
        }
        return Totals(std::move(kept));
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
        if (spans_.size() > kShown) {
            parts.push_back(ru("ещё ") + counted(spans_.size() - kShown, "промежуток", "промежутка",
                                                 "промежутков"));
        }
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

    // Said after totals that are only taken as reachable.
    std::string ifReachable() const {
        return exact ? std::string() : ru(" (если такие баллы можно набрать)");
    }
    std::string text(const Totals& some) const { return some.text() + ifReachable(); }
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
                               ru(": текст длиной ") + num(line.size()) +
                               ru(" байт длиннее 80, и конец его "
                                  "будет отброшен"));
    }
    void messageRead(std::string& line) override { messages.push_back(line); }
    void loadFinished() override {}
};

// Whether `text` is well-formed UTF-8; `cyrillic` is set when it holds a
// Cyrillic letter so encoded.
bool wellFormedUtf8(std::string_view text, bool& cyrillic) {
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead < 0x80                     ? 1
                                   : (lead >= 0xC2 && lead < 0xE0) ? 2
                                   : (lead >= 0xE0 && lead < 0xF0) ? 3
                                   : (lead >= 0xF0 && lead < 0xF5) ? 4
                                                                   : 0;
        if (length == 0 || i + length > text.size()) return false;
        for (std::size_t k = 1; k < length; ++k)
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
        if (lead == 0xD0 || lead == 0xD1) cyrillic = true;
        i += length;
    }
    return true;
}

// The file's lines as a run reads them, without their meaning.
struct FileLines {
    std::int64_t count = 0;
    std::string last;
    bool utf8 = false;  // well-formed UTF-8 with Cyrillic letters in it
};

FileLines readFileLines(ByteSource& source) {
    FileLines lines;
    TextReader file;
    ioCheck(file.open(source));
    bool wellFormed = true;
    bool cyrillic = false;
    for (;;) {
        bool end = true;
        ioCheck(file.atEnd(end));
        if (end) break;
        ioCheck(file.readLine(lines.last));
        ++lines.count;
        if (wellFormed) wellFormed = wellFormedUtf8(lines.last, cyrillic);
    }
    file.close();
    lines.utf8 = wellFormed && cyrillic;
    return lines;
}

// The line of the file that says "Numbers:", by the counts of the Info line.
std::int64_t numbersLine(const TestDocument& doc) {
    const std::int64_t questions = std::max(doc.questionCount, 0);
    const std::int64_t variants = doc.variantMode == kNoVariants ? 0
                                  : doc.variantMode == kFirstQuestionVariants
                                      ? doc.buttonCount
                                      : questions * doc.buttonCount;
    return 6 + questions + variants;
}

// What a run expects on line `line` of the file, up to the points.
std::string expectedLine(const TestDocument& doc, std::int64_t line) {
    const std::int64_t questions = std::max(doc.questionCount, 0);
    const std::int64_t numbers = numbersLine(doc);
    if (line == 2) return ru("строку заголовка «Title=(…)»");
    if (line == 3) return ru("строку подписей кнопок «Buttons=(…)»");
    if (line == 4) return ru("строку «Questions:»");
    if (line <= 4 + questions) return ru("текст вопроса ") + num(line - 4);
    if (line == 5 + questions) return ru("строку «Variants:…»");
    if (line < numbers) return ru("варианты ответов");
    if (line == numbers) return ru("строку «Numbers:»");
    return ru("баллы");
}

enum class FileEnd { Whole, BeforeMessages, BeforePoints };

// A file that ends before its message section: what is missing, said once
// rather than as every points value it leaves empty.
FileEnd checkFileEnd(const TestDocument& doc, const FileLines& lines, std::size_t messageCount,
                     CheckReport& report) {
    const std::int64_t numbers = numbersLine(doc);
    // The loader takes a "Message:" line for the header only after the points line.
    const bool headerLast =
        lines.last == "Message:" &&
        (lines.count > numbers + 1 || (doc.questionCount < 1 && lines.count == numbers + 1));
    if (messageCount > 0 || headerLast) return FileEnd::Whole;
    const std::string where =
        ru("файл обрывается после строки ") + num(lines.count) + " " + quoted(lines.last);
    if (lines.count <= numbers) {
        std::string problem =
            where + ru(": дальше тест ждёт ") + expectedLine(doc, lines.count + 1);
        if (doc.questionCount > 0)
            problem += ru(", а без баллов ответ на любой вопрос остановится с ошибкой");
        report.problems.push_back(problem);
        return FileEnd::BeforePoints;
    }
    report.problems.push_back(where + ru(": в нём нет строки «Message:» и сообщений о результатах, "
                                         "и при любых баллах тест покажет окно ошибки"));
    return FileEnd::BeforeMessages;
}

// The points of question q that are numbers; those that are not are told in
// `problems` unless it is null.
std::vector<std::int32_t> questionPoints(const TestDocument& doc, int q,
                                         std::vector<std::string>* problems) {
    std::vector<std::int32_t> values;
    for (int b = 1; b <= doc.buttonCount; ++b) {
        const std::string& points = doc.points(q, b);
        if (const auto value = tryStrToInt(points)) {
            values.push_back(*value);
            continue;
        }
        if (!problems) continue;
        problems->push_back(ru("вопрос ") + num(q) + ru(", кнопка ") + num(b) + ru(": баллы ") +
                            quoted(points) +
                            ru(" — не целое число, и ответ этой кнопкой остановится с ошибкой"));
    }
    std::sort(values.begin(), values.end());
    values.erase(std::unique(values.begin(), values.end()), values.end());
    return values;
}

// Totals from which every press of question q leaves the 32-bit range: the
// run refuses them all, and the person taking the test can go no further.
void reportDeadEnd(int q, const Totals& before, const std::vector<std::int32_t>& values,
                   const Reachable& reachable, CheckReport& report) {
    Totals stuck = before;
    stuck.remove({kLowestSum - values.back(), kHighestSum - values.front()});
    if (stuck.empty()) return;
    report.problems.push_back(ru("вопрос ") + num(q) + ru(": при сумме баллов ") +
                              reachable.text(stuck) +
                              ru(" любой ответ выводит её за пределы от -2147483648 до "
                                 "2147483647 и будет отвергнут, и дальше тест не пройти"));
}

// The totals a person taking the test can reach, question by question. A run
// refuses a press whose sum would leave the 32-bit range, so such sums are
// never reached, and a total from which every press is refused goes no
// further. Nothing when no one can answer every question.
std::optional<Reachable> followTotals(const TestDocument& doc, bool reportPoints,
                                      CheckReport& report) {
    Reachable reachable{Totals({{0, 0}})};
    std::vector<int> overflowing;  // questions at which a press can be refused
    bool answerable = doc.questionCount >= 1;
    for (int q = 1; q <= doc.questionCount; ++q) {
        const std::vector<std::int32_t> values =
            questionPoints(doc, q, reportPoints ? &report.problems : nullptr);
        if (values.empty()) answerable = false;
        if (!answerable) continue;
        Totals& totals = reachable.totals;
        const Totals before = totals;
        totals = totals.plusEach(values);
        if (totals.first() < kLowestSum || totals.last() > kHighestSum) {
            overflowing.push_back(q);
            totals = totals.within({kLowestSum, kHighestSum});
            reportDeadEnd(q, before, values, reachable, report);
            if (totals.empty()) answerable = false;
        }
        if (totals.spanCount() > kFollowedSpans) {
            totals = Totals({{totals.first(), totals.last()}});
            reachable.exact = false;
        }
    }
    if (!overflowing.empty()) {
        std::string where = ru(" на вопросе ") + num(overflowing.front());
        if (overflowing.size() > 1) {
            where += ru(" (и ещё на ") +
                     counted(overflowing.size() - 1, "вопросе", "вопросах", "вопросах") + ")";
        }
        report.problems.push_back(ru("сумма баллов может выйти за пределы от -2147483648 до "
                                     "2147483647") +
                                  where +
                                  ru(": такой ответ будет отвергнут, и придётся выбрать другую "
                                     "кнопку"));
    }
    if (!answerable) return std::nullopt;
    report.lowest = reachable.totals.first();
    report.highest = reachable.totals.last();
    return reachable;
}

bool startsWithBlank(const std::string& line) {
    return !line.empty() && (line[0] == ' ' || line[0] == '\t');
}

// An en or em dash of the code page, or one of those or a minus sign as
// UTF-8 bytes: none of them is the "-" a range line needs.
bool holdsTypographicDash(const std::string& line) {
    return line.find_first_of("\x96\x97") != std::string::npos ||
           line.find("\xE2\x80\x93") != std::string::npos ||
           line.find("\xE2\x80\x94") != std::string::npos ||
           line.find("\xE2\x88\x92") != std::string::npos;
}

// A high bound whose digits go on past the four characters a run reads.
bool highBoundCut(const std::string& line) {
    const std::size_t dash = line.rfind('-');
    constexpr std::size_t kRead = 4;
    return dash != std::string::npos && line.size() > dash + 1 + kRead &&
           line[dash + 1 + kRead] >= '0' && line[dash + 1 + kRead] <= '9';
}

// The message lines, scanned as result selection scans them, with the totals
// that reach each line still without a result.
class RangeScan {
  public:
    RangeScan(const std::optional<Reachable>& reachable, CheckReport& report)
        : reachable_(reachable),
          report_(report),
          unchosen_(reachable ? reachable->totals : Totals()) {}

    void visit(std::size_t number, const std::string& line) {
        if (endLine_ > 0) {
            if (isRangeLine(line)) tell(number, line, rangeAfterEnd());
        } else if (isEndMarker(line)) {
            endMarker(number, line);
        } else if (isRangeLine(line)) {
            rangeLine(number, line);
        } else if (startsWithBlank(line)) {
            blankBeforeMark(number, line);
        }
    }

    void finish() {
        if (reachable_ && !unchosen_.empty()) {
            report_.problems.push_back(ru("баллы ") + reachable_->text(unchosen_) +
                                       ru(" не входят ни в один диапазон: с ними тест "
                                          "покажет окно ошибки"));
        }
    }

  private:
    // What the author would want to know, though no one taking the test meets it.
    void warn(std::size_t number, const std::string& line, const std::string& what) {
        report_.warnings.push_back(ru("строка сообщений ") + num(number) + " " + quoted(line) +
                                   ": " + what);
    }
    void tell(std::size_t number, const std::string& line, const std::string& what) {
        report_.problems.push_back(ru("строка сообщений ") + num(number) + " " + quoted(line) +
                                   ": " + what);
    }
    // "строки 5", as in "после строки 5".
    static std::string ofLine(std::size_t number) { return ru("строки ") + num(number); }

    std::string rangeAfterEnd() const {
        if (endText_.find_first_not_of(" \t", 1) == std::string::npos) {
            return ru("диапазон стоит после завершающей «$» (строка ") + num(endLine_) +
                   ru(") и никогда не будет выбран");
        }
        return ru("диапазон стоит после ") + ofLine(endLine_) + " " + quoted(endText_) +
               ru(", которая завершает сообщения, и никогда не будет выбран");
    }

    // The first line that starts with "$" ends the scan and every block, so
    // text after the "$" on it is never shown.
    void endMarker(std::size_t number, const std::string& line) {
        endLine_ = number;
        endText_ = line;
        if (line.find_first_not_of(" \t", 1) != std::string::npos) {
            tell(number, line,
                 ru("строка начинается с «$» и потому завершает сообщения: ни она, ни строки "
                    "после неё показаны не будут"));
        }
    }

    // A line meant as a range line or the end, but taken as text.
    void blankBeforeMark(std::size_t number, const std::string& line) {
        const std::size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos) return;
        if (line[first] == '=') {
            tell(number, line,
                 ru("строка начинается с пробела, и потому это не строка диапазона, а текст "
                    "сообщения выше: уберите пробел в начале"));
        } else if (line[first] == '$') {
            tell(number, line,
                 ru("строка начинается с пробела, и потому она не завершает сообщения, а "
                    "показывается как текст: уберите пробел в начале"));
        }
    }

    void rangeLine(std::size_t number, const std::string& line) {
        std::vector<std::string> said;
        if (holdsTypographicDash(line)) said.push_back(ru("вместо дефиса «-» стоит тире"));
        const RangeBounds bounds = readRangeBounds(line);
        if (bounds.failing) {
            said.push_back(failingBound(*bounds.failing));
        } else if (!bounds.low) {
            said.push_back(withoutDash(number));
        } else {
            if (highBoundCut(line)) {
                said.push_back(ru("верхняя граница читается только по первым четырём знакам, и "
                                  "диапазон — от ") +
                               num(*bounds.low) + ru(" до ") + num(*bounds.high));
            }
            said.push_back(bounded(number, line, {*bounds.low, *bounds.high}));
        }
        said.erase(std::remove(said.begin(), said.end(), std::string()), said.end());
        if (!said.empty()) tell(number, line, joined(said, "; "));
    }

    // A bound that is not a number stops every scan that reaches its line.
    std::string failingBound(const std::string& text) {
        std::string said = ru("граница ") + quoted(text) + ru(" — не целое число");
        if (scanStops_ || !reachable_) {
            scanStops_ = true;
            return said;
        }
        const std::string perhaps = perhaps_.empty()
                                        ? std::string()
                                        : ru("при баллах ") + reachable_->text(perhaps_) +
                                              ru(", если их не возьмёт строка ") +
                                              num(carriedLine_) + ru(" без «-»");
        if (!unchosen_.empty()) {
            said += ru("; при баллах ") + reachable_->text(unchosen_) +
                    ru(" выбор результата остановится с ошибкой");
            if (!perhaps.empty()) said += ru(", а ") + perhaps + ru(", — тоже");
        } else if (!perhaps.empty()) {
            said += "; " + perhaps + ru(", выбор результата остановится с ошибкой");
        }
        unchosen_ = {};
        perhaps_ = {};
        scanStops_ = true;
        return said;
    }

    // A range line without "-" compares with the bounds last read, in this
    // scan or, before any, in an earlier one.
    std::string withoutDash(std::size_t number) {
        const std::string noDash = ru("в строке нет «-»");
        if (scanStops_) return noDash;
        if (boundsLine_ > 0) {
            return noDash + ru(", она берёт границы строки диапазона выше (") +
                   ofLine(boundsLine_) + ru(") и никогда не будет выбрана");
        }
        if (carriedLine_ > 0) {
            return noDash + ru(", и её границы — те же, что у ") + ofLine(carriedLine_) +
                   ru(" без «-» выше, и она никогда не будет выбрана");
        }
        carriedLine_ = number;
        std::string said =
            noDash + ru(", и её границы — те, что остались от предыдущего выбора результата "
                        "(при первом — 0 и 0)");
        const Totals candidates = unchosen_.within({kLowestSum, kHighestCarriedBound});
        if (reachable_ && !candidates.empty()) {
            said += ru("; выберут ли её при баллах ") + reachable_->text(candidates) +
                    ru(", зависит от того, как тест проходили до этого");
        } else if (reachable_) {
            said +=
                ru("; такая верхняя граница не бывает больше 9999, и ни при каких баллах, "
                   "которые доходят до этой строки, строка не будет выбрана");
        } else {
            said += ru("; что покажет тест дальше, зависит от того, как его проходили до этого");
        }
        perhaps_ = candidates;
        unchosen_.remove({kLowestSum, kHighestCarriedBound});
        return said;
    }

    std::string bounded(std::size_t number, const std::string& line, Totals::Span range) {
        if (scanStops_) return {};
        boundsLine_ = number;
        if (range.first > range.second)
            return ru("нижняя граница больше верхней, и диапазон никогда не будет выбран");
        std::string said;
        if (held_.holds(range)) {
            said =
                ru("все баллы этого диапазона уже входят в диапазоны выше, и он никогда не "
                   "будет выбран");
        } else if (reachable_ && reachable_->totals.within(range).empty()) {
            warn(number, line,
                 ru("в диапазон не попадает ни одна сумма баллов, которую можно набрать (") +
                     reachable_->totals.text() + ru("), и он никогда не будет выбран"));
        } else if (reachable_ && unchosen_.within(range).empty() &&
                   perhaps_.within(range).empty()) {
            warn(number, line,
                 ru("все баллы этого диапазона, которые можно набрать, уже входят в диапазоны "
                    "выше, и он никогда не будет выбран"));
        }
        held_.add(range);
        unchosen_.remove(range);
        perhaps_.remove(range);
        return said;
    }

    const std::optional<Reachable>& reachable_;
    CheckReport& report_;
    Totals unchosen_;  // totals that reach the line with no result chosen
    Totals perhaps_;   // those a line without "-" may have taken, by an earlier run's bounds
    Totals held_;      // by the ranges above
    std::size_t boundsLine_ = 0;   // the last range line above that gave bounds
    std::size_t carriedLine_ = 0;  // the line without "-" that took an earlier run's bounds
    std::size_t endLine_ = 0;      // the line that ended the scan
    std::string endText_;
    bool scanStops_ = false;  // a line above stops every scan that reaches it
};

void checkRanges(const std::vector<std::string>& messages,
                 const std::optional<Reachable>& reachable, CheckReport& report) {
    RangeScan scan(reachable, report);
    for (std::size_t i = 0; i < messages.size(); ++i) scan.visit(i + 1, messages[i]);
    scan.finish();
}

void checkMessageCount(const std::vector<std::string>& messages, CheckReport& report) {
    const std::size_t count = messages.size();
    if (count <= static_cast<std::size_t>(kMaxMessageLines)) return;
    const bool endsWithMarker = messages.back().find_first_not_of(" \t", 1) == std::string::npos &&
                                isEndMarker(messages.back());
    report.problems.push_back(ru("сообщения о результатах занимают в файле ") +
                              counted(count, "строку", "строки", "строк") +
                              (endsWithMarker ? ru(" вместе с завершающей «$»") : std::string()) +
                              ru(", а пройти тест можно, только если их не больше ") +
                              num(kMaxMessageLines) + ru(": сократите сообщения"));
}

// A test that opens: what a person taking it would meet.
void checkOpenedTest(const TestDocument& doc, const CheckDestination& destination,
                     const FileLines& lines, CheckReport& report) {
    report.questionCount = doc.questionCount;
    if (doc.questionCount < 1)
        report.problems.push_back(ru("в тесте нет ни одного вопроса, и пройти его нельзя"));
    report.problems.insert(report.problems.end(), destination.longVariants.begin(),
                           destination.longVariants.end());
    const FileEnd end = checkFileEnd(doc, lines, destination.messages.size(), report);
    const std::optional<Reachable> reachable =
        followTotals(doc, end != FileEnd::BeforePoints, report);
    checkMessageCount(destination.messages, report);
    if (end == FileEnd::Whole) checkRanges(destination.messages, reachable, report);
}

}  // namespace

std::string CheckReport::summary() const {
    if (!opens) return {};
    std::string out = ru("вопросов: ") + num(questionCount);
    if (lowest && highest) out += ru(", баллы от ") + num(*lowest) + ru(" до ") + num(*highest);
    return out;
}

std::optional<TotalsRange> reachableTotals(const TestDocument& doc) {
    CheckReport scratch;
    if (!followTotals(doc, false, scratch)) return std::nullopt;
    return TotalsRange{*scratch.lowest, *scratch.highest};
}

CheckReport checkTest(ByteSource& test, ByteSource& again) {
    CheckReport report;
    TestDocument doc;
    CheckDestination destination;
    TestLoader loader;
    std::optional<std::string> refusal;  // what the run would say when it opens the file
    try {
        loader.load(test, doc, destination);
    } catch (const EInOutError&) {
        throw;  // the file cannot be read
    } catch (const Exception& e) {
        refusal = withFullStop(e.message());
    }
    // A file refused for its size is not read through a second time.
    FileLines lines;
    if (loader.lastFileSize() > kMaxTestFileBytes)
        lines.count = 1;
    else
        lines = readFileLines(again);
    if (lines.utf8) {
        report.problems.push_back(
            ru("файл, похоже, в кодировке UTF-8, а тест читает его в Windows-1251, и русские "
               "буквы будут искажены: сохраните файл в кодировке Windows-1251"));
    }
    if (refusal) {
        report.problems.push_back(ru("тест не откроется: ") +
                                  (lines.count == 0 ? ru("файл пуст") : *refusal));
        report.opens = false;
    } else {
        checkOpenedTest(doc, destination, lines, report);
    }
    for (std::string& problem : report.problems) problem = visible(problem);
    for (std::string& warning : report.warnings) warning = visible(warning);
    return report;
}

}  // namespace qv
