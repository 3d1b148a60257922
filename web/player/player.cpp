// The player inside an exported page: the program's own session reads the
// test's bytes and takes the answers, so a page decides every result exactly
// as the desktop does. The page draws the state handed back here (JSON, UTF-8
// texts) and forwards presses; it holds no rule of its own.
#include <emscripten/emscripten.h>

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

#include "checker.h"
#include "cp1251.h"
#include "errors.h"
#include "session.h"

namespace {

// Where the page's test bytes are put for the loader, in the page's memory.
const char* const kTestPath = "/test.tst";

// The error window's message, read as one sentence, as a screen reader
// hears it on the desktop.
std::string noRangeMessage(std::int32_t score) {
    return "Данный тест имеет ошибки в блоке составления сообщения. Вы набрали " +
           std::to_string(score) +
           " баллов, но в данном тесте программа не обнаружила диапазон для такого числа "
           "баллов. Просмотрите текст теста на наличие нужной строки. Для этого нужно "
           "проанализировать кол-во баллов за вопрос, а составляя сообщения вставить строку "
           "вида: =Х-Y, где Х - начало диапазона, а Y - его конец.";
}

class Json {
  public:
    Json& key(const char* name) {
        separate();
        text_ += '"';
        text_ += name;
        text_ += "\":";
        fresh_ = true;
        return *this;
    }
    // Windows-1251 bytes, written as UTF-8.
    Json& bytes(const std::string& cp1251) { return utf8(qv::cp1251::toUtf8(cp1251)); }
    Json& utf8(const std::string& text) {
        separate();
        text_ += '"';
        for (const char c : text) {
            const auto u = static_cast<unsigned char>(c);
            if (c == '"' || c == '\\') {
                text_ += '\\';
                text_ += c;
            } else if (u < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", u);
                text_ += escaped;
            } else {
                text_ += c;
            }
        }
        text_ += '"';
        return *this;
    }
    Json& number(long long value) {
        separate();
        text_ += std::to_string(value);
        return *this;
    }
    Json& boolean(bool value) {
        separate();
        text_ += value ? "true" : "false";
        return *this;
    }
    Json& null() {
        separate();
        text_ += "null";
        return *this;
    }
    Json& open(char bracket) {
        separate();
        text_ += bracket;
        fresh_ = true;
        return *this;
    }
    Json& close(char bracket) {
        text_ += bracket;
        fresh_ = false;
        return *this;
    }
    const std::string& text() const { return text_; }

  private:
    void separate() {
        if (!fresh_) text_ += ',';
        fresh_ = false;
    }
    std::string text_;
    bool fresh_ = true;
};

enum class Phase { Question, Result, NoRange };

struct Player {
    qv::Session session;
    Phase phase = Phase::Question;
    std::string failure;        // the failure box's or the error window's text, UTF-8
    bool failureShown = false;  // the box is up: the test window takes no press
    std::int32_t total = 0;     // the Score when the last question was answered
    int scoredQuestion = 0;     // the question the last press scored, 0 when it scored nothing
    int scoredButton = 0;
    // The lowest and highest totals a run can reach, found by the check once
    // for the test's bytes (nothing when the check cannot tell).
    bool totalsKnown = false;
    std::optional<std::int64_t> lowest;
    std::optional<std::int64_t> highest;
    std::string bytes;  // the test the totals belong to
    std::string json;
};

Player& player() {
    static Player p;
    return p;
}

std::string failureText(const std::exception_ptr& failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const qv::Exception& e) {
        return qv::cp1251::toUtf8(qv::withFullStop(e.message()));
    } catch (const std::bad_alloc&) {
        return "Недостаточно памяти.";
    } catch (const std::exception& e) {
        return qv::withFullStop(e.what());
    } catch (...) {
        return "Unknown failure.";
    }
}

