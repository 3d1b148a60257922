// The session's rules, without windows: the button-count rule, moving
// between questions, the guard on a file that failed to load, and what each
// step tells the windows to show.
#include <gtest/gtest.h>

#include "core_support.h"
#include "errors.h"
#include "session.h"

namespace {

using qvtest::ru;
using Lines = std::vector<std::string>;

struct CountCase {
    std::string typed;
    int active;         // ActiveButtonCount afterwards, 0 for a conversion error
    std::string shown;  // the button-count text afterwards
};

TEST(Session, ButtonCountRule) {
    const CountCase cases[] = {
        {"1", 1, "1"},     {"6", 6, "6"},
        {" 4", 4, " 4"},   {"$3", 3, "$3"},  // whole numbers as the conversion takes them
        {"7", 2, "2"},     {"0", 2, "2"},
        {"-1", 2, "2"},    {"", 2, "2"},     // outside 1..6, or empty: 2
        {"abc", 0, "abc"}, {"4 ", 0, "4 "},  // not a number: nothing else changes
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("typed '" + c.typed + "'");
        qv::Session session;
        session.setButtonCountText("5");
        session.applyButtonCount();
        unsigned told = 0;
        session.onChange = [&](unsigned shown) { told |= shown; };
        session.setButtonCountText(c.typed);
        if (c.active == 0) {
            EXPECT_THROW(session.applyButtonCount(), qv::EConvertError);
            EXPECT_EQ(told, 0u);
        } else {
            session.applyButtonCount();
            EXPECT_EQ(told, unsigned{qv::kEditorButtons | qv::kTestButtons});
        }
        const int expected = c.active == 0 ? 5 : c.active;
        EXPECT_EQ(session.document().activeButtonCount, expected);
        EXPECT_EQ(session.editor().fieldsInUse, expected);
        EXPECT_EQ(session.testWindow().shownButtons, expected);
        EXPECT_EQ(session.editor().header.buttonCountText, c.shown);
    }
}

TEST(Session, MovingBetweenQuestionsStopsAtFiveHundred) {
    qv::Session session;
    session.editorOpened();
    session.newTest();
    EXPECT_FALSE(session.nextQuestion()) << "an empty question text blocks moving on";
    EXPECT_EQ(session.document().questionCount, 1);

    for (int q = 1; q < qv::kMaxQuestions; ++q) {
        session.setQuestionText("q" + std::to_string(q));
        ASSERT_TRUE(session.nextQuestion());
    }
    EXPECT_EQ(session.document().questionCount, qv::kMaxQuestions);
    EXPECT_EQ(session.editor().questionNumber, qv::kMaxQuestions);
    EXPECT_FALSE(session.editor().nextEnabled);
    EXPECT_TRUE(session.editor().question.text.empty()) << "an appended question starts empty";
    // The preview follows the question shown.
    EXPECT_TRUE(session.testWindow().question.empty());

    session.previousQuestion();
    EXPECT_EQ(session.editor().question.text, "q499");
    EXPECT_EQ(session.testWindow().question, "q499");
    EXPECT_TRUE(session.editor().nextEnabled);
    EXPECT_EQ(session.document().questionCount, qv::kMaxQuestions)
        << "going back keeps the appended question";
}

TEST(Session, AFileThatFailedToLoadIsNotSavedOverUnasked) {
    qvtest::TempFolder dir;
    const std::string file = dir.file("quiz.tst");
    qvtest::writeBytes(file, qvtest::crlf({qvtest::ruf("Info=(1^Ex^E3)")}));
    qv::Session session;
    session.beginEditing(file);
    session.editorOpened();
    EXPECT_THROW(session.loadForEditing(file), qv::EConvertError);
    EXPECT_EQ(session.currentFileName(), file);
    EXPECT_TRUE(session.replacesFailedLoad(file));
    EXPECT_TRUE(session.replacesFailedLoad(dir.file("quiz")))
        << "the name the save writes, .tst added";
    EXPECT_FALSE(session.replacesFailedLoad(dir.file("other.tst")));

    session.saveTest(file, {});
    EXPECT_FALSE(session.replacesFailedLoad(file))
        << "once replaced, the file holds the editor's test";
}

TEST(Session, AShortMessageLineKeepsNoBufferOfALongLineBeforeIt) {
    qvtest::TempFolder dir;
    const std::string file = dir.file("long.tst");
    Lines lines = qvtest::workedExampleLines();
    lines[12] = std::string(1 << 20, 'v');  // the last variant, a few lines before the messages
    qvtest::writeBytes(file, qvtest::crlf(lines));
    qv::Session session;
    session.beginEditing(file);
    session.editorOpened();
    session.loadForEditing(file);
    ASSERT_FALSE(session.editor().messages.empty());
    EXPECT_LT(session.editor().messages.front().capacity(), qv::kSpareTextCapacity);
}

TEST(Session, ARunFromLoadToResult) {
    qv::Session session;
    std::vector<unsigned> told;
    session.onChange = [&](unsigned shown) { told.push_back(shown); };
    session.beginRun();
    EXPECT_FALSE(session.testWindow().buttonsEnabled)
        << "nothing can be answered before the test has loaded";
    session.loadForRun(qvtest::workedExamplePath());

    EXPECT_EQ(session.testWindow().title, ru("Проверка знаний"));
    EXPECT_EQ(session.testWindow().shownButtons, 3);
    EXPECT_TRUE(session.testWindow().buttonsEnabled);
    EXPECT_EQ(session.editor().header.buttonCountText, "3")
        << "the editor and the run agree on the count";
    EXPECT_EQ(session.messageLines().count(), 5);
    EXPECT_TRUE(told.back() & qv::kRunReady);

    EXPECT_EQ(session.answer(1), qv::AnswerOutcome::NextQuestion);
    EXPECT_EQ(session.testWindow().question, ru("Луна больше Земли?"));
    EXPECT_EQ(session.answer(2), qv::AnswerOutcome::LastAnswered);
    ASSERT_TRUE(session.chooseResult());
    EXPECT_EQ(session.resultLines(), (std::vector<std::string>{"", ru("Хороший результат.")}));
    EXPECT_EQ(session.run().score, 0);
}

}  // namespace
