#include "test_editor.h"

#include <algorithm>

#include "cp1251.h"
#include "desk_run.h"
#include "errors.h"
#include "file_loading.h"
#include "format.h"
#include "number.h"
#include "os_file.h"

namespace qv {

namespace {

const std::string kNewTitle = cp1251::fromUtf8("Это текст заголовка");
const std::string kNewAuthor = cp1251::fromUtf8("Неизвестен");
const std::string kNewWindowCaption = cp1251::fromUtf8("Тест");
const std::string kYes = cp1251::fromUtf8("Да");
const std::string kNo = cp1251::fromUtf8("Нет");
const std::string kAuthorPrefix = cp1251::fromUtf8("Автор теста: ");
const std::string kDefaultButtonCount = "2";

}  // namespace

// A test file loaded for editing fills the editor.
class TestEditor::Destination : public LoadDestination {
  public:
    explicit Destination(TestEditor& editor) : s_(editor) {}
    // A load that fails shows the message lines it had read.
    ~Destination() override {
        if (!messagesBegun_ || finished_) return;
        try {
            s_.changed(kEditorMessages);
        } catch (...) {
            // Showing them failed as well; the load's own failure is reported.
        }
    }

    void buttonCountRead(const std::string& text) override {
        s_.editor_.header.buttonCountText = text;
        s_.changed(kEditorButtons);
    }
    void variantModeRead(std::int32_t mode) override { s_.selectVariantMode(mode); }
    void titleRead(const std::string& title, const std::string& author,
                   const std::string& caption) override {
        s_.editor_.header.title = title;
        s_.editor_.header.author = author;
        s_.editor_.header.windowCaption = caption;
        s_.changed(kEditorHeader);
    }
    void buttonsRead(const LineFields& captions) override {
        s_.editor_.header.captions = captions;
        s_.changed(kEditorHeader);
    }
    void variantsRead() override {
        s_.doc_.activeButtonCount = s_.doc_.buttonCount;
        s_.applyButtonCount();
    }
    void messagesBegin() override {
        s_.editor_.messages.clear();
        messagesBegun_ = true;
        s_.changed(kEditorMessages);
    }
    void messageRead(std::string& line) override { s_.editor_.messages.emplace_back().swap(line); }
    void loadFinished() override {
        // The last message line (the end marker in a saved test) is not shown.
        if (!s_.editor_.messages.empty()) s_.editor_.messages.back().clear();
        finished_ = true;
        s_.changed(kEditorMessages);
        if (s_.doc_.questionCount < 1) s_.startEmptyQuestion();
        s_.showStoredQuestion();
    }

