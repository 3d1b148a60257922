// One person's run of a test, from its first question to its outcome: the
// flow the test window, the result window and the error window show, with
// every rule and text of it, apart from any window. A run is a plain value:
// the test it answers is shared, read-only, by every run of it, so that a
// page holds one run and a server one per person taking the test.
//
// Texts are Windows-1251 bytes, as in the files.
#pragma once

#include <array>
#include <cstdint>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "byte_source.h"
#include "checker.h"
#include "document.h"
#include "loader.h"
#include "run.h"

namespace qv {

// A test read for runs: what every run of it shares and none changes.
struct RunTest {
    TestDocument document;
    // The test window as the test opens: its first question up. A test the
    // run refuses leaves what was read before the refusal, buttons disabled.
    TestWindowState window;
    MessageLines messages;
    std::optional<std::string> refusal;  // why no run of it can begin: the failure box's text
};

// Fills a RunTest as the loader reads its file: the test window as the test
// opens, and the message lines. The desktop's run, which tells its windows
// of each part as it is read, builds on it.
class RunTestFill : public LoadDestination {
  public:
    explicit RunTestFill(RunTest& test) : test_(test) {}

    void buttonCountRead(const std::string& /*text*/) override {}
    void titleRead(const std::string& title, const std::string& author,
                   const std::string& windowCaption) override;
    void buttonsRead(const LineFields& captions) override { test_.window.captions = captions; }
    void messagesBegin() override { test_.messages.clear(); }
    void messageRead(std::string& line) override { test_.messages.take(line); }
    void loadFinished() override;

  protected:
    RunTest& test_;
};

// Reads the test in `source` as a run reads it (a test file by its name:
// file_loading.h).
std::shared_ptr<const RunTest> readRunTest(ByteSource& source);
// The same for a test given as its bytes.
std::shared_ptr<const RunTest> readRunTest(std::string_view bytes);

// The failure box's text for a failure: the message with its full stop.
std::string failureText(const std::exception_ptr& failure);

// The error window's texts for a total no range holds: its title, its
// button, and its message as its labels break it over lines, mid-word in
// places: the heading first, then the sentence on the total, whose third
// line is the total itself.
struct NoRangeWindow {
    std::string title;
    std::string button;
    std::array<std::string, 9> lines;
};
NoRangeWindow noRangeWindow(std::int32_t total);

// The error window's message as one sentence, as a screen reader hears it:
// its lines joined, a word broken with "-" at a line's end made whole.
std::string noRangeExplanation(std::int32_t total);

class TakerRun {
  public:
    enum class Phase {
        Question,  // a question is up, waiting for a press
        Result,    // a range held the total: its block is the outcome
        NoRange,   // no range held the total: the explanation is the outcome
        Refused,   // the test could not be opened: the refusal is the outcome
    };
    // A box over the test window that takes no press until it is acknowledged.
    struct Notice {
        std::string caption;  // the failure box's, or the error window's title
        std::string text;
        std::string button;          // "OK" of the failure box, "Хорошо" of the error window
        std::exception_ptr failure;  // what failed, for a failure box
    };
    struct Outcome {
        std::vector<std::string> lines;  // the chosen block
        std::string rangeLine;           // the range line that chose it
        std::string explanation;         // why there is no result, or the refusal
    };
    // What a press did: the question it scored (0 when it scored nothing) and its button.
    struct Press {
        int question = 0;
        int button = 0;
    };

    explicit TakerRun(std::shared_ptr<const RunTest> test);

    const RunTest& test() const { return *test_; }
    Phase phase() const { return phase_; }
    // The question up: 1..count; the last one once it has been answered.
    int question() const { return question_; }
    // What the test window shows now; its buttons are enabled while no box is up.
    const TestWindowState& window() const { return window_; }
    const std::optional<Notice>& notice() const { return notice_; }
    // The score when the last question was answered, before result selection.
    std::int32_t total() const { return total_; }
    const Outcome& outcome() const { return outcome_; }
    // The buttons that scored, in turn.
    const std::vector<int>& presses() const { return presses_; }

    // Answer button `button` (1..6) pressed. A press is taken only on a
    // question, with no box up, on a button the test shows; a press that
    // fails leaves the run where it was, with the failure's box up. After a
    // result selection that failed, a press answers the last question again.
    Press answer(int button);
    // The box's button: the test window takes presses again.
    void acknowledge();
    // The presses of an earlier visit to this run, answered again in turn:
    // the run goes on where it was left. It stops at a box; the error
    // window's box of an outcome reached then is not shown again, as the
    // person has seen it.
    void resume(const std::vector<int>& presses);
    // A new run of the test by the same person, from the test as it is now
    // (the desktop reads its one test again before each run). As on the
    // desktop, the bounds of the range line read last carry over into its
    // result selection.
    void restart();

    // The lowest and highest total a run can reach, as the check finds them
    // (a walk over every question: keep what it gives).
    std::optional<TotalsRange> reachableTotals() const;

  private:
    // The desktop's run keeps two rules of its windows over the same state:
    // activating the test window forgets a range found, and leaving the
    // result window sets the Score to 0.
    friend class DeskRun;

    void fail(const std::exception_ptr& failure);
    void selectResult();

    std::shared_ptr<const RunTest> test_;
    Phase phase_ = Phase::Question;
    int question_ = 1;
    TestWindowState window_;
    std::optional<Notice> notice_;
    RunState state_;
    std::int32_t total_ = 0;
    Outcome outcome_;
    std::vector<int> presses_;
};

// What a learning platform is told of a run that has ended: the total's
// place between the lowest and the highest total a run can reach, in whole
// per cent (halves up), so that every test is graded on the same 0..100,
// and the total in words a teacher reads.
struct PlatformScore {
    std::int64_t total = 0;
    std::optional<std::int64_t> raw;
    std::optional<TotalsRange> reachable;
    std::string comment;
};
PlatformScore platformScore(const TakerRun& run, const std::optional<TotalsRange>& reachable);

}  // namespace qv
