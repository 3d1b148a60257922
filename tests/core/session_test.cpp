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
        session.editing().type(qv::EditorField::ButtonCount, "5");
        session.editing().applyButtonCount();
        unsigned told = 0;
        session.onChange = [&](unsigned shown) { told |= shown; };
        session.editing().type(qv::EditorField::ButtonCount, c.typed);
        if (c.active == 0) {
            EXPECT_THROW(session.editing().applyButtonCount(), qv::EConvertError);
            EXPECT_EQ(told, 0u);
        } else {
            session.editing().applyButtonCount();
            EXPECT_EQ(told, unsigned{qv::kEditorButtons | qv::kTestButtons});
        }
        const int expected = c.active == 0 ? 5 : c.active;
        EXPECT_EQ(session.document().activeButtonCount, expected);
        EXPECT_EQ(session.editing().editor().fieldsInUse, expected);
        EXPECT_EQ(session.testWindow().shownButtons, expected);
        EXPECT_EQ(session.editing().editor().header.buttonCountText, c.shown);
    }
}

TEST(Session, MovingBetweenQuestionsStopsAtFiveHundred) {
    qv::Session session;
    session.editing().editorOpened();
    session.editing().newTest();
    EXPECT_FALSE(session.editing().nextQuestion()) << "an empty question text blocks moving on";
    EXPECT_EQ(session.document().questionCount, 1);

    for (int q = 1; q < qv::kMaxQuestions; ++q) {
        session.editing().type(qv::EditorField::QuestionText, "q" + std::to_string(q));
        ASSERT_TRUE(session.editing().nextQuestion());
    }
    EXPECT_EQ(session.document().questionCount, qv::kMaxQuestions);
    EXPECT_EQ(session.editing().editor().questionNumber, qv::kMaxQuestions);
    EXPECT_FALSE(session.editing().editor().nextEnabled);
    EXPECT_TRUE(session.editing().editor().question.text.empty())
        << "an appended question starts empty";
    // The preview follows the question shown.
    EXPECT_TRUE(session.testWindow().question.empty());

    session.editing().previousQuestion();
    EXPECT_EQ(session.editing().editor().question.text, "q499");
    EXPECT_EQ(session.testWindow().question, "q499");
    EXPECT_TRUE(session.editing().editor().nextEnabled);
    EXPECT_EQ(session.document().questionCount, qv::kMaxQuestions)
        << "going back keeps the appended question";
}

TEST(Session, AFileThatFailedToLoadIsNotSavedOverUnasked) {
    qvtest::TempFolder dir;
    const std::string file = dir.file("quiz.tst");
    qvtest::writeBytes(file, qvtest::crlf({qvtest::ruf("Info=(1^Ex^E3)")}));
    qv::Session session;
    session.editing().beginEditing(file);
    session.editing().editorOpened();
    EXPECT_THROW(session.editing().loadForEditing(file), qv::EConvertError);
    EXPECT_EQ(session.currentFileName(), file);
    EXPECT_TRUE(session.saving().replacesFailedLoad(file));
    EXPECT_TRUE(session.saving().replacesFailedLoad(dir.file("quiz")))
        << "the name the save writes, .tst added";
    EXPECT_FALSE(session.saving().replacesFailedLoad(dir.file("other.tst")));

    session.saving().saveTest(file, {});
    EXPECT_FALSE(session.saving().replacesFailedLoad(file))
        << "once replaced, the file holds the editor's test";
}

struct FailedOpenCase {
    const char* what;
    Lines lines;        // the file opened; none: no such file
    std::string count;  // what the button-count field holds afterwards
};

