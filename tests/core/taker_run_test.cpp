// One person's run of a test: every way it goes, press by press, against
// the document-level rules of the same file and presses.
#include <gtest/gtest.h>

#include "checker.h"
#include "core_support.h"
#include "file_loading.h"
#include "session.h"
#include "taker_run.h"

namespace {

using qvtest::ru;
using qvtest::ruf;
using Lines = std::vector<std::string>;
using Phase = qv::TakerRun::Phase;

constexpr int kOk = 'o' - '0';  // a press of the box's button

// A test of two-button questions, one per row of points.
std::string testFile(const std::vector<Lines>& points, const Lines& messages) {
    Lines lines = {ruf("Info=(" + std::to_string(points.size()) + "^E2^E1)"),
                   ruf("Title=(T^EA^EC)"), ruf("Buttons=(Y^EN)"), "Questions:"};
    for (std::size_t q = 1; q <= points.size(); ++q) lines.push_back("Q" + std::to_string(q));
    lines.insert(lines.end(), {"Variants: none", "Numbers:"});
    for (const Lines& row : points) lines.push_back(ru(row[0] + "," + row[1] + ","));
    lines.push_back("Message:");
    for (const std::string& m : messages) lines.push_back(ru(m));
    return qvtest::crlf(lines);
}

std::vector<int> buttons(const std::string& presses) {
    std::vector<int> out;
    for (const char c : presses) out.push_back(c - '0');
    return out;
}

void press(qv::TakerRun& run, const std::string& presses) {
    for (const int b : buttons(presses)) b == kOk ? run.acknowledge() : (void)run.answer(b);
}

// The same file and presses taken through the document-level rules alone
// (scoring a press, result selection), the boxes as the windows raise them.
struct RulesEnd {
    Phase phase = Phase::Question;
    int question = 0;
    Lines lines;
    std::string notice;
};
RulesEnd rulesRun(const std::string& path, const std::string& presses) {
    qv::Session s;
    RulesEnd end;
    const auto failed = [&] { end.notice = qv::failureText(std::current_exception()); };
    s.running().beginRun();
    try {
        s.running().loadForRun(path);
    } catch (...) {
        failed();
        end.phase = Phase::Refused;
    }
    qv::TestDocument doc = s.document();
    const qv::MessageLines& messages = s.running().messageLines();
    qv::RunState state;
    for (const int b : buttons(presses)) {
        if (b == kOk) end.notice.clear();
        const bool shown = b == 1 || (b >= 2 && b <= s.testWindow().shownButtons);
        if (b == kOk || end.phase != Phase::Question || !end.notice.empty() || !shown) continue;
        try {
            if (qv::answerQuestion(doc, state, b) != qv::AnswerOutcome::LastAnswered) continue;
            if (!qv::chooseResult(state, messages)) {
                end.phase = Phase::NoRange;
                end.notice = qv::noRangeExplanation(state.score);
            } else {
                end.phase = Phase::Result;
                for (int i = state.resultFirst; i <= state.resultLast; ++i)
                    end.lines.push_back(messages.line(i));
            }
        } catch (...) {
            failed();
        }
    }
    end.question = doc.currentQuestion;
    return end;
}

const std::vector<Lines> kTwo = {{"1", "0"}, {"1", "0"}};
const Lines kEnds = {"=0-1", "Мало.", "=2-2", "Много.", "$"};

struct RunCase {
    const char* name;
    std::vector<Lines> points;
    Lines messages;
    std::string presses;  // the buttons pressed, "o" for the box's button
    Phase phase;
    int question;
    std::int32_t total;
    Lines result;        // the chosen block, UTF-8
    std::string notice;  // the box up at the end, UTF-8
    std::string scored;
};

TEST(TakerRun, EveryWayARunGoes) {
    const std::string noRange = qv::cp1251::toUtf8(qv::noRangeExplanation(2));
    const std::string abc = "'abc' is not a valid integer value.";
    const std::vector<Lines> abcFirst = {{"abc", "0"}, {"1", "0"}};
    // clang-format off
    const RunCase cases[] = {
        {"to a result", kTwo, kEnds, "11", Phase::Result, 2, 2, {"Много."}, "", "11"},
        {"a block of several lines", kTwo, {"Вступление", "=0-5", "a", "", "b", "=6-9", "x", "$"},
         "21", Phase::Result, 2, 1, {"a", "", "b"}, "", "21"},
        {"no range holds the total", kTwo, {"=0-1", "A", "$"}, "11", Phase::NoRange, 2, 2, {},
         noRange, "11"},
        {"the error window closed", kTwo, {"=5-9", "A", "$"}, "11o", Phase::NoRange, 2, 2, {}, "",
         "11"},
        {"points not a number stop on the question", abcFirst, kEnds, "1", Phase::Question, 1, 0,
         {}, abc, ""},
        {"no press while the box is up", abcFirst, kEnds, "12", Phase::Question, 1, 0, {}, abc, ""},
        {"another button after the failure goes on", {{"4 ", "0"}, {"1", "0"}}, kEnds, "1o21",
         Phase::Result, 2, 1, {"Мало."}, "", "21"},
        {"a sum past 32 bits is refused", {{"2147483647", "0"}, {"1", "0"}}, kEnds, "11",
         Phase::Question, 2, 0, {}, "Сумма баллов вышла за допустимые пределы (от -2147483648 до "
         "2147483647). Проверьте баллы этого вопроса.", "1"},
        {"bound not a number fails on the last question", kTwo, {"=0-10 баллов", "A", "$"}, "11",
         Phase::Question, 2, 2, {}, "'10 б' is not a valid integer value.", "11"},
        {"a press after a failed selection answers the last question again", kTwo,
         {"=3-4", "B", "=0-1x", "A", "$"}, "11o1", Phase::Result, 2, 3, {"B"}, "", "111"},
        {"presses after the end are ignored", kTwo, kEnds, "1121o2", Phase::Result, 2, 2,
         {"Много."}, "", "11"},
        {"a button the test does not show takes no press", kTwo, kEnds, "370", Phase::Question, 1,
         0, {}, "", ""},
    };
    // clang-format on
    const qvtest::TempFolder dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.file("t.tst");
        qvtest::writeBytes(path, testFile(c.points, c.messages));
        qv::TakerRun run(qv::readRunTest(path));
        press(run, c.presses);
        EXPECT_EQ(run.phase(), c.phase);
        EXPECT_EQ(run.question(), c.question);
        EXPECT_EQ(run.total(), c.total);
        Lines block;
        for (const auto& line : c.result) block.push_back(ru(line));
        EXPECT_EQ(run.outcome().lines, block);
        EXPECT_EQ(run.notice() ? qv::cp1251::toUtf8(run.notice()->text) : "", c.notice);
        EXPECT_EQ(run.window().buttonsEnabled, !run.notice());
        EXPECT_EQ(run.presses(), buttons(c.scored));

        // The rules alone reach the same place, box and block.
        const RulesEnd rules = rulesRun(path, c.presses);
        EXPECT_EQ(rules.phase, run.phase());
        EXPECT_EQ(rules.question, run.question());
        EXPECT_EQ(rules.lines, run.outcome().lines);
        EXPECT_EQ(rules.notice, run.notice() ? run.notice()->text : "");
        // The check finds the same reachable totals.
        const qv::CheckReport check = qv::checkTest(path);
        const auto totals = run.reachableTotals();
        EXPECT_EQ(totals.has_value(), check.lowest.has_value());
        if (totals) {
            EXPECT_EQ(std::pair(totals->lowest, totals->highest),
                      std::pair(*check.lowest, *check.highest));
        }
    }
}

