// Taking a test: scoring the answers, choosing the result block for the
// total, and saving the chosen block as a result file.
#include <gtest/gtest.h>

#include <limits>

#include "core_support.h"
#include "errors.h"
#include "run.h"
#include "writer.h"

namespace {

using qvtest::readBytes;
using qvtest::ru;
using Lines = std::vector<std::string>;

qv::MessageLines messagesOf(const Lines& lines) {
    qv::MessageLines messages;
    for (const auto& line : lines) messages.append(line);
    return messages;
}

struct SelectionCase {
    const char* name;
    Lines lines;
    std::int32_t score;
    bool found;
    std::int32_t first, last;  // the block, when found
    Lines memo;
};

const Lines kExample = {"=0-10", ru("Мало."), "=11-20", ru("Хорошо."), "$"};

TEST(ResultSelection, ChoosesTheFirstRangeThatHoldsTheScore) {
    // clang-format off
    const std::vector<SelectionCase> cases = {
        {"middle of a range", kExample, 15, true, 4, 4, {"", ru("Хорошо.")}},
        {"lower bound", kExample, 0, true, 2, 2, {"", ru("Мало.")}},
        {"upper bound", kExample, 10, true, 2, 2, {"", ru("Мало.")}},
        {"above every range", kExample, 21, false, 0, 0, {}},
        {"below every range", kExample, -1, false, 0, 0, {}},
        {"lines before the first range", {ru("Вступление"), "=0-5", "A", "$"}, 3, true, 3, 3, {"", "A"}},
        {"overlapping ranges", {"=0-10", "A", "=5-15", "B", "$"}, 7, true, 2, 2, {"", "A"}},
        {"range then range", {"=0-10", "=5-15", "B", "$"}, 7, true, 2, 1, {""}},
        {"range then end marker", {"=0-10", "$"}, 7, true, 2, 1, {""}},
        {"range after the end marker", {"=0-1", "A", "$", "=2-3", "B"}, 2, false, 0, 0, {}},
        {"four characters of the upper bound", {"=0-12345", "A"}, 5000, false, 0, 0, {}},
        {"upper bound cut at four", {"=0-12345", "A"}, 1234, true, 2, 2, {"", "A"}},
        {"text after four characters", {ru("=0-1000 баллов"), "A"}, 500, true, 2, 2, {"", "A"}},
        {"leading blank", {"= 3-7", "A", "$"}, 5, true, 2, 2, {"", "A"}},
        {"low above high never matches", {"=9-1", "A", "$"}, 5, false, 0, 0, {}},
        {"no end marker", {"=0-1", "A", "=2-3", "B", "C"}, 2, true, 4, 5, {"", "B", "C"}},
        {"blank line inside a block", {"=0-1", "A", "", "B", "$", "C"}, 1, true, 2, 4, {"", "A", "", "B"}},
        {"marker-like text inside a line", {"=0-1", "A=2-3$", "$"}, 0, true, 2, 2, {"", "A=2-3$"}},
        {"empty list", {}, 0, false, 0, 0, {}},
        {"negative lower bound in hexadecimal", {"=$FFFFFFFF-5", "A"}, -1, true, 2, 2, {"", "A"}},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const qv::MessageLines messages = messagesOf(c.lines);
        qv::RunState run;
        run.score = c.score;
        EXPECT_EQ(qv::chooseResult(run, messages), c.found);
        EXPECT_EQ(run.rangeFound, c.found);
        if (c.found) {
            EXPECT_EQ(run.score, 0);
            EXPECT_EQ(run.resultFirst, c.first);
            EXPECT_EQ(run.resultLast, c.last);
            EXPECT_EQ(run.messageCursor, c.last + 1);  // the line that ended the block
            EXPECT_EQ(qv::resultMemoLines(run, messages), c.memo);
        } else {
            EXPECT_EQ(run.score, c.score);
        }
    }
}

struct FailingCase {
    Lines lines;
    std::string failingText;
    std::int32_t low, high;  // the bounds afterwards, from 77..88 before
};

TEST(ResultSelection, ABoundThatIsNoNumberAbandonsTheEvaluation) {
    const std::vector<FailingCase> cases = {
        {{ru("=0-10 баллов"), "A", "$"}, ru("10 б"), 0, 88},
        {{"=-5-10", "A", "$"}, "", 77, 88},
        {{"=1-2-3", "A", "$"}, "2-3", 1, 88},  // the low bound of the first "-" stays
        {{"=3 -7", "A", "$"}, "3 ", 77, 88},
        {{"=5-", "A", "$"}, "", 5, 88},
        {{"=0-1", "A", "=-", "$"}, "", 0, 1},  // the bounds of an earlier line stay
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.lines[0]);
        qv::RunState run;
        run.rangeLow = 77;
        run.rangeHigh = 88;
        run.score = 5000;
        try {
            qv::chooseResult(run, messagesOf(c.lines));
            ADD_FAILURE() << "no failure";
        } catch (const qv::EConvertError& e) {
            EXPECT_EQ(e.message(), "'" + c.failingText + "' is not a valid integer value");
        }
        EXPECT_FALSE(run.rangeFound);
        EXPECT_EQ(run.score, 5000);
        EXPECT_EQ(run.rangeLow, c.low);
        EXPECT_EQ(run.rangeHigh, c.high);
    }
}

