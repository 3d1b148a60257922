// The program's state and rules, apart from any window: the one test
// document, what the editor's and the test window's fields hold, the file
// name a save proposes, what the editor held when its test was opened or
// saved, and every rule that acts on them; the run of a test in the test
// window is a part of its own (desk_run.h) that shares the document and
// the test window. The windows show this state (handed out read-only)
// and forward what the user does through calls named by what they do;
// `onChange` tells them which part to show again.
//
// Texts are Windows-1251 bytes as in the files; file names are the
// operating system's bytes.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "checker.h"
#include "desk_run.h"
#include "document.h"
#include "loader.h"
#include "os_file.h"
#include "read_back.h"
#include "run.h"
#include "shown.h"
#include "writer.h"

namespace qv {

// What the editor's question fields hold: the newer copy of the question shown.
struct QuestionFields {
    std::string text;
    std::array<std::string, kMaxButtons> variants;
    std::array<std::string, kMaxButtons> points;
};

// The editor as the author sees it.
struct EditorState {
    TestHeader header;                      // the header fields and the button-count text
    int checkedVariantMode = kOwnVariants;  // the radio button checked, 1..3
    int fieldsInUse = 2;                    // the fields of buttons 2..6 up to this one take part
    QuestionFields question;
    int questionNumber = 1;  // what the question number shows
    bool backEnabled = false;
    bool nextEnabled = true;
    // What a load or a new test gives the message field; the field itself
    // holds what the author types.
    std::vector<std::string> messages;
};

// Whether points typed into the editor hold a decimal separator, which the
// file would turn into another number (a comma ends the points there).
bool pointsNeedMending(std::string_view points);

class Session {
  public:
    Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Told, as each step happens, which parts of the state changed.
    std::function<void(unsigned shown)> onChange;

    const TestDocument& document() const { return doc_; }
    const EditorState& editor() const { return editor_; }
    const TestWindowState& testWindow() const { return test_; }
    const std::string& currentFileName() const { return currentFileName_; }
    // The file the editor's test was opened from or saved to last; empty for
    // a new test not yet saved.
    const std::string& editedFile() const { return editedFile_; }
    // The file whose load for editing failed, while the editor shows what
    // that load left (and not the file); empty otherwise.
    const std::string& failedEditFile() const { return failedEditFile_; }
    // The run of a test, in the test window and after it.
    DeskRun& running() { return run_; }
    const DeskRun& running() const { return run_; }

    // --- The manager's commands ---------------------------------------------
    // A new test, once the preview and the editor are open.
    void newTest();
    // A file chosen for editing, before the editor opens.
    void beginEditing(const std::string& fileName);
    // The chosen file read into the document and the editor.
    void loadForEditing(const std::string& fileName);
    // --- The editor ----------------------------------------------------------
    // The editor has opened: the test starts from question 1 of 1.
    void editorOpened();
    // What the author typed into a field.
    void setTitle(std::string text);
    void setAuthor(std::string text);
    void setWindowCaption(std::string text);
    void setCaption(int button, std::string text);
    void setButtonCountText(std::string text);
    void setQuestionText(std::string text);
    void setVariantText(int button, std::string text);
    void setPointsText(int button, std::string text);

    // The typed button count taken: 1..6 (anything else becomes 2), and the
    // editor's fields and the preview's buttons follow.
    void applyButtonCount();
    // The preview takes a field the author has left: the button captions, the
    // title, the author line, the window caption, the question text (unless
    // empty) and the variants.
    void previewCaptions();
    void previewTitle();
    void previewAuthor();
    void previewCaption();
    void previewQuestion();
    void previewVariants();
    // A click on the radio button of a variant mode (1..3).
    void clickVariantMode(int mode);
    // Checks the radio button of a mode 1..3, as a click would; others change nothing.
    void selectVariantMode(int mode);
    // The question fields stored into the document as the current question.
    void storeShownQuestion();
    // The current question of the document shown in the question fields.
    void showStoredQuestion();
    // False when the question text is empty: the author is told, and nothing moves.
    bool nextQuestion();
    void previousQuestion();

    // Whether saving under `chosenName` would replace the file whose load
    // for editing failed, which the editor does not show.
    bool replacesFailedLoad(const std::string& chosenName) const;
    // Whether the file a save under `chosenName` writes exists and is not
    // the test being edited (the one opened, or saved last).
    bool replacesAnotherFile(const std::string& chosenName) const;
    // Whether a save under `chosenName` would replace an existing file,
    // other than the test being edited, with a test of no question at all.
    bool replacesWithEmptyTest(const std::string& chosenName);
    // Points that a save would write as another number (a decimal
    // separator typed into them), the first of them in the file's order.
    struct PointsToMend {
        int question = 0;
        int button = 0;
        std::string text;
        std::string message() const;  // names the question and the button
    };
    std::optional<PointsToMend> pointsToMend();
    // Whether the file a save under `chosenName` writes is the test being
    // edited but no longer as it was opened or saved last (another file, size
    // or time, or a link where there was none): another program changed it.
    bool changedOnDisk(const std::string& chosenName) const;
    // The message lines a save of `shownMessageLines` writes, end marker
    // included; a run takes no more than kMaxMessageLines.
    static int messageLinesWritten(const std::vector<std::string>& shownMessageLines);
    struct Saved {
        std::string fileName;
        // The check of the file written, as a person taking it would meet it.
        CheckReport check;
        // What the file, read back, holds otherwise than the editor.
        std::vector<std::string> readBack;
    };
    // Saves the test under the chosen name and checks what was written;
    // `shownMessageLines` are the message field's lines as it shows them.
    // Points to mend raise an Exception naming them, and nothing is written.
    // The next save proposes the name written.
    Saved saveTest(const std::string& chosenName,
                   const std::vector<std::string>& shownMessageLines);
    // The editor closes: its questions are cleared from the document.
    void closeEditor();

    // Whether the test in the editor differs from the one opened or saved
    // last; `messageLines` are the message field's lines, unwrapped.
    bool hasUnsavedChanges(const std::vector<std::string>& messageLines);
    // The test in the editor, with these message lines, is what its file holds.
    void markEditorSaved(const std::vector<std::string>& messageLines);

  private:
    friend struct SessionSetUp;  // tests and tools set up state directly
    class EditDestination;

    void changed(unsigned shown);
    void startEmptyQuestion();
    // The editor holds what a new test starts with: nothing of an earlier test.
    void blankEditor();
    void toFirstQuestion();
    void questionMoved();
    bool namesEditedFile(const std::string& fileName) const;
    // The test in the editor as a save would write it, the fields of the
    // question shown included.
    std::vector<std::string> contentAsSaved(const std::vector<std::string>& messageLines);

    TestDocument doc_;
    EditorState editor_;
    TestWindowState test_;
    std::string currentFileName_;
    std::string failedEditFile_;  // a file whose load for editing failed
    std::string editedFile_;      // the file the editor's test was opened from or saved to
    // The edited file on disk when it was opened or saved.
    os::FileIdentity editedIdentity_;
    std::vector<std::string> savedContent_;  // contentAsSaved() when opened or saved
    TestLoader loader_;
    DeskRun run_;
};

}  // namespace qv
