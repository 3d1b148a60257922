// The player inside an exported page: a binding of the program's own run of
// a test, so that a page decides every result, and says every text of the
// run, exactly as the desktop does. The page draws the state handed back
// here (JSON, UTF-8 texts) and forwards presses; it holds no rule of its own.
#include <emscripten/emscripten.h>

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>
#include <string_view>

#include "cp1251.h"
#include "taker_run.h"

namespace {

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

struct Player {
    std::optional<qv::TakerRun> run;
    std::string bytes;             // the test the run answers
    qv::TakerRun::Press lastPress;  // what the last press scored
    // The lowest and highest totals a run can reach, found once for the test.
    bool totalsKnown = false;
    std::optional<qv::TotalsRange> totals;
    std::string json;
};

Player& player() {
    static Player p;
    return p;
}

const char* handOut(const Json& j) {
    Player& p = player();
    p.json = j.text();
    return p.json.c_str();
}

const char* state() {
    const Player& p = player();
    const qv::TakerRun& run = *p.run;
    const qv::TestWindowState& test = run.window();
    const qv::TakerRun::Phase phase = run.phase();
    const auto& notice = run.notice();
    Json j;
    j.open('{');
    j.key("phase").utf8(phase == qv::TakerRun::Phase::Result    ? "result"
                        : phase == qv::TakerRun::Phase::NoRange ? "norange"
                                                                : "question");
    j.key("title").bytes(test.title);
    j.key("author").bytes(test.authorLine);
    j.key("caption").bytes(test.caption);
    j.key("captions").open('[');
    for (const auto& caption : test.captions) j.bytes(caption);
    j.close(']');
    j.key("shown").number(test.shownButtons);
    j.key("enabled").boolean(test.buttonsEnabled);
    j.key("question").bytes(test.question);
    j.key("variants").open('[');
    for (const auto& variant : test.variants) j.bytes(variant);
    j.close(']');
    j.key("number").number(run.question());
    j.key("count").number(run.test().document.questionCount);
    j.key("failure");
    notice ? j.bytes(notice->text) : j.null();
    j.key("failureCaption");
    notice ? j.bytes(notice->caption) : j.null();
    j.key("failureButton");
    notice ? j.bytes(notice->button) : j.null();
    j.key("scoredQuestion").number(p.lastPress.question);
    j.key("scoredButton").number(p.lastPress.button);
    std::string presses;
    for (const int button : run.presses()) presses += static_cast<char>('0' + button);
    j.key("presses").utf8(presses);
    j.key("total").number(run.total());
    j.key("result").open('[');
    for (const auto& line : run.outcome().lines) j.bytes(line);
    j.close(']');
    // The error window's text stays on the page once its box has closed.
    j.key("explanation");
    phase == qv::TakerRun::Phase::NoRange ? j.bytes(run.outcome().explanation) : j.null();
    j.key("rangeLine");
    phase == qv::TakerRun::Phase::Result ? j.bytes(run.outcome().rangeLine) : j.null();
    j.close('}');
    return handOut(j);
}

}  // namespace

extern "C" {

// A run of the test whose bytes are given; the same bytes again start a new
// run of the test already read.
EMSCRIPTEN_KEEPALIVE const char* qv_open(const unsigned char* bytes, int size) {
    Player& p = player();
    p.lastPress = {};
    const std::string given(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(size));
    if (p.run && given == p.bytes) {
        p.run->restart();
    } else {
        p.bytes = given;
        p.totalsKnown = false;
        p.run.emplace(qv::readRunTest(std::string_view(given)));
    }
    return state();
}

// Answer button `button` (1..6) pressed.
EMSCRIPTEN_KEEPALIVE const char* qv_answer(int button) {
    Player& p = player();
    p.lastPress = p.run->answer(button);
    return state();
}

// The presses a learning platform kept of an earlier visit ("1213"), answered
// again; anything but a digit is skipped.
EMSCRIPTEN_KEEPALIVE const char* qv_resume(const unsigned char* kept, int size) {
    std::vector<int> presses;
    for (int i = 0; i < size; ++i)
        if (kept[i] >= '0' && kept[i] <= '9') presses.push_back(kept[i] - '0');
    Player& p = player();
    p.run->resume(presses);
    p.lastPress = {};
    return state();
}

// The button of the box that is up.
EMSCRIPTEN_KEEPALIVE const char* qv_dismiss() {
    player().run->acknowledge();
    return state();
}

// The whole test for the printed copy: every question with its variants and
// points, the captions, and the message section as the file has it.
EMSCRIPTEN_KEEPALIVE const char* qv_paper() {
    const qv::RunTest& test = player().run->test();
    const qv::TestDocument& doc = test.document;
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
    for (int i = 1; i <= test.messages.count(); ++i) j.bytes(test.messages.line(i));
    j.close(']');
    j.close('}');
    return handOut(j);
}

// The lowest and highest totals a run can reach; found once for the test,
// and kept: a page in a learning platform asks for them while the first
// question is on screen, so that the last answer does not wait for them.
EMSCRIPTEN_KEEPALIVE const char* qv_totals() {
    Player& p = player();
    if (!p.totalsKnown) {
        p.totalsKnown = true;
        p.totals = p.run->reachableTotals();
    }
    Json j;
    j.open('{');
    j.key("low");
    p.totals ? j.number(p.totals->lowest) : j.null();
    j.key("high");
    p.totals ? j.number(p.totals->highest) : j.null();
    j.close('}');
    return handOut(j);
}

// What a learning platform is told of the run just ended.
EMSCRIPTEN_KEEPALIVE const char* qv_platform_score() {
    Player& p = player();
    qv_totals();
    const qv::PlatformScore score = qv::platformScore(*p.run, p.totals);
    Json j;
    j.open('{');
    j.key("total").number(score.total);
    j.key("raw");
    score.raw ? j.number(*score.raw) : j.null();
    j.key("low");
    score.reachable ? j.number(score.reachable->lowest) : j.null();
    j.key("high");
    score.reachable ? j.number(score.reachable->highest) : j.null();
    j.key("comment").bytes(score.comment);
    j.close('}');
    return handOut(j);
}

}  // extern "C"
