// A saved test read back with the loader and compared with what was meant
// to be saved, so that the author learns at once of anything the file did
// not keep as the editor holds it.
#pragma once

#include <string>
#include <vector>

#include "document.h"
#include "save_lines.h"

namespace qv {

// The differences between the test file `fileName` and the test that was
// saved into it (`doc` with `header` and the message lines as written),
// each naming the field and the question in the author's words
// (Windows-1251). Empty when the file gives back exactly what was saved.
std::vector<std::string> readBackDifferences(const std::string& fileName, const TestDocument& doc,
                                             const TestHeader& header,
                                             const std::vector<std::string>& messageLines);

}  // namespace qv