  private:
    TestEditor& s_;
    bool messagesBegun_ = false;
    bool finished_ = false;
};

TestEditor::TestEditor(TestDocument& doc, TestWindowState& window, std::string& currentFileName,
                       TestLoader& loader, const std::function<void(unsigned)>& onChange)
    : doc_(doc),
      test_(window),
      currentFileName_(currentFileName),
      loader_(loader),
      onChange_(onChange) {
    TestHeader& header = editor_.header;
    header.title = kNewTitle;
    header.windowCaption = kNewWindowCaption;
    header.captions[0] = kYes;
    header.captions[1] = kNo;
    header.buttonCountText = kDefaultButtonCount;
}

void TestEditor::changed(unsigned shown) {
    if (onChange_) onChange_(shown);
}

// --- The manager's commands ---------------------------------------------------------

void TestEditor::newTest() {
    currentFileName_ = "test";
    failedEditFile_.clear();
    editedFile_.clear();
    blankEditor();
    toFirstQuestion();

    // The preview is brought in line.
    const TestHeader& header = editor_.header;
    test_.question.clear();
    test_.title = header.title;
    test_.captions[0] = header.captions[0];
    test_.captions[1] = header.captions[1];
    // Nothing of a test taken before stays in the preview of the new one.
    test_.authorLine = kAuthorPrefix + header.author;
    test_.caption = header.windowCaption;
    test_.variants = editor_.question.variants;
    changed(kTestQuestion | kTestTitle | kTestButtons | kTestVariants);

    doc_.activeButtonCount = 2;
    applyButtonCount();
    // The preview cannot be answered.
    test_.buttonsEnabled = false;
    changed(kTestButtons);

    markEditorSaved(editor_.messages);
}

void TestEditor::blankEditor() {
    selectVariantMode(kOwnVariants);
    TestHeader& header = editor_.header;
    header.author = kNewAuthor;
    header.windowCaption = kNewWindowCaption;
    header.title = kNewTitle;
    header.buttonCountText = kDefaultButtonCount;
    header.captions = {kYes, kNo};
    editor_.fieldsInUse = 2;
    editor_.question = {};
    editor_.messages.clear();
    changed(kEditorHeader | kEditorButtons | kEditorQuestion | kEditorMessages);
}

void TestEditor::beginEditing(const std::string& fileName) {
    currentFileName_ = fileName;
    toFirstQuestion();
}

void TestEditor::toFirstQuestion() {
    editor_.questionNumber = 1;
    editor_.backEnabled = false;
    editor_.nextEnabled = true;
    doc_.currentQuestion = 1;
    changed(kEditorQuestion);
}

void TestEditor::loadForEditing(const std::string& fileName) {
    failedEditFile_ = fileName;  // until the load has succeeded
    editedFile_.clear();
    // Whatever the load fails to read is as a new test has it, never what
    // an earlier test left in the fields.
    blankEditor();
    // The file as it is read: a save asks before replacing it once it is not.
    const os::FileIdentity opened = os::identityOf(fileName);
    // However the load ends, what the editor then shows is the starting point
    // that changes are measured from, and the window names the file.
    struct MarkShownAsSaved {
        TestEditor& s;
        ~MarkShownAsSaved() {
            try {
                s.markEditorSaved(s.editor_.messages);
                s.changed(kEditorHeader);
            } catch (...) {
                // Without a starting point every test counts as changed.
            }
        }
    } markShown{*this};
    const ReleaseAfterLargeFile release{loader_};
    {
        Destination destination(*this);
        loadTestFile(loader_, fileName, doc_, destination);
    }
    failedEditFile_.clear();
    editedFile_ = fileName;
    editedIdentity_ = opened;
}

// --- The editor --------------------------------------------------------------------

void TestEditor::editorOpened() {
    doc_.questionCount = 1;
    doc_.currentQuestion = 1;
}

void TestEditor::type(EditorField field, std::string text, int button) {
    TestHeader& header = editor_.header;
    const auto b = static_cast<std::size_t>(button - 1);
    switch (field) {
        case EditorField::Title:
            header.title = std::move(text);
            break;
        case EditorField::Author:
            header.author = std::move(text);
            break;
        case EditorField::WindowCaption:
            header.windowCaption = std::move(text);
            break;
        case EditorField::Caption:
            header.captions.at(b) = std::move(text);
            break;
        case EditorField::ButtonCount:
            header.buttonCountText = std::move(text);
            break;
        case EditorField::QuestionText:
            editor_.question.text = std::move(text);
            break;
        case EditorField::Variant:
            editor_.question.variants.at(b) = std::move(text);
            break;
        case EditorField::Points:
            editor_.question.points.at(b) = std::move(text);
            break;
    }
}

void TestEditor::applyButtonCount() {
    std::string& text = editor_.header.buttonCountText;
    if (text.empty()) text = kDefaultButtonCount;
    int count = strToInt(text);  // a failure leaves everything else as it was
    if (count < 1 || count > kMaxButtons) {
        count = 2;
        text = kDefaultButtonCount;
    }
    doc_.activeButtonCount = count;
    editor_.fieldsInUse = count;
    test_.shownButtons = count;
    changed(kEditorButtons | kTestButtons);
}

void TestEditor::preview(EditorField field) {
    switch (field) {
        case EditorField::Caption:
            test_.captions = editor_.header.captions;
            changed(kTestButtons);
            break;
        case EditorField::Title:
            test_.title = editor_.header.title;
            changed(kTestTitle);
            break;
        case EditorField::Author:
            test_.authorLine = kAuthorPrefix + editor_.header.author;
            changed(kTestTitle);
            break;
        case EditorField::WindowCaption:
            test_.caption = editor_.header.windowCaption;
            changed(kTestTitle);
            break;
        case EditorField::QuestionText:
            if (editor_.question.text.empty()) return;
            test_.question = editor_.question.text;
            changed(kTestQuestion);
            break;
        case EditorField::Variant:
            test_.variants = editor_.question.variants;
            changed(kTestVariants);
            break;
        case EditorField::ButtonCount:
        case EditorField::Points:
            break;
    }
}

void TestEditor::clickVariantMode(int mode) {
    editor_.checkedVariantMode = mode;
    doc_.variantMode = mode;
}

void TestEditor::selectVariantMode(int mode) {
    if (mode < kNoVariants || mode > kOwnVariants)
        return;  // another mode leaves the radio buttons as they are
    clickVariantMode(mode);
    changed(kEditorHeader);
}

void TestEditor::storeShownQuestion() {
    const int q = doc_.currentQuestion;
    doc_.setText(q, editor_.question.text);
    for (int k = 1; k <= kMaxButtons; ++k) {
        const auto b = static_cast<std::size_t>(k - 1);
        doc_.setVariant(q, k, editor_.question.variants[b]);
        doc_.setPoints(q, k, editor_.question.points[b]);
    }
}

void TestEditor::showStoredQuestion() {
    const int q = doc_.currentQuestion;
    editor_.questionNumber = q;
    editor_.question.text = doc_.text(q);
    for (int k = 1; k <= kMaxButtons; ++k) {
        const auto b = static_cast<std::size_t>(k - 1);
        editor_.question.variants[b] = doc_.variant(q, k);
        editor_.question.points[b] = doc_.points(q, k);
    }
    changed(kEditorQuestion);
}

bool TestEditor::nextQuestion() {
    if (editor_.question.text.empty()) return false;
    if (doc_.currentQuestion >= kMaxQuestions) return true;
    storeShownQuestion();
    if (doc_.currentQuestion >= doc_.questionCount) {
        // A new question is appended; its slot is written from the fields when it is next stored.
        editor_.question = {};
        ++doc_.currentQuestion;
        doc_.questionCount = doc_.currentQuestion;
        editor_.questionNumber = doc_.currentQuestion;
    } else {
        ++doc_.currentQuestion;
        showStoredQuestion();
    }
    if (doc_.currentQuestion >= 2) editor_.backEnabled = true;
    if (doc_.currentQuestion >= kMaxQuestions) editor_.nextEnabled = false;
    questionMoved();
    return true;
}

void TestEditor::previousQuestion() {
    if (doc_.currentQuestion <= 1) return;
    storeShownQuestion();
    --doc_.currentQuestion;
    showStoredQuestion();
    if (doc_.currentQuestion == 1) editor_.backEnabled = false;
    if (doc_.currentQuestion < kMaxQuestions) editor_.nextEnabled = true;
    questionMoved();
}

// The editor shows another question, and the preview follows.
void TestEditor::questionMoved() {
    changed(kEditorQuestion);
    test_.question = editor_.question.text;
    changed(kTestQuestion);
    preview(EditorField::Variant);
}

std::vector<std::string> TestEditor::contentAsSaved(const std::vector<std::string>& messageLines) {
    // The fields are the newer copy of the question shown, as a save takes them.
    storeShownQuestion();
    int buttons = kMaxButtons;
    try {
        buttons = std::clamp(strToInt(editor_.header.buttonCountText), 1, kMaxButtons);
    } catch (const EConvertError&) {
        // Not a number: every field counts; the count's own text is compared too.
    }
    const std::int32_t questions = std::clamp(questionsToSave(doc_), 0, kMaxQuestions);
    return testFileLines(doc_, questions, buttons, editor_.header, messageLines);
}

bool TestEditor::hasUnsavedChanges(const std::vector<std::string>& messageLines) {
    return contentAsSaved(messageLines) != savedContent_;
}

void TestEditor::markEditorSaved(const std::vector<std::string>& messageLines) {
    savedContent_ = contentAsSaved(messageLines);
}

void TestEditor::closeEditor() {
    doc_.clearQuestions();
    editor_.messages.clear();
    changed(kEditorMessages);
}

// A test without questions is edited as one empty question. Its slot may
// still hold a question of an earlier test; only the variants that the file
// gave it (those of the first question, in variant mode 2) are kept.
void TestEditor::startEmptyQuestion() {
    doc_.questionCount = 1;
    doc_.setText(1, {});
    const bool variantsRead = doc_.variantMode == kFirstQuestionVariants;
    for (int k = 1; k <= kMaxButtons; ++k) {
        doc_.setPoints(1, k, {});
        if (!variantsRead || k > doc_.buttonCount) doc_.setVariant(1, k, {});
    }
}

}  // namespace qv
