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

// After a file larger than this the memory its reading took is given back to
// the system, however its load ends; a test of ordinary size is read again
// and again without it.
constexpr std::uint64_t kLargeFile = std::uint64_t{4} << 20;

struct ReleaseAfterLargeFile {
    const TestLoader& loader;
    ~ReleaseAfterLargeFile() {
        if (loader.lastFileSize() > kLargeFile) os::releaseFreeMemory();
    }
};

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

// A test file loaded for a run fills the test window and the message lines.
class Session::RunDestination : public LoadDestination {
  public:
    explicit RunDestination(Session& session) : s_(session) {}
    ~RunDestination() override { s_.messages_.releaseSpareStorage(); }

    void buttonCountRead(const std::string& text) override {
        s_.editor_.header.buttonCountText = text;  // the editor and the run agree on the count
        s_.changed(kEditorButtons);
    }
    void titleRead(const std::string& title, const std::string& author,
                   const std::string& caption) override {
        TestWindowState& test = s_.test_;
        test.title = title;
        test.authorLine = author;
        test.caption = caption;
        s_.changed(kTestTitle);
        const int buttons = s_.doc_.buttonCount;
        const int count = buttons >= 1 && buttons <= kMaxButtons ? buttons : 2;
        s_.applyButtonRule(count);
        s_.doc_.activeButtonCount = count;
    }
    void buttonsRead(const LineFields& captions) override {
        s_.test_.captions = captions;
        s_.changed(kTestButtons);
    }
    void messagesBegin() override { s_.messages_.clear(); }
    void messageRead(std::string& line) override { s_.messages_.take(line); }
    void loadFinished() override {
        if (s_.doc_.questionCount < 1)
            throw Exception(cp1251::fromUtf8("В этом тесте нет ни одного вопроса"));
        s_.showTestQuestion(1);
        s_.test_.buttonsEnabled = true;
        s_.changed(kTestButtons | kRunReady);
    }

  private:
    Session& s_;
};

Session::Session() {
    TestHeader& header = editor_.header;
    header.title = kNewTitle;
    header.windowCaption = kNewWindowCaption;
    header.captions[0] = kYes;
    header.captions[1] = kNo;
    header.buttonCountText = kDefaultButtonCount;

    test_.title = kNewTitle;
    test_.authorLine = "--- " + cp1251::fromUtf8("Копирайт") + " ----";
    test_.caption = kNewWindowCaption;
    test_.question = cp1251::fromUtf8("Здесь размещается текст вопроса");
    test_.variants.fill(cp1251::fromUtf8("Варианты"));
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

void Session::beginRun() {
    doc_.currentQuestion = 1;
    run_.score = 0;
    pressedButtons_.clear();
    runFinished_ = false;
    // A test that fails to load cannot be answered: what the window shows is another test's.
    test_.buttonsEnabled = false;
    changed(kTestButtons);
}

void Session::loadForRun(const std::string& fileName) {
    runFileName_ = fileName;
    const ReleaseAfterLargeFile release{loader_};
    RunDestination destination(*this);
    loader_.load(fileName, doc_, destination);
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

// --- The test window ----------------------------------------------------------------

void Session::applyButtonRule(int count) {
    test_.shownButtons = count;
    changed(kTestButtons);
}

void Session::showTestQuestion(int q) {
    test_.question = doc_.text(q);
    for (int k = 1; k <= kMaxButtons; ++k)
        test_.variants[static_cast<std::size_t>(k - 1)] = doc_.variant(q, k);
    changed(kTestQuestion | kTestVariants);
}

AnswerOutcome Session::answer(int button) {
    const AnswerOutcome outcome = answerQuestion(doc_, run_, button);
    pressedButtons_.push_back(button);
    if (outcome == AnswerOutcome::NextQuestion) showTestQuestion(doc_.currentQuestion);
    return outcome;
}

bool Session::chooseResult() {
    const std::int32_t total = run_.score;
    bool found = false;
    try {
        found = qv::chooseResult(run_, messages_);
    } catch (const Exception& e) {
        finishRun(RunOutcome::Failure, total, e.message());
        throw;
    }
    finishRun(found ? RunOutcome::Result : RunOutcome::NoRange, total,
              found ? messages_.line(run_.resultFirst - 1) : std::string{});
    return found;
}

void Session::finishRun(RunOutcome outcome, std::int32_t total, std::string range) {
    // A press after a failed selection ends the same run again: it is told once.
    if (runFinished_ || !onRunFinished) return;
    runFinished_ = true;
    FinishedRun finished{runFileName_,     test_.title, pressedButtons_, total, outcome,
                         std::move(range), {}};
    if (outcome == RunOutcome::Result && run_.resultFirst <= run_.resultLast)
        finished.resultLine = messages_.line(run_.resultFirst);
    onRunFinished(finished);
}

void Session::testWindowActivated() {
    run_.rangeFound = false;
}

std::vector<std::string> Session::resultLines() const {
    return resultMemoLines(run_, messages_);
}

std::string Session::saveResult(const std::string& chosenName) {
    return qv::saveResult(chosenName, run_, messages_);
}

void Session::leaveResult() {
    run_.score = 0;
}

}  // namespace qv
