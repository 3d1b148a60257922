#include "session.h"

#include <algorithm>

#include "cp1251.h"
#include "errors.h"
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

// --- Loading ----------------------------------------------------------------------

// A test file loaded for editing fills the editor.
class Session::EditDestination : public LoadDestination {
  public:
    explicit EditDestination(Session& session) : s_(session) {}
    // A load that fails shows the message lines it had read.
    ~EditDestination() override {
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
    Session& s_;
    bool messagesBegun_ = false;
    bool finished_ = false;
};

Session::Session() : run_(doc_, test_, editor_.header.buttonCountText, loader_, onChange) {
    TestHeader& header = editor_.header;
    header.title = kNewTitle;
    header.windowCaption = kNewWindowCaption;
    header.captions[0] = kYes;
    header.captions[1] = kNo;
    header.buttonCountText = kDefaultButtonCount;
}

void Session::changed(unsigned shown) {
    if (onChange) onChange(shown);
}

// --- The manager's commands ---------------------------------------------------------

void Session::newTest() {
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

void Session::blankEditor() {
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

void Session::beginEditing(const std::string& fileName) {
    currentFileName_ = fileName;
    toFirstQuestion();
}

void Session::toFirstQuestion() {
    editor_.questionNumber = 1;
    editor_.backEnabled = false;
    editor_.nextEnabled = true;
    doc_.currentQuestion = 1;
    changed(kEditorQuestion);
}

void Session::loadForEditing(const std::string& fileName) {
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
        Session& s;
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
        EditDestination destination(*this);
        loader_.load(fileName, doc_, destination);
    }
    failedEditFile_.clear();
    editedFile_ = fileName;
    editedIdentity_ = opened;
}

// --- The editor --------------------------------------------------------------------

void Session::editorOpened() {
    doc_.questionCount = 1;
    doc_.currentQuestion = 1;
}

void Session::setTitle(std::string text) {
    editor_.header.title = std::move(text);
}
void Session::setAuthor(std::string text) {
    editor_.header.author = std::move(text);
}
void Session::setWindowCaption(std::string text) {
    editor_.header.windowCaption = std::move(text);
}
void Session::setCaption(int button, std::string text) {
    editor_.header.captions.at(static_cast<std::size_t>(button - 1)) = std::move(text);
}
void Session::setButtonCountText(std::string text) {
    editor_.header.buttonCountText = std::move(text);
}
void Session::setQuestionText(std::string text) {
    editor_.question.text = std::move(text);
}
void Session::setVariantText(int button, std::string text) {
    editor_.question.variants.at(static_cast<std::size_t>(button - 1)) = std::move(text);
}
void Session::setPointsText(int button, std::string text) {
    editor_.question.points.at(static_cast<std::size_t>(button - 1)) = std::move(text);
}

void Session::applyButtonCount() {
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

void Session::previewCaptions() {
    test_.captions = editor_.header.captions;
    changed(kTestButtons);
}

void Session::previewTitle() {
    test_.title = editor_.header.title;
    changed(kTestTitle);
}

void Session::previewAuthor() {
    test_.authorLine = kAuthorPrefix + editor_.header.author;
    changed(kTestTitle);
}

void Session::previewCaption() {
    test_.caption = editor_.header.windowCaption;
    changed(kTestTitle);
}

void Session::previewQuestion() {
    if (editor_.question.text.empty()) return;
    test_.question = editor_.question.text;
    changed(kTestQuestion);
}

void Session::previewVariants() {
    test_.variants = editor_.question.variants;
    changed(kTestVariants);
}

void Session::clickVariantMode(int mode) {
    editor_.checkedVariantMode = mode;
    doc_.variantMode = mode;
}

void Session::selectVariantMode(int mode) {
    if (mode < kNoVariants || mode > kOwnVariants)
        return;  // another mode leaves the radio buttons as they are
    clickVariantMode(mode);
    changed(kEditorHeader);
}

void Session::storeShownQuestion() {
    const int q = doc_.currentQuestion;
    doc_.setText(q, editor_.question.text);
    for (int k = 1; k <= kMaxButtons; ++k) {
        const auto b = static_cast<std::size_t>(k - 1);
        doc_.setVariant(q, k, editor_.question.variants[b]);
        doc_.setPoints(q, k, editor_.question.points[b]);
    }
}

void Session::showStoredQuestion() {
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

bool Session::nextQuestion() {
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

void Session::previousQuestion() {
    if (doc_.currentQuestion <= 1) return;
    storeShownQuestion();
    --doc_.currentQuestion;
    showStoredQuestion();
    if (doc_.currentQuestion == 1) editor_.backEnabled = false;
    if (doc_.currentQuestion < kMaxQuestions) editor_.nextEnabled = true;
    questionMoved();
}

// The editor shows another question, and the preview follows.
void Session::questionMoved() {
    changed(kEditorQuestion);
    test_.question = editor_.question.text;
    changed(kTestQuestion);
    previewVariants();
}

bool Session::replacesFailedLoad(const std::string& chosenName) const {
    return !failedEditFile_.empty() && os::sameFile(testFileName(chosenName), failedEditFile_);
}

// The name, however spelled, of the test being edited.
bool Session::namesEditedFile(const std::string& fileName) const {
    return !editedFile_.empty() && (fileName == editedFile_ || os::sameFile(fileName, editedFile_));
}

bool Session::replacesAnotherFile(const std::string& chosenName) const {
    const std::string fileName = testFileName(chosenName);
    return os::fileExists(fileName) && !namesEditedFile(fileName);
}

bool Session::changedOnDisk(const std::string& chosenName) const {
    if (!namesEditedFile(testFileName(chosenName))) return false;
    const os::FileIdentity now = os::identityOf(editedFile_);
    // A file gone is no file replaced; a link to nothing is a change.
    return (now.exists || now.isLink) && now != editedIdentity_;
}

bool Session::replacesWithEmptyTest(const std::string& chosenName) {
    storeShownQuestion();  // the fields are the newer copy of the question shown
    const std::string fileName = testFileName(chosenName);
    return questionsToSave(doc_) < 1 && os::fileExists(fileName) && !namesEditedFile(fileName);
}

bool pointsNeedMending(std::string_view points) {
    return points.find_first_of(",.") != std::string_view::npos;
}

std::string Session::PointsToMend::message() const {
    return cp1251::fromUtf8("Баллы за кнопку № ") + std::to_string(button) +
           cp1251::fromUtf8(" в вопросе ") + std::to_string(question) + cp1251::fromUtf8(" — «") +
           text +
           cp1251::fromUtf8(
               "» — не целое число. В файле теста запятая отделяет баллы одной "
               "кнопки от баллов другой, и записались бы другие баллы. Исправьте их "
               "на целое число: тест не сохранён.");
}

std::optional<Session::PointsToMend> Session::pointsToMend() {
    storeShownQuestion();
    int buttons = kMaxButtons;
    try {
        buttons = strToInt(editor_.header.buttonCountText);
    } catch (const EConvertError&) {
        return std::nullopt;  // the save fails on the count itself
    }
    if (buttons < 1 || buttons > kMaxButtons) return std::nullopt;
    const std::int32_t questions = std::clamp(questionsToSave(doc_), 0, kMaxQuestions);
    for (int q = 1; q <= questions; ++q)
        for (int b = 1; b <= buttons; ++b)
            if (pointsNeedMending(doc_.points(q, b))) return PointsToMend{q, b, doc_.points(q, b)};
    return std::nullopt;
}

int Session::messageLinesWritten(const std::vector<std::string>& shownMessageLines) {
    int count = 1;  // the end marker
    for (const auto& line : shownMessageLines)
        if (!line.empty()) ++count;
    return count;
}

Session::Saved Session::saveTest(const std::string& chosenName,
                                 const std::vector<std::string>& shownMessageLines) {
    if (const auto mend = pointsToMend()) throw Exception(mend->message());
    Saved saved;
    saved.fileName = qv::saveTest(chosenName, doc_, editor_.header, shownMessageLines);
    editedFile_ = saved.fileName;
    editedIdentity_ = os::identityOf(saved.fileName);
    currentFileName_ = saved.fileName;
    // Once replaced, the file holds the editor's test.
    if (replacesFailedLoad(chosenName)) failedEditFile_.clear();
    changed(kEditorHeader);
    try {
        saved.check = checkTest(saved.fileName);
    } catch (const EInOutError&) {
        // Saved, but not to be read back: there is nothing to check or compare.
        return saved;
    }
    saved.readBack = readBackDifferences(saved.fileName, doc_, editor_.header, shownMessageLines);
    return saved;
}

std::vector<std::string> Session::contentAsSaved(const std::vector<std::string>& messageLines) {
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

bool Session::hasUnsavedChanges(const std::vector<std::string>& messageLines) {
    return contentAsSaved(messageLines) != savedContent_;
}

void Session::markEditorSaved(const std::vector<std::string>& messageLines) {
    savedContent_ = contentAsSaved(messageLines);
}

void Session::closeEditor() {
    doc_.clearQuestions();
    editor_.messages.clear();
    changed(kEditorMessages);
}

// A test without questions is edited as one empty question. Its slot may
// still hold a question of an earlier test; only the variants that the file
// gave it (those of the first question, in variant mode 2) are kept.
void Session::startEmptyQuestion() {
    doc_.questionCount = 1;
    doc_.setText(1, {});
    const bool variantsRead = doc_.variantMode == kFirstQuestionVariants;
    for (int k = 1; k <= kMaxButtons; ++k) {
        doc_.setPoints(1, k, {});
        if (!variantsRead || k > doc_.buttonCount) doc_.setVariant(1, k, {});
    }
}

}  // namespace qv
