// A test read from its file on disk: the desktop program's way to the
// loader, to a run's reading of a test and to the check, by the file's name.
#pragma once

#include <memory>
#include <string>

#include "checker.h"
#include "document.h"
#include "loader.h"
#include "taker_run.h"

namespace qv {

// Reads the test file at `path` with `loader`, as TestLoader::load reads a
// source; a file that cannot be opened raises its EInOutError before
// anything is stored.
void loadTestFile(TestLoader& loader, const std::string& path, TestDocument& doc,
                  LoadDestination& destination);

// Reads the test file at `path` as a run reads it.
std::shared_ptr<const RunTest> readRunTest(const std::string& path);

// Reads the test file at `path` as a run would and reports its problems.
// Raises EInOutError when the file cannot be read; a file that a run
// refuses (a bad Info line, say) is reported as a problem.
CheckReport checkTest(const std::string& path);

}  // namespace qv
