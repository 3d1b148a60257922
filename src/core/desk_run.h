// The desktop's run of a test: the test window during a run, the message
// lines, the presses, result selection and the result file. It shares the
// session's one document and test window (the editor's preview between
// runs), and tells the session's `onChange` which parts to show again.
//
// Texts are Windows-1251 bytes as in the files.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "document.h"
#include "finished_run.h"
#include "loader.h"
#include "run.h"
#include "shown.h"

namespace qv {

class DeskRun {
  public:
    const RunState& state() const { return run_; }
    const MessageLines& messageLines() const { return messages_; }

    // A run begins, before the test window opens: question 1, Score 0, and no
    // answer until its test has loaded.
    void beginRun();
    // The chosen file read into the document, the test window and the message lines.
    void loadForRun(const std::string& fileName);
    // An answer button pressed: its points scored.
    AnswerOutcome answer(int button);
    // Result selection after the last answer; true when a range holds the Score.
    bool chooseResult();
    // The test window became the active window: a range found earlier is forgotten.
    void testWindowActivated();
    // What the result window shows: an empty line, then the chosen block.
    std::vector<std::string> resultLines() const;
    // Saves the chosen block; returns the name written.
    std::string saveResult(const std::string& chosenName);
    // The result window is left: the score goes back to 0.
    void leaveResult();

    // Told once per run as it ends, whatever the outcome, before the result
    // or error window appears and before a failure of result selection
    // is raised on.
    std::function<void(const FinishedRun&)> onRunFinished;

  private:
    friend class Session;
    friend struct SessionSetUp;  // tests and tools set up state directly
    class Destination;

    // What the run shares with the session: the document, the test window,
    // the editor's button-count text (the editor and the run agree on the
    // count), the loader and where changes are told.
    DeskRun(TestDocument& doc, TestWindowState& window, std::string& buttonCountText,
            TestLoader& loader, const std::function<void(unsigned)>& onChange)
        : doc_(doc),
          test_(window),
          buttonCountText_(buttonCountText),
          loader_(loader),
          onChange_(onChange) {}
    void changed(unsigned shown);
    void showTestQuestion(int q);
    void finishRun(RunOutcome outcome, std::int32_t total, std::string range);

    TestDocument& doc_;
    TestWindowState& test_;
    std::string& buttonCountText_;
    TestLoader& loader_;
    const std::function<void(unsigned)>& onChange_;
    MessageLines messages_;
    RunState run_;
    std::vector<int> pressedButtons_;
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