TEST(ResultSelection, BoundsCarryOverToARangeLineWithoutDash) {
    const qv::MessageLines bare = messagesOf({"=", "A", "$"});
    qv::RunState run;  // nothing parsed yet: the bounds are 0 and 0
    run.score = 1;
    EXPECT_FALSE(qv::chooseResult(run, bare));
    run.score = 0;
    EXPECT_TRUE(qv::chooseResult(run, bare));

    // An earlier evaluation leaves the bounds of its last range line parsed.
    run.rangeFound = false;
    run.score = 70;
    EXPECT_FALSE(qv::chooseResult(run, messagesOf({"=10-20", "A", "=40-60", "B", "$"})));
    EXPECT_EQ(run.rangeLow, 40);
    EXPECT_EQ(run.rangeHigh, 60);
    run.score = 15;
    EXPECT_FALSE(qv::chooseResult(run, bare));
    run.score = 45;
    EXPECT_TRUE(qv::chooseResult(run, messagesOf({ru("=без черты"), "B", "$"})));
    EXPECT_EQ(run.resultFirst, 2);
}

class Answering : public ::testing::Test {
  protected:
    void SetUp() override {
        doc.questionCount = 3;
        doc.currentQuestion = 1;
        for (int q = 1; q <= 3; ++q) {
            doc.setPoints(q, 1, "1");
            doc.setPoints(q, 2, "0");
            doc.setPoints(q, 3, "-4");
            doc.setPoints(q, 4, " 4");
            doc.setPoints(q, 5, "4 ");
            doc.setPoints(q, 6, "");
        }
    }
    qv::TestDocument doc;
    qv::RunState run;
};

TEST_F(Answering, AddsThePointsOfEachPress) {
    EXPECT_EQ(qv::answerQuestion(doc, run, 1), qv::AnswerOutcome::NextQuestion);
    EXPECT_EQ(qv::answerQuestion(doc, run, 2), qv::AnswerOutcome::NextQuestion);
    EXPECT_EQ(doc.currentQuestion, 3);
    EXPECT_EQ(qv::answerQuestion(doc, run, 1), qv::AnswerOutcome::LastAnswered);
    EXPECT_EQ(run.score, 2);
    EXPECT_EQ(run.pressedButton, 1);
    EXPECT_EQ(doc.currentQuestion, 3);  // the last question is not passed
    // Pressing again on the last question adds again and stays there.
    EXPECT_EQ(qv::answerQuestion(doc, run, 3), qv::AnswerOutcome::LastAnswered);
    EXPECT_EQ(run.score, -2);
    EXPECT_EQ(doc.currentQuestion, 3);
}

TEST_F(Answering, APointsTextThatIsNoNumberChangesNothing) {
    EXPECT_EQ(qv::answerQuestion(doc, run, 4), qv::AnswerOutcome::NextQuestion);  // " 4"
    EXPECT_EQ(run.score, 4);
    for (const int button : {5, 6}) {
        EXPECT_THROW(qv::answerQuestion(doc, run, button), qv::EConvertError);
        EXPECT_EQ(run.score, 4);
        EXPECT_EQ(doc.currentQuestion, 2);
    }
    try {
        qv::answerQuestion(doc, run, 5);
    } catch (const qv::EConvertError& e) {
        EXPECT_EQ(e.message(), "'4 ' is not a valid integer value");
    }
}

TEST_F(Answering, ASumOutsideThe32BitRangeIsRefused) {
    doc.setPoints(1, 1, "2147483647");
    run.score = 1;
    EXPECT_THROW(qv::answerQuestion(doc, run, 1), qv::Exception);
    EXPECT_EQ(run.score, 1);
    EXPECT_EQ(doc.currentQuestion, 1);
    doc.setPoints(1, 2, "-2147483648");
    run.score = -1;
    EXPECT_THROW(qv::answerQuestion(doc, run, 2), qv::Exception);
    EXPECT_EQ(run.score, -1);
    run.score = 0;
    qv::answerQuestion(doc, run, 2);
    EXPECT_EQ(run.score, std::numeric_limits<std::int32_t>::min());
}

TEST(ResultFile, HoldsTheChosenBlockLineByLine) {
    qvtest::TempFolder dir;
    const qv::MessageLines messages =
        messagesOf({"=0-5", ru("Первая строка"), "", ru("Третья строка "), "=6-9", "x", "$"});
    qv::RunState run;
    run.score = 3;
    ASSERT_TRUE(qv::chooseResult(run, messages));
    const std::string name = qv::saveResult(dir.file(ru("Итог")), run, messages);
    EXPECT_EQ(name, dir.file(ru("Итог.txt")));
    const std::string expected = ru("Первая строка") + "\r\n\r\n" + ru("Третья строка ") + "\r\n";
    EXPECT_EQ(readBytes(name), expected);
    // Saving again to the same name leaves the block there once.
    EXPECT_EQ(qv::saveResult(name, run, messages), name);
    EXPECT_EQ(readBytes(name), expected);
    EXPECT_EQ(dir.names(), Lines{ru("Итог.txt")});

    // An empty block gives an empty file.
    qv::RunState empty;
    empty.score = 7;
    ASSERT_TRUE(qv::chooseResult(empty, messagesOf({"=0-9", "$"})));
    EXPECT_EQ(qv::saveResult(dir.file("empty.txt"), empty, messagesOf({"=0-9", "$"})),
              dir.file("empty.txt"));
    EXPECT_EQ(readBytes(dir.file("empty.txt")), "");
}

}  // namespace
