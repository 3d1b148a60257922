#include "taker_run.h"

#include <new>

#include "cp1251.h"
#include "errors.h"
#include "loader.h"

namespace qv {

namespace {

std::string ru(const char* utf8) {
    return cp1251::fromUtf8(utf8);
}

// The failure box over the test window.
TakerRun::Notice failureBox(std::string text, std::exception_ptr failure = nullptr) {
    return {"Quorvane", std::move(text), "OK", std::move(failure)};
}

std::shared_ptr<RunTest> unopened() {
    auto test = std::make_shared<RunTest>();
    // No answer until the test has loaded.
    test->window.buttonsEnabled = false;
    return test;
}

}  // namespace

void RunTestFill::titleRead(const std::string& title, const std::string& author,
                            const std::string& windowCaption) {
    test_.window.title = title;
    test_.window.authorLine = author;
    test_.window.caption = windowCaption;
    const int count = shownButtonCount(test_.document.buttonCount);
    test_.window.shownButtons = count;
    test_.document.activeButtonCount = count;
}

void RunTestFill::loadFinished() {
    requireQuestions(test_.document);
    showQuestion(test_.window, test_.document, 1);
    test_.window.buttonsEnabled = true;
}

std::shared_ptr<const RunTest> readRunTest(ByteSource& source) {
    std::shared_ptr<RunTest> test = unopened();
    try {
        RunTestFill destination(*test);
        TestLoader().load(source, test->document, destination);
    } catch (...) {
        test->refusal = failureText(std::current_exception());
    }
    return test;
}

std::shared_ptr<const RunTest> readRunTest(std::string_view bytes) {
    MemorySource source(bytes);
    return readRunTest(source);
}

std::string failureText(const std::exception_ptr& failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const Exception& e) {
        return withFullStop(e.message());
    } catch (const std::bad_alloc&) {
        return ru("Недостаточно памяти.");
    } catch (const std::exception& e) {
        return cp1251::fromUtf8(withFullStop(e.what()));
    } catch (...) {
        return "Unknown failure.";
    }
}

NoRangeWindow noRangeWindow(std::int32_t total) {
    return {ru("Ошибочная ситуация."),
            ru("Хорошо"),
            {ru("Данный тест имеет ошибки в блоке составления сообщения."), ru("Вы набрали "),
             std::to_string(total), ru("баллов, но в данном тесте программа не  обна-"),
             ru("ружила  диапазон  для такого   числа баллов.  Просмотрите  текст "),
             ru("теста на наличие нужной строки."),
             ru("Для этого нужно проанализировать кол-во баллов за вопрос, а сос- "),
             ru("тавляя сообщения вставить строку вида: =Х-Y, где Х - начало диа-"),
             ru("пазона, а Y - его конец. ")}};
}

namespace {

bool isLetter(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') || byte >= 0xC0 ||
           byte == 0xA8 || byte == 0xB8;  // Ё, ё
}

// The words of a line with single spaces between them.
std::string simplified(const std::string& line) {
    std::string words;
    for (const char c : line) {
        if (c != ' ') {
            words += c;
        } else if (!words.empty() && words.back() != ' ') {
            words += ' ';
        }
    }
    if (!words.empty() && words.back() == ' ') words.pop_back();
    return words;
}

}  // namespace

std::string noRangeExplanation(std::int32_t total) {
    const NoRangeWindow window = noRangeWindow(total);
    std::string text;
    for (const std::string& raw : window.lines) {
        const std::string line = simplified(raw);
        if (line.empty()) continue;
        if (text.size() >= 2 && text.back() == '-' && isLetter(text[text.size() - 2])) {
            text.pop_back();
        } else if (!text.empty()) {
            text += ' ';
        }
        text += line;
    }
    return text;
}

// --- The run -----------------------------------------------------------------------

TakerRun::TakerRun(std::shared_ptr<const RunTest> test) : test_(std::move(test)) {
    restart();
}

