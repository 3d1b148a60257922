// Writing files: the test being edited saved as a test file, the chosen
// result block as a result file, and lines or bytes saved as a test is.
#pragma once

#include <string>
#include <vector>

#include "document.h"
#include "run.h"
#include "save_lines.h"

namespace qv {

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

// Saves the chosen block under the chosen name (".txt" appended unless it
// ends in exactly ".txt"), one line per block line; returns the name written.
std::string saveResult(const std::string& chosenName, const RunState& run,
                       const MessageLines& messages);

}  // namespace qv