TEST(TakerRun, ARefusedTestEndsBeforeItsFirstQuestion) {
    // name, file bytes (none: no file), the failure box's text
    const std::tuple<const char*, std::optional<std::string>, std::string> cases[] = {
        {"no file", std::nullopt, "File not found."},
        {"info not a number", "Info=(x" + testFile(kTwo, kEnds).substr(7),
         "'x' is not a valid integer value."},
        {"no questions", testFile({}, kEnds), "В этом тесте нет ни одного вопроса."},
    };
    const qvtest::TempFolder dir;
    for (const auto& [name, bytes, text] : cases) {
        SCOPED_TRACE(name);
        const std::string path = dir.file(name);
        if (bytes) qvtest::writeBytes(path, *bytes);
        qv::TakerRun run(qv::readRunTest(path));
        EXPECT_EQ(run.phase(), Phase::Refused);
        ASSERT_TRUE(run.notice());
        EXPECT_EQ(qv::cp1251::toUtf8(run.notice()->text), text);
        EXPECT_EQ(run.notice()->text, rulesRun(path, "").notice);
        run.acknowledge();
        EXPECT_FALSE(run.notice());
        EXPECT_FALSE(run.window().buttonsEnabled);
        EXPECT_EQ(run.answer(1).question, 0);
        EXPECT_FALSE(run.reachableTotals());
    }
}