void TakerRun::restart() {
    question_ = 1;
    total_ = 0;
    presses_.clear();
    outcome_ = {};
    notice_.reset();
    state_.score = 0;
    state_.rangeFound = false;  // the bounds read last stay
    window_ = test_->window;
    phase_ = Phase::Question;
    if (test_->refusal) {
        phase_ = Phase::Refused;
        outcome_.explanation = *test_->refusal;
        notice_ = failureBox(*test_->refusal);
    }
}

TakerRun::Press TakerRun::answer(int button) {
    const bool shown = button == 1 || (button >= 2 && button <= window_.shownButtons);
    if (phase_ != Phase::Question || !window_.buttonsEnabled || !shown) return {};
    const int q = question_;
    state_.pressedButton = button;
    try {
        state_.score = scorePress(test_->document, q, button, state_.score);
    } catch (...) {
        fail(std::current_exception());
        return {};
    }
    presses_.push_back(button);
    if (q < test_->document.questionCount) {
        question_ = q + 1;
        showQuestion(window_, test_->document, question_);
    } else {
        selectResult();
    }
    return {q, button};
}

void TakerRun::selectResult() {
    total_ = state_.score;
    const MessageLines& messages = test_->messages;
    try {
        if (!chooseResult(state_, messages)) {
            phase_ = Phase::NoRange;
            outcome_.explanation = noRangeExplanation(state_.score);
            const NoRangeWindow box = noRangeWindow(state_.score);
            notice_ = Notice{box.title, outcome_.explanation, box.button, nullptr};
            window_.buttonsEnabled = false;
            return;
        }
    } catch (...) {
        // The last question stays up; another press answers it again.
        fail(std::current_exception());
        return;
    }
    phase_ = Phase::Result;
    outcome_.rangeLine = messages.line(state_.resultFirst - 1);
    for (int i = state_.resultFirst; i <= state_.resultLast; ++i)
        outcome_.lines.push_back(messages.line(i));
}

void TakerRun::fail(const std::exception_ptr& failure) {
    notice_ = failureBox(failureText(failure), failure);
    window_.buttonsEnabled = false;
}

void TakerRun::acknowledge() {
    if (!notice_) return;
    notice_.reset();
    window_.buttonsEnabled = phase_ != Phase::Refused;
}

void TakerRun::resume(const std::vector<int>& presses) {
    for (const int button : presses) {
        if (phase_ != Phase::Question || notice_) break;
        answer(button);
    }
    if (phase_ == Phase::NoRange) acknowledge();
}

std::optional<TotalsRange> TakerRun::reachableTotals() const {
    if (test_->refusal) return std::nullopt;
    return qv::reachableTotals(test_->document);
}

PlatformScore platformScore(const TakerRun& run, const std::optional<TotalsRange>& reachable) {
    PlatformScore score;
    score.total = run.total();
    score.reachable = reachable;
    std::string comment = ru("Сумма баллов: ") + std::to_string(score.total);
    if (reachable) {
        const std::int64_t low = reachable->lowest;
        const std::int64_t high = reachable->highest;
        const std::int64_t total = score.total;
        std::int64_t raw = 100;
        if (high > low) {
            const std::int64_t place = total < low ? 0 : total > high ? high - low : total - low;
            raw = (place * 200 + (high - low)) / (2 * (high - low));
        } else if (total < low) {
            raw = 0;
        }
        score.raw = raw;
        comment += ru(" из ") + std::to_string(high) + ru(" возможных");
        if (low != 0) comment += ru(", наименьшая возможная ") + std::to_string(low);
    }
    if (run.phase() == TakerRun::Phase::Result) {
        comment += ru("; диапазон ") + run.outcome().rangeLine;
    } else if (run.phase() == TakerRun::Phase::NoRange) {
        comment += ru("; ни один диапазон не содержит эту сумму");
    }
    score.comment = std::move(comment);
    return score;
}

}  // namespace qv
