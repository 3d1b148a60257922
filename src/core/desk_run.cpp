#include "desk_run.h"

#include "errors.h"
#include "file_loading.h"
#include "os_file.h"
#include "shown.h"
#include "writer.h"

namespace qv {

namespace {

constexpr std::uint64_t kLargeFile = std::uint64_t{4} << 20;

}  // namespace

ReleaseAfterLargeFile::~ReleaseAfterLargeFile() {
    if (loader.lastFileSize() > kLargeFile) os::releaseFreeMemory();
}

// A test file loaded for a run fills the session's test (the document, the
// test window and the message lines) and tells the windows of each part.
class DeskRun::Destination : public RunTestFill {
  public:
    explicit Destination(DeskRun& run) : RunTestFill(*run.test_), r_(run) {}
    ~Destination() override { test_.messages.releaseSpareStorage(); }

    void buttonCountRead(const std::string& text) override {
        r_.buttonCountText_ = text;  // the editor and the run agree on the count
        r_.changed(kEditorButtons);
    }
    void titleRead(const std::string& title, const std::string& author,
                   const std::string& caption) override {
        RunTestFill::titleRead(title, author, caption);
        r_.changed(kTestTitle | kTestButtons);
    }
    void buttonsRead(const LineFields& captions) override {
        RunTestFill::buttonsRead(captions);
        r_.changed(kTestButtons);
    }
    void loadFinished() override {
        RunTestFill::loadFinished();
        r_.run_.restart();
        r_.changed(kTestQuestion | kTestVariants | kTestButtons | kRunReady);
    }

  private:
    DeskRun& r_;
};

void DeskRun::changed(unsigned shown) {
    if (onChange_) onChange_(shown);
}

void DeskRun::beginRun() {
    test_->document.currentQuestion = 1;
    // A test that fails to load cannot be answered: what the window shows is another test's.
    test_->window.buttonsEnabled = false;
    run_.restart();
    runFinished_ = false;
    changed(kTestButtons);
}

void DeskRun::loadForRun(const std::string& fileName) {
    runFileName_ = fileName;
    const ReleaseAfterLargeFile release{loader_};
    Destination destination(*this);
    loadTestFile(loader_, fileName, test_->document, destination);
}

TakerRun::Phase DeskRun::answer(int button) {
    const TakerRun::Press press = run_.answer(button);
    if (run_.notice() && run_.notice()->failure) raiseFailure(press.question != 0);
    if (press.question == 0) return run_.phase();
    switch (run_.phase()) {
        case TakerRun::Phase::Question:
            test_->document.currentQuestion = run_.question();
            test_->window.question = run_.window().question;
            test_->window.variants = run_.window().variants;
            changed(kTestQuestion | kTestVariants);
            break;
        case TakerRun::Phase::Result:
            finishRun(RunOutcome::Result, run_.outcome().rangeLine);
            break;
        default:
            finishRun(RunOutcome::NoRange, {});
            break;
    }
    return run_.phase();
}

void DeskRun::raiseFailure(bool inSelection) {
    const std::exception_ptr failure = run_.notice()->failure;
    // The program's failure handler tells it; the test window then takes presses again.
    run_.acknowledge();
    // A press that scored failed in result selection, which ends the run.
    if (inSelection) {
        try {
            std::rethrow_exception(failure);
        } catch (const Exception& e) {
            finishRun(RunOutcome::Failure, e.message());
        } catch (...) {  // told as the program's failure alone
        }
    }
    std::rethrow_exception(failure);
}

void DeskRun::finishRun(RunOutcome outcome, std::string range) {
    // A press after a failed selection ends the same run again: it is told once.
    if (runFinished_ || !onRunFinished) return;
    runFinished_ = true;
    const std::vector<std::string>& block = run_.outcome().lines;
    onRunFinished(FinishedRun{runFileName_, test_->window.title, run_.presses(), run_.total(),
                              outcome, std::move(range), block.empty() ? "" : block.front()});
}

std::string DeskRun::saveResult(const std::string& chosenName) {
    return qv::saveResult(chosenName, run_.state_, test_->messages);
}

}  // namespace qv