const char* state() {
    Player& p = player();
    const qv::Session& s = p.session;
    const qv::TestWindowState& test = s.testWindow();
    Json j;
    j.open('{');
    j.key("phase").utf8(p.phase == Phase::Question ? "question"
                        : p.phase == Phase::Result ? "result"
                                                   : "norange");
    j.key("title").bytes(test.title);
    j.key("author").bytes(test.authorLine);
    j.key("caption").bytes(test.caption);
    j.key("captions").open('[');
    for (const auto& caption : test.captions) j.bytes(caption);
    j.close(']');
    j.key("shown").number(test.shownButtons);
    j.key("enabled").boolean(test.buttonsEnabled && !p.failureShown);
    j.key("question").bytes(test.question);
    j.key("variants").open('[');
    for (const auto& variant : test.variants) j.bytes(variant);
    j.close(']');
    j.key("number").number(s.document().currentQuestion);
    j.key("count").number(s.document().questionCount);
    j.key("failure");
    if (p.failureShown) {
        j.utf8(p.failure);
    } else {
        j.null();
    }
    j.key("failureButton").utf8(p.phase == Phase::NoRange ? "Хорошо" : "OK");
    j.key("scoredQuestion").number(p.scoredQuestion);
    j.key("scoredButton").number(p.scoredButton);
    j.key("total").number(p.total);
    j.key("result").open('[');
    if (p.phase == Phase::Result) {
        const qv::RunState& run = s.run();
        for (int i = run.resultFirst; i <= run.resultLast; ++i) j.bytes(s.messageLines().line(i));
    }
    j.close(']');
    // The error window's text stays on the page once "Хорошо" has closed it.
    j.key("explanation");
    if (p.phase == Phase::NoRange) {
        j.utf8(p.failure);
    } else {
        j.null();
    }
    j.key("rangeLine");
    if (p.phase == Phase::Result && s.run().resultFirst > 1) {
        j.bytes(s.messageLines().line(s.run().resultFirst - 1));
    } else {
        j.null();
    }
    j.close('}');
    p.json = j.text();
    return p.json.c_str();
}

void showFailure(Player& p, const std::exception_ptr& failure) {
    p.failure = failureText(failure);
    p.failureShown = true;
}

}  // namespace

