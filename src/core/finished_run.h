// A run as it ended, as the results journal records it: what a run hands
// over and a store keeps. Texts are Windows-1251.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qv {

enum class RunOutcome : int {
    Result = 1,   // a range held the total: the result window
    NoRange = 2,  // no range held it: the error window
    Failure = 3,  // result selection failed (a bound that is not a number)
};

struct FinishedRun {
    std::string fileName;  // as the run was started with
    std::string title;
    std::vector<int> pressedButtons;  // the button that scored each question, in turn
    std::int32_t total = 0;           // before result selection sets the Score to 0
    RunOutcome outcome = RunOutcome::Result;
    std::string range;       // the chosen range line, or the failure's message
    std::string resultLine;  // the first line of the chosen block
};

}  // namespace qv
