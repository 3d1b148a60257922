#include "desk_run.h"

#include "errors.h"
#include "file_loading.h"
#include "os_file.h"
#include "writer.h"

namespace qv {

namespace {

constexpr std::uint64_t kLargeFile = std::uint64_t{4} << 20;

}  // namespace

ReleaseAfterLargeFile::~ReleaseAfterLargeFile() {
    if (loader.lastFileSize() > kLargeFile) os::releaseFreeMemory();
}

// A test file loaded for a run fills the test window and the message lines.
class DeskRun::Destination : public LoadDestination {
  public:
    explicit Destination(DeskRun& run) : r_(run) {}
    ~Destination() override { r_.messages_.releaseSpareStorage(); }

    void buttonCountRead(const std::string& text) override {
        r_.buttonCountText_ = text;  // the editor and the run agree on the count
        r_.changed(kEditorButtons);
    }
    void titleRead(const std::string& title, const std::string& author,
                   const std::string& caption) override {
        TestWindowState& test = r_.test_;
        test.title = title;
        test.authorLine = author;
        test.caption = caption;
        r_.changed(kTestTitle);
        const int count = shownButtonCount(r_.doc_.buttonCount);
        r_.test_.shownButtons = count;
        r_.changed(kTestButtons);
        r_.doc_.activeButtonCount = count;
    }
    void buttonsRead(const LineFields& captions) override {
        r_.test_.captions = captions;
        r_.changed(kTestButtons);
    }
    void messagesBegin() override { r_.messages_.clear(); }
    void messageRead(std::string& line) override { r_.messages_.take(line); }
    void loadFinished() override {
        requireQuestions(r_.doc_);
        r_.showTestQuestion(1);
        r_.test_.buttonsEnabled = true;
        r_.changed(kTestButtons | kRunReady);
    }

  private:
    DeskRun& r_;
};

void DeskRun::changed(unsigned shown) {
    if (onChange_) onChange_(shown);
}

void DeskRun::beginRun() {
    doc_.currentQuestion = 1;
    run_.score = 0;
    pressedButtons_.clear();
    runFinished_ = false;
    // A test that fails to load cannot be answered: what the window shows is another test's.
    test_.buttonsEnabled = false;
    changed(kTestButtons);
}

void DeskRun::loadForRun(const std::string& fileName) {
    runFileName_ = fileName;
    const ReleaseAfterLargeFile release{loader_};
    Destination destination(*this);
    loadTestFile(loader_, fileName, doc_, destination);
}

void DeskRun::showTestQuestion(int q) {
    showQuestion(test_, doc_, q);
    changed(kTestQuestion | kTestVariants);
}

AnswerOutcome DeskRun::answer(int button) {
    const AnswerOutcome outcome = answerQuestion(doc_, run_, button);
    pressedButtons_.push_back(button);
    if (outcome == AnswerOutcome::NextQuestion) showTestQuestion(doc_.currentQuestion);
    return outcome;
}

bool DeskRun::chooseResult() {
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

void DeskRun::finishRun(RunOutcome outcome, std::int32_t total, std::string range) {
    // A press after a failed selection ends the same run again: it is told once.
    if (runFinished_ || !onRunFinished) return;
    runFinished_ = true;
    FinishedRun finished{runFileName_,     test_.title, pressedButtons_, total, outcome,
                         std::move(range), {}};
    if (outcome == RunOutcome::Result && run_.resultFirst <= run_.resultLast)
        finished.resultLine = messages_.line(run_.resultFirst);
    onRunFinished(finished);
}

void DeskRun::testWindowActivated() {
    run_.rangeFound = false;
}

std::vector<std::string> DeskRun::resultLines() const {
    return resultMemoLines(run_, messages_);
}

std::string DeskRun::saveResult(const std::string& chosenName) {
    return qv::saveResult(chosenName, run_, messages_);
}

void DeskRun::leaveResult() {
    run_.score = 0;
}

}  // namespace qv