// An opening that fails leaves nothing of the test edited before it: the
// fields hold what the failed file gave and, for the rest, a new test.
TEST(Session, AFailedOpenHoldsNothingOfAnEarlierTest) {
    const FailedOpenCase cases[] = {
        {"no such file", {}, "2"},
        {"a button count that is no number", {qvtest::ruf("Info=(1^Ex^E3)")}, "2"},
        {"a variant mode that is no number", {qvtest::ruf("Info=(1^E3^Ex)")}, "3"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        qvtest::TempFolder dir;
        const std::string earlier = dir.file("earlier.tst");
        qvtest::writeBytes(earlier, qvtest::workedExampleBytes());
        qv::Session session;
        session.editing().beginEditing(earlier);
        session.editing().editorOpened();
        session.editing().loadForEditing(earlier);
        session.editing().clickVariantMode(qv::kNoVariants);
        ASSERT_TRUE(session.editing().nextQuestion());
        session.editing().closeEditor();

        const std::string failed = dir.file("failed");
        if (!c.lines.empty()) qvtest::writeBytes(failed, qvtest::crlf(c.lines));
        session.editing().beginEditing(failed);
        session.editing().editorOpened();
        EXPECT_THROW(session.editing().loadForEditing(failed), qv::Exception);
        const qv::EditorState& editor = session.editing().editor();
        EXPECT_EQ(editor.header.buttonCountText, c.count) << "as far as the file was read";
        EXPECT_EQ(editor.header.title, ru("Это текст заголовка"));
        EXPECT_EQ(editor.question.text, "") << "no question of the earlier test";
        EXPECT_EQ(editor.question.points[0], "");
        EXPECT_EQ(editor.checkedVariantMode, qv::kOwnVariants);
        EXPECT_TRUE(editor.messages.empty());
        EXPECT_EQ(session.editing().failedEditFile(), failed);
        EXPECT_FALSE(session.editing().hasUnsavedChanges({})) << "the editor starts unchanged";
        // Saving this over the earlier test would empty it: the window asks plainly.
        EXPECT_TRUE(session.saving().replacesWithEmptyTest(dir.file("earlier")));
        EXPECT_FALSE(session.saving().replacesWithEmptyTest(dir.file("new")));
        session.editing().type(qv::EditorField::QuestionText, "Q");
        EXPECT_FALSE(session.saving().replacesWithEmptyTest(dir.file("earlier")));
    }
}

struct PointsCase {
    std::string typed;
    int button;  // the points field typed into; the test has two buttons
    bool refused;
};

// Points with a decimal separator would be written as another number (a
// comma ends the points in the file): the save names them and writes nothing.
TEST(Session, PointsWithADecimalSeparatorAreNotSaved) {
    const PointsCase cases[] = {
        {"1,5", 1, true}, {"1.5", 2, true}, {",", 1, true},    {"15", 1, false},
        {"-3", 2, false}, {"x", 1, false},  {"1,5", 3, false},  // button 3 is not written
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed + " for button " + std::to_string(c.button));
        qvtest::TempFolder dir;
        qv::Session session;
        session.editing().editorOpened();
        session.editing().newTest();
        session.editing().type(qv::EditorField::QuestionText, "Q1");
        ASSERT_TRUE(session.editing().nextQuestion());
        session.editing().type(qv::EditorField::QuestionText, "Q2");
        session.editing().type(qv::EditorField::Points, c.typed, c.button);
        ASSERT_EQ(session.saving().pointsToMend().has_value(), c.refused);
        if (!c.refused) {
            EXPECT_NO_THROW(session.saving().saveTest(dir.file("t"), {}));
            continue;
        }
        const auto mend = *session.saving().pointsToMend();
        EXPECT_EQ(mend.question, 2);
        EXPECT_EQ(mend.button, c.button);
        const std::string named = ru("кнопку № ") + std::to_string(c.button) + ru(" в вопросе 2");
        EXPECT_NE(mend.message().find(named), std::string::npos);
        EXPECT_NE(mend.message().find(c.typed), std::string::npos);
        EXPECT_THROW(session.saving().saveTest(dir.file("t"), {}), qv::Exception);
        EXPECT_TRUE(dir.names({}).empty()) << "nothing is written";
    }
}

TEST(Session, ASaveNamesTheFileTheNextSaveProposes) {
    qvtest::TempFolder dir;
    qv::Session session;
    session.editing().editorOpened();
    session.editing().newTest();
    EXPECT_EQ(session.currentFileName(), "test");
    EXPECT_EQ(session.editing().editedFile(), "");
    session.saving().saveTest(dir.file("first"), {});
    EXPECT_EQ(session.currentFileName(), dir.file("first.tst"));
    EXPECT_EQ(session.editing().editedFile(), dir.file("first.tst"));
}

TEST(Session, AShortMessageLineKeepsNoBufferOfALongLineBeforeIt) {
    qvtest::TempFolder dir;
    const std::string file = dir.file("long.tst");
    Lines lines = qvtest::workedExampleLines();
    lines[12] = std::string(1 << 20, 'v');  // the last variant, a few lines before the messages
    qvtest::writeBytes(file, qvtest::crlf(lines));
    qv::Session session;
    session.editing().beginEditing(file);
    session.editing().editorOpened();
    session.editing().loadForEditing(file);
    ASSERT_FALSE(session.editing().editor().messages.empty());
    EXPECT_LT(session.editing().editor().messages.front().capacity(), qv::kSpareTextCapacity);
}

TEST(Session, ARunFromLoadToResult) {
    qv::Session session;
    std::vector<unsigned> told;
    session.onChange = [&](unsigned shown) { told.push_back(shown); };
    session.running().beginRun();
    EXPECT_FALSE(session.testWindow().buttonsEnabled)
        << "nothing can be answered before the test has loaded";
    session.running().loadForRun(qvtest::workedExamplePath());

    EXPECT_EQ(session.testWindow().title, ru("Проверка знаний"));
    EXPECT_EQ(session.testWindow().shownButtons, 3);
    EXPECT_TRUE(session.testWindow().buttonsEnabled);
    EXPECT_EQ(session.editing().editor().header.buttonCountText, "3")
        << "the editor and the run agree on the count";
    EXPECT_EQ(session.running().messageLines().count(), 5);
    EXPECT_TRUE(told.back() & qv::kRunReady);

    EXPECT_EQ(session.running().answer(1), qv::TakerRun::Phase::Question);
    EXPECT_EQ(session.testWindow().question, ru("Луна больше Земли?"));
    EXPECT_EQ(session.document().currentQuestion, 2);
    EXPECT_EQ(session.running().answer(2), qv::TakerRun::Phase::Result);
    EXPECT_EQ(session.running().run().outcome().lines,
              (std::vector<std::string>{ru("Хороший результат.")}));
    EXPECT_EQ(session.running().run().total(), 4);
    EXPECT_EQ(session.running().state().score, 0);
}

}  // namespace
