// The author's work in the editor: what counts as a change since the test
// was opened or saved, and what a save reads back from the file it wrote.
#include <gtest/gtest.h>

#include <functional>

#include "core_support.h"
#include "session.h"

namespace {

using qvtest::ru;
using Lines = std::vector<std::string>;

// A new test with one filled question, saved: the starting point of each case.
void startSavedTest(qv::Session& session) {
    session.editing().editorOpened();
    session.editing().newTest();
    session.editing().type(qv::EditorField::QuestionText, ru("Вопрос"));
    session.editing().type(qv::EditorField::Points, "1", 1);
    session.editing().type(qv::EditorField::Points, "0", 2);
    session.editing().markEditorSaved({"=0-1", "Итог"});
}

struct ChangeCase {
    const char* what;
    std::function<void(qv::Session&)> edit;
    Lines messages;
    bool changed;
};

TEST(EditorWork, OnlyWhatASaveWritesCountsAsAChange) {
    const Lines saved{"=0-1", "Итог"};
    const ChangeCase cases[] = {
        {"nothing", [](qv::Session&) {}, saved, false},
        {"an empty message line", [](qv::Session&) {}, {"=0-1", "", "Итог", ""}, false},
        {"a message line", [](qv::Session&) {}, {"=0-1", "Итог!"}, true},
        {"the title", [](qv::Session& s) { s.editing().type(qv::EditorField::Title, "T"); }, saved,
         true},
        {"a caption", [](qv::Session& s) { s.editing().type(qv::EditorField::Caption, "N", 2); },
         saved, true},
        {"a hidden caption",
         [](qv::Session& s) { s.editing().type(qv::EditorField::Caption, "N", 5); }, saved, false},
        {"points", [](qv::Session& s) { s.editing().type(qv::EditorField::Points, "2", 1); }, saved,
         true},
        {"typed back as it was",
         [](qv::Session& s) {
             s.editing().type(qv::EditorField::Points, "5", 1);
             s.editing().type(qv::EditorField::Points, "1", 1);
         },
         saved, false},
        {"a question moved to and back",
         [](qv::Session& s) {
             s.editing().nextQuestion();
             s.editing().previousQuestion();
         },
         saved, false},
        {"a question added",
         [](qv::Session& s) {
             s.editing().nextQuestion();
             s.editing().type(qv::EditorField::QuestionText, "Q2");
         },
         saved, true},
        {"the variant mode", [](qv::Session& s) { s.editing().clickVariantMode(qv::kNoVariants); },
         saved, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        qv::Session session;
        startSavedTest(session);
        c.edit(session);
        EXPECT_EQ(session.editing().hasUnsavedChanges(c.messages), c.changed);
    }
}

TEST(EditorWork, AnOpenedTestStartsUnchangedAndASaveMarksItSaved) {
    qvtest::TempFolder dir;
    const std::string file = dir.path() + "/t.tst";
    qvtest::writeBytes(file, qvtest::workedExampleBytes());
    qv::Session session;
    session.editing().beginEditing(file);
    session.editing().editorOpened();
    session.editing().loadForEditing(file);
    EXPECT_FALSE(session.editing().hasUnsavedChanges(session.editing().editor().messages));
    EXPECT_FALSE(session.saving().replacesAnotherFile(file)) << "the file being edited";

    session.editing().type(qv::EditorField::Title, "New");
    EXPECT_TRUE(session.editing().hasUnsavedChanges(session.editing().editor().messages));
    const std::string other = dir.path() + "/other";
    EXPECT_FALSE(session.saving().replacesAnotherFile(other)) << "nothing there yet";
    qvtest::writeBytes(other + ".tst", "x");
    EXPECT_TRUE(session.saving().replacesAnotherFile(other));
}

struct ReadBackCase {
    const char* what;
    std::function<void(qv::Session&)> edit;
    const char* named;  // what the first difference names; empty for none
};

// The editor's fields refuse what the file cannot hold; these come from
// elsewhere (a file's bytes, a tool) and must not be lost silently.
TEST(EditorWork, ASaveReadsTheFileBackAndNamesWhatItDidNotKeep) {
    const ReadBackCase cases[] = {
        {"a clean test", [](qv::Session&) {}, ""},
        {"\")\" in the title",
         [](qv::Session& s) { s.editing().type(qv::EditorField::Title, ru("Тест (5 класс)")); },
         "заголовок"},
        {"0x05 in the author",
         [](qv::Session& s) {
             s.editing().type(qv::EditorField::Author,
                              "A\x05"
                              "B");
         },
         "автор"},
        {"\")\" in a caption",
         [](qv::Session& s) { s.editing().type(qv::EditorField::Caption, "N)o", 2); },
         "подпись кнопки № 2"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        qvtest::TempFolder dir;
        qv::Session session;
        startSavedTest(session);
        c.edit(session);
        const auto saved = session.saving().saveTest(dir.path() + "/t", {"=0-5", "Итог"});
        if (*c.named == 0) {
            EXPECT_TRUE(saved.readBack.empty()) << qvtest::joined(saved.readBack);
        } else {
            ASSERT_FALSE(saved.readBack.empty());
            EXPECT_EQ(saved.readBack.front().rfind(ru(c.named), 0), 0u)
                << qv::cp1251::toUtf8(saved.readBack.front());
        }
    }
}

}  // namespace
