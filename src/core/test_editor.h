// The desktop's editor of a test: what its fields hold, the question shown,
// the preview in the test window, and the file the test was opened from or
// saved to. It shares the session's one document and test window (the run's
// window during a run) and tells the session's `onChange` which parts to
// show again; saving is a part of its own (editor_save.h).
//
// Texts are Windows-1251 bytes as in the files; file names are the
// operating system's bytes.
#pragma once

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "document.h"
#include "loader.h"
#include "os_file.h"
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

// The editor's fields the author types into and leaves. Caption, Variant
// and Points are one per button.
enum class EditorField {
    Title,
    Author,
    WindowCaption,
    Caption,
    ButtonCount,
    QuestionText,
    Variant,
    Points,
};

class TestEditor {
  public:
    const EditorState& editor() const { return editor_; }
    // The file the editor's test was opened from or saved to last; empty for
    // a new test not yet saved.
    const std::string& editedFile() const { return editedFile_; }
    // The file whose load for editing failed, while the editor shows what
    // that load left (and not the file); empty otherwise.
    const std::string& failedEditFile() const { return failedEditFile_; }

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
    // What the author typed into a field; `button` (1..6) names the field
    // of a Caption, a Variant or Points.
    void type(EditorField field, std::string text, int button = 0);
    // The typed button count taken: 1..6 (anything else becomes 2), and the
    // editor's fields and the preview's buttons follow.
    void applyButtonCount();
    // The preview takes a field the author has left: the button captions (any
    // Caption), the title, the author line, the window caption, the question
    // text (unless empty) and the variants (any Variant). Others change nothing.
    void preview(EditorField field);
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
    // The editor closes: its questions are cleared from the document.
    void closeEditor();

    // Whether the test in the editor differs from the one opened or saved
    // last; `messageLines` are the message field's lines, unwrapped.
    bool hasUnsavedChanges(const std::vector<std::string>& messageLines);
    // The test in the editor, with these message lines, is what its file holds.
    void markEditorSaved(const std::vector<std::string>& messageLines);

  private:
    friend class Session;
    friend class EditorSave;
    class Destination;

    // What the editor shares with the session: the document, the test
    // window (the preview), the name a save proposes, the loader and where
    // changes are told.
    TestEditor(TestDocument& doc, TestWindowState& window, std::string& currentFileName,
               TestLoader& loader, const std::function<void(unsigned)>& onChange);
    void changed(unsigned shown);
    void startEmptyQuestion();
    // The editor holds what a new test starts with: nothing of an earlier test.
    void blankEditor();
    void toFirstQuestion();
    void questionMoved();
    // The test in the editor as a save would write it, the fields of the
    // question shown included.
    std::vector<std::string> contentAsSaved(const std::vector<std::string>& messageLines);

    TestDocument& doc_;
    TestWindowState& test_;
    std::string& currentFileName_;
    TestLoader& loader_;
    const std::function<void(unsigned)>& onChange_;
    EditorState editor_;
    std::string failedEditFile_;  // a file whose load for editing failed
    std::string editedFile_;      // the file the editor's test was opened from or saved to
    // The edited file on disk when it was opened or saved.
    os::FileIdentity editedIdentity_;
    std::vector<std::string> savedContent_;  // contentAsSaved() when opened or saved
};

}  // namespace qv
