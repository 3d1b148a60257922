// Writing the test being edited as a test file.
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

// Saves the test under the name chosen in the save dialog (".tst" appended
// unless the name ends in exactly ".tst") and returns the name written. The
// button count is converted before any file is touched; a failed write
// leaves an existing file of that name as it was.
std::string saveTest(const std::string& chosenName, const TestDocument& doc,
                     const TestHeader& header, const std::vector<std::string>& messageLines);

// Writes lines to a file, each ended by CR LF, with the I/O check after
// every step.
void writeLines(const std::string& fileName, const std::vector<std::string>& lines);
// Writes the bytes as they are, saved as a test is: the file is replaced
// only once all of them are written.
void writeBytes(const std::string& fileName, const std::string& bytes);

}  // namespace qv
