// The desktop's run of a test: a TakerRun over the session's one test, the
// document, test window and message lines that the editor's preview shares
// between runs. Each run reloads that test in place and starts the run
// again, so the bounds of the range line read last carry over; the run
// tells the session's `onChange` which parts to show again, and raises a
// failure to the window that forwarded the press.
//
// Texts are Windows-1251 bytes as in the files.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "finished_run.h"
#include "loader.h"
#include "run.h"
#include "taker_run.h"

namespace qv {

class DeskRun {
  public:
    // The run: its phase, presses, total and outcome.
    const TakerRun& run() const { return run_; }
    // The Score, the range bounds and the chosen block, as the rules keep them.
    const RunState& state() const { return run_.state_; }
    const MessageLines& messageLines() const { return test_->messages; }

    // A run begins, before the test window opens: question 1, Score 0, and no
    // answer until its test has loaded.
    void beginRun();
    // The chosen file read into the session's test, the test window and the message lines.
    void loadForRun(const std::string& fileName);
    // An answer button pressed: its points scored, and after the last
    // question the result chosen. Returns the phase the run is in; a
    // failure is raised, and the test window takes presses again.
    TakerRun::Phase answer(int button);
    // The test window became the active window: a range found earlier is forgotten.
    void testWindowActivated() { run_.state_.rangeFound = false; }
    // Saves the chosen block; returns the name written.
    std::string saveResult(const std::string& chosenName);
    // The result window is left: the score goes back to 0.
    void leaveResult() { run_.state_.score = 0; }

    // Told once per run as it ends, whatever the outcome, before the result
    // or error window appears and before a failure of result selection
    // is raised on.
    std::function<void(const FinishedRun&)> onRunFinished;

  private:
    friend class Session;
    friend struct SessionSetUp;  // tests and tools set up state directly
    class Destination;

    // What the run shares with the session: its test, the editor's
    // button-count text (the editor and the run agree on the count), the
    // loader and where changes are told.
    DeskRun(const std::shared_ptr<RunTest>& test, std::string& buttonCountText, TestLoader& loader,
            const std::function<void(unsigned)>& onChange)
        : test_(test),
          run_(test),
          buttonCountText_(buttonCountText),
          loader_(loader),
          onChange_(onChange) {}
    RunState& stateToSetUp() { return run_.state_; }
    void changed(unsigned shown);
    // Raises the failure the run's box tells of, after telling a failed
    // result selection's end.
    [[noreturn]] void raiseFailure(bool inSelection);
    void finishRun(RunOutcome outcome, std::string range);

    std::shared_ptr<RunTest> test_;
    TakerRun run_;
    std::string& buttonCountText_;
    TestLoader& loader_;
    const std::function<void(unsigned)>& onChange_;
    std::string runFileName_;
    bool runFinished_ = false;  // told onRunFinished already
};

// After a file larger than this the memory its reading took is given back to
// the system, however its load ends; a test of ordinary size is read again
// and again without it.
struct ReleaseAfterLargeFile {
    const TestLoader& loader;
    ~ReleaseAfterLargeFile();
};

}  // namespace qv