TEST(TakerRun, RunsOfOneTestAreApartAndResumeByTheirPresses) {
    const qvtest::TempFolder dir;
    const std::string path = dir.file("t.tst");
    qvtest::writeBytes(path, testFile({{"1", "0"}, {"abc", "0"}, {"1", "2"}}, kEnds));
    const auto test = qv::readRunTest(path);
    qv::TakerRun first(test);
    qv::TakerRun second(test);
    press(first, "11o22");
    EXPECT_EQ(first.phase(), Phase::NoRange);
    EXPECT_EQ(second.question(), 1);  // untouched by the other run

    // A run resumed from the presses that scored goes where they went, its
    // no-range box already seen; one resumed from presses that fail stops at
    // the box, with the presses after it left.
    qv::TakerRun resumed(test);
    resumed.resume(first.presses());
    EXPECT_EQ(resumed.presses(), first.presses());
    EXPECT_EQ(resumed.phase(), first.phase());
    EXPECT_EQ(resumed.total(), first.total());
    EXPECT_FALSE(resumed.notice());
    qv::TakerRun stopped(test);
    stopped.resume(buttons("112"));
    EXPECT_EQ(stopped.presses(), buttons("1"));
    EXPECT_EQ(stopped.question(), 2);
    EXPECT_TRUE(stopped.notice());

    // A copy goes on by itself.
    qv::TakerRun copy = stopped;
    copy.acknowledge();
    copy.answer(2);
    EXPECT_EQ(copy.question(), 3);
    EXPECT_EQ(stopped.question(), 2);
}

TEST(TakerRun, ANewRunKeepsTheBoundsReadLastAsTheDesktopDoes) {
    const qvtest::TempFolder dir;
    const std::string path = dir.file("t.tst");
    // "=" has no bounds of its own: it takes those of the range line read last.
    qvtest::writeBytes(path, testFile({{"3", "0"}}, {"=", "A", "=0-5", "B", "$"}));
    qv::TakerRun run(qv::readRunTest(path));
    qv::Session session;
    Lines runs, sessions;
    for (int i = 0; i < 2; ++i) {
        if (i > 0) run.restart();
        run.answer(1);
        runs.push_back(run.outcome().lines.at(0));
        session.running().beginRun();
        session.running().testWindowActivated();
        session.running().loadForRun(path);
        ASSERT_EQ(session.running().answer(1), Phase::Result);
        sessions.push_back(session.running().run().outcome().lines.at(0));
    }
    EXPECT_EQ(runs, (Lines{"B", "A"}));
    EXPECT_EQ(runs, sessions);
}

}  // namespace

// The error window breaks the message over its labels; joined, its lines are
// the sentence a screen reader hears and the page shows.
TEST(TakerRun, TheErrorWindowsLinesJoinIntoItsSentence) {
    const std::string tail =
        " баллов, но в данном тесте программа не обнаружила диапазон для такого числа баллов. "
        "Просмотрите текст теста на наличие нужной строки. Для этого нужно проанализировать "
        "кол-во баллов за вопрос, а составляя сообщения вставить строку вида: =Х-Y, где Х - "
        "начало диапазона, а Y - его конец.";
    for (const std::int32_t total : {0, -4, 21, 2147483647}) {
        const qv::NoRangeWindow window = qv::noRangeWindow(total);
        EXPECT_EQ(window.lines[2], std::to_string(total));
        EXPECT_EQ(qv::cp1251::toUtf8(qv::noRangeExplanation(total)),
                  "Данный тест имеет ошибки в блоке составления сообщения. Вы набрали " +
                      std::to_string(total) + tail);
    }
}
