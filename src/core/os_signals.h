// The signals a write may raise, turned into failures the program reports.
#pragma once

namespace qv::os {

// A write to a pipe whose reader has gone, or past the file size limit,
// fails with an error instead of ending the program.
void keepRunningOnWriteFailures();

}  // namespace qv::os
