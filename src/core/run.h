// Taking a test: what the test window shows, scoring the answers and
// choosing the result message for the total. A run's flow over these rules
// is a TakerRun (taker_run.h), the one the page, the classroom server and the
// desktop program's run (desk_run.h) all take.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "document.h"

namespace qv {

// The test window as the person taking the test, or the author previewing
// it, sees it. Before a test is loaded into it, it shows its placeholders.
struct TestWindowState {
    TestWindowState();

    std::string title;
    std::string authorLine;
    std::string caption;
    std::array<std::string, kMaxButtons> captions;
    int shownButtons = 2;  // buttons and variant texts 2..6 up to this one are shown
    bool buttonsEnabled = true;
    std::string question;
    std::array<std::string, kMaxButtons> variants;
};

// The buttons a run shows for the button count of a test's Info line:
// that count when it is 1..6, else 2.
int shownButtonCount(std::int32_t buttonCount);

// Question q of the document in the test window: its text and variants.
void showQuestion(TestWindowState& window, const TestDocument& doc, int q);

// A run refuses a test without questions: raises the Exception that says so.
void requireQuestions(const TestDocument& doc);

struct RunState {
    std::int32_t rangeLow = 0;  // bounds of the last range line parsed; never reset
    std::int32_t rangeHigh = 0;
    std::string currentMessageLine;
    std::int32_t messageCursor = 0;
    bool rangeFound = false;
    std::int32_t pressedButton = 0;
    std::int32_t score = 0;
    std::int32_t resultFirst = 0;  // the chosen block, as MessageLines indexes
    std::int32_t resultLast = 0;   // resultFirst - 1 for an empty block
};

// A line of the message section that starts with "=", and one that starts
// with "$", which ends the scan for a range.
bool isRangeLine(const std::string& line);
bool isEndMarker(const std::string& line);

// A range line as result selection reads it: at each "-" after the "=", the
// text before it is the low bound and at most four characters after it the
// high bound; the last "-" wins, and the first text that is not a whole
// number ends the reading. A line without "-" gives no bounds at all.
struct RangeBounds {
    std::optional<std::int32_t> low;  // the last bounds converted
    std::optional<std::int32_t> high;
    std::optional<std::string> failing;  // the text that ended the reading
};
RangeBounds readRangeBounds(const std::string& line);

enum class AnswerOutcome { NextQuestion, LastAnswered };

// The score after a press of answer button `button` on question q: its
// points text converted (EConvertError when it is not a whole number) and
// added. A sum outside the 32-bit range raises an Exception.
std::int32_t scorePress(const TestDocument& doc, int q, int button, std::int32_t score);

// Scores a press of answer button `button` on the current question: its
// points text is converted (EConvertError when it is not a whole number) and
// added to the score. A sum outside the 32-bit range raises an Exception and
// changes nothing. Moves to the next question unless this was the last one.
AnswerOutcome answerQuestion(TestDocument& doc, RunState& run, int button);

// Result selection over the message lines: the first range line ("=X-Y")
// before the first end marker ("$") whose range holds the score chooses the
// block of lines after it. On a match rangeFound is true, the score 0, and
// resultFirst/resultLast describe the block. Raises EConvertError for a bound
// that is not a whole number, leaving the score as it was.
bool chooseResult(RunState& run, const MessageLines& messages);

// What the result window shows: an empty line, then the chosen block.
std::vector<std::string> resultMemoLines(const RunState& run, const MessageLines& messages);

}  // namespace qv