extern "C" {

// A run of the test whose bytes are given, as "Запустить" starts one. The
// bytes are kept for the runs that follow.
EMSCRIPTEN_KEEPALIVE const char* qv_open(const unsigned char* bytes, int size) {
    Player& p = player();
    p.phase = Phase::Question;
    p.failureShown = false;
    p.scoredQuestion = p.scoredButton = 0;
    const std::string given(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(size));
    if (given != p.bytes) {
        p.bytes = given;
        p.totalsKnown = false;
    }
    // A test that could not be put where the loader reads it must not run the
    // one put there before.
    std::FILE* file = std::fopen(kTestPath, "wb");
    const bool written = file && std::fwrite(bytes, 1, static_cast<std::size_t>(size), file) ==
                                     static_cast<std::size_t>(size);
    if (!file || std::fclose(file) != 0 || !written) {
        std::remove(kTestPath);
        p.failure = "Недостаточно памяти, чтобы открыть тест.";
        p.failureShown = true;
        return state();
    }
    try {
        p.session.beginRun();
        p.session.testWindowActivated();  // the test window is shown and so active
        p.session.loadForRun(kTestPath);
    } catch (...) {
        showFailure(p, std::current_exception());
    }
    return state();
}

// Answer button `button` (1..6) pressed.
EMSCRIPTEN_KEEPALIVE const char* qv_answer(int button) {
    Player& p = player();
    p.scoredQuestion = p.scoredButton = 0;
    const qv::TestWindowState& test = p.session.testWindow();
    const bool shown = button == 1 || (button >= 2 && button <= test.shownButtons);
    if (p.phase != Phase::Question || p.failureShown || !test.buttonsEnabled || !shown)
        return state();
    const int question = p.session.document().currentQuestion;
    try {
        const qv::AnswerOutcome outcome = p.session.answer(button);
        p.scoredQuestion = question;
        p.scoredButton = button;
        if (outcome == qv::AnswerOutcome::LastAnswered) {
            p.total = p.session.run().score;
            if (p.session.chooseResult()) {
                p.phase = Phase::Result;
            } else {
                p.phase = Phase::NoRange;
                p.failure = noRangeMessage(p.session.run().score);
                p.failureShown = true;
            }
        }
    } catch (...) {
        showFailure(p, std::current_exception());
    }
    return state();
}

// The failure box's OK: the test window is active again. The error
// window's "Хорошо" leaves the run.
EMSCRIPTEN_KEEPALIVE const char* qv_dismiss() {
    Player& p = player();
    if (p.failureShown) {
        p.failureShown = false;
        try {
            p.session.testWindowActivated();
        } catch (...) {
            showFailure(p, std::current_exception());
        }
    }
    return state();
}

// The whole test for the printed copy: every question with its variants and
// points, the captions, and the message section as the file has it.
EMSCRIPTEN_KEEPALIVE const char* qv_paper() {
    Player& p = player();
    const qv::TestDocument& doc = p.session.document();
    Json j;
    j.open('{');
    j.key("questions").open('[');
    for (int q = 1; q <= doc.questionCount; ++q) {
        j.open('{');
        j.key("text").bytes(doc.text(q));
        j.key("variants").open('[');
        for (int b = 1; b <= qv::kMaxButtons; ++b) j.bytes(doc.variant(q, b));
        j.close(']');
        j.key("points").open('[');
        for (int b = 1; b <= qv::kMaxButtons; ++b) j.bytes(doc.points(q, b));
        j.close(']');
        j.close('}');
    }
    j.close(']');
    j.key("messages").open('[');
    const qv::MessageLines& messages = p.session.messageLines();
    for (int i = 1; i <= messages.count(); ++i) j.bytes(messages.line(i));
    j.close(']');
    j.close('}');
    p.json = j.text();
    return p.json.c_str();
}

// The lowest and highest totals a run can reach, as the check finds them;
// found once for the test, and kept: a page in a learning platform asks
// for them while the first question is on screen, so that the last answer
// does not wait for the check.
EMSCRIPTEN_KEEPALIVE const char* qv_totals() {
    Player& p = player();
    if (!p.totalsKnown) {
        p.totalsKnown = true;
        p.lowest.reset();
        p.highest.reset();
        try {
            const qv::CheckReport report = qv::checkTest(kTestPath);
            p.lowest = report.lowest;
            p.highest = report.highest;
        } catch (...) {
            // The bytes were read once already; without the check there is no range of totals.
        }
    }
    Json j;
    j.open('{');
    j.key("low");
    p.lowest ? j.number(*p.lowest) : j.null();
    j.key("high");
    p.highest ? j.number(*p.highest) : j.null();
    j.close('}');
    p.json = j.text();
    return p.json.c_str();
}

// What a learning platform is told of the run just ended. The score is the
// total's place between the lowest and the highest total a run can reach,
// in whole per cent (halves up), so that every test is graded on the same
// 0..100; the comment says the total in words a teacher reads.
EMSCRIPTEN_KEEPALIVE const char* qv_platform_score() {
    Player& p = player();
    qv_totals();
    const std::int64_t total = p.total;
    Json j;
    j.open('{');
    j.key("total").number(total);
    std::string comment = "Сумма баллов: " + std::to_string(total);
    if (p.lowest && p.highest) {
        const std::int64_t low = *p.lowest;
        const std::int64_t high = *p.highest;
        std::int64_t raw = 100;
        if (high > low) {
            const std::int64_t place = total < low ? 0 : total > high ? high - low : total - low;
            raw = (place * 200 + (high - low)) / (2 * (high - low));
        } else if (total < low) {
            raw = 0;
        }
        j.key("raw").number(raw).key("low").number(low).key("high").number(high);
        comment += " из " + std::to_string(high) + " возможных";
        if (low != 0) comment += ", наименьшая возможная " + std::to_string(low);
    } else {
        j.key("raw").null().key("low").null().key("high").null();
    }
    if (p.phase == Phase::Result && p.session.run().resultFirst > 1) {
        comment += "; диапазон " +
                   qv::cp1251::toUtf8(p.session.messageLines().line(p.session.run().resultFirst - 1));
    } else if (p.phase == Phase::NoRange) {
        comment += "; ни один диапазон не содержит эту сумму";
    }
    j.key("comment").utf8(comment);
    j.close('}');
    p.json = j.text();
    return p.json.c_str();
}

}  // extern "C"
