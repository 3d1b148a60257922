#include "run.h"

#include <limits>

#include "cp1251.h"
#include "errors.h"
#include "format.h"
#include "number.h"

namespace qv {

TestWindowState::TestWindowState()
    : title(cp1251::fromUtf8("Это текст заголовка")),
      authorLine("--- " + cp1251::fromUtf8("Копирайт") + " ----"),
      caption(cp1251::fromUtf8("Тест")),
      question(cp1251::fromUtf8("Здесь размещается текст вопроса")) {
    variants.fill(cp1251::fromUtf8("Варианты"));
}

int shownButtonCount(std::int32_t buttonCount) {
    return buttonCount >= 1 && buttonCount <= kMaxButtons ? buttonCount : 2;
}

void showQuestion(TestWindowState& window, const TestDocument& doc, int q) {
    window.question = doc.text(q);
    for (int k = 1; k <= kMaxButtons; ++k)
        window.variants[static_cast<std::size_t>(k - 1)] = doc.variant(q, k);
}

void requireQuestions(const TestDocument& doc) {
    if (doc.questionCount < 1)
        throw Exception(cp1251::fromUtf8("В этом тесте нет ни одного вопроса"));
}

bool isRangeLine(const std::string& line) {
    return !line.empty() && line[0] == '=';
}
bool isEndMarker(const std::string& line) {
    return !line.empty() && line[0] == '$';
}

RangeBounds readRangeBounds(const std::string& line) {
    RangeBounds bounds;
    const auto convert = [&bounds](std::string text, std::optional<std::int32_t>& bound) {
        const auto value = tryStrToInt(text);
        if (value) {
            bound = value;
        } else {
            bounds.failing = std::move(text);
        }
        return value.has_value();
    };
    for (std::size_t p = 1; p < line.size(); ++p) {  // p is 0-based here; position 1 is the "="
        if (line[p] != '-') continue;
        if (!convert(line.substr(1, p - 1), bounds.low) ||
            !convert(line.substr(p + 1, 4), bounds.high))
            break;
    }
    return bounds;
}

std::int32_t scorePress(const TestDocument& doc, int q, int button, std::int32_t score) {
    const std::int64_t sum = std::int64_t{score} + strToInt(doc.points(q, button));
    if (sum < std::numeric_limits<std::int32_t>::min() ||
        sum > std::numeric_limits<std::int32_t>::max()) {
        throw Exception(cp1251::fromUtf8(
            "Сумма баллов вышла за допустимые пределы (от -2147483648 до 2147483647). "
            "Проверьте баллы этого вопроса"));
    }
    return static_cast<std::int32_t>(sum);
}

AnswerOutcome answerQuestion(TestDocument& doc, RunState& run, int button) {
    run.pressedButton = button;
    const int q = doc.currentQuestion;
    run.score = scorePress(doc, q, button, run.score);
    if (q >= doc.questionCount) return AnswerOutcome::LastAnswered;
    doc.currentQuestion = q + 1;
    return AnswerOutcome::NextQuestion;
}

namespace {

// Chooses the block after the range line at the message cursor.
void chooseBlock(RunState& run, const MessageLines& messages) {
    const int r = run.messageCursor;
    run.currentMessageLine.clear();
    run.rangeFound = true;
    run.score = 0;
    run.resultFirst = r + 1;
    int k = r + 1;
    while (k <= messages.count() && !isRangeLine(messages.line(k)) &&
           !isEndMarker(messages.line(k)))
        ++k;
    run.messageCursor = k;
    run.resultLast = k - 1;
}

// The range test on the current message line; chooses the block when it
// holds the score.
void testRangeLine(RunState& run, const MessageLines& messages) {
    const RangeBounds bounds = readRangeBounds(run.currentMessageLine);
    if (bounds.low) run.rangeLow = *bounds.low;
    if (bounds.high) run.rangeHigh = *bounds.high;
    if (bounds.failing) strToInt(*bounds.failing);  // raises the conversion's own failure
    if (run.rangeLow <= run.score && run.score <= run.rangeHigh) chooseBlock(run, messages);
}

}  // namespace

bool chooseResult(RunState& run, const MessageLines& messages) {
    for (int i = 1; i <= messages.count(); ++i) {
        run.currentMessageLine = messages.line(i);
        run.messageCursor = i;
        if (isRangeLine(run.currentMessageLine)) testRangeLine(run, messages);
        if (run.rangeFound) break;
        if (isEndMarker(messages.line(i))) break;
    }
    return run.rangeFound;
}

std::vector<std::string> resultMemoLines(const RunState& run, const MessageLines& messages) {
    std::vector<std::string> lines{std::string{}};
    for (int i = run.resultFirst; i <= run.resultLast; ++i) lines.push_back(messages.line(i));
    return lines;
}

}  // namespace qv
