// The lines of a test file as a save writes them, from the test being edited.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "document.h"

namespace qv {

// What the editor's controls hold at the moment of saving.
struct TestHeader {
    std::string buttonCountText;  // written unchanged into the Info line
    std::string title;
    std::string author;
    std::string windowCaption;
    std::array<std::string, kMaxButtons> captions;
};

// The number of questions a save writes: an empty last question is left out.
std::int32_t questionsToSave(const TestDocument& doc);

// The lines of the file, in the order of the format, without line ends.
// `messageLines` are the result-message lines as the editor shows them;
// empty ones are left out.
std::vector<std::string> testFileLines(const TestDocument& doc, std::int32_t questionCount,
                                       int buttons, const TestHeader& header,
                                       const std::vector<std::string>& messageLines);

}  // namespace qv
