// The one place where the operating system's error numbers are turned into
// the result codes of io_codes.h.
#pragma once

#include "io_codes.h"

namespace qv {

// Maps an errno value to a result code. A missing file and a missing folder
// both arrive as ENOENT; the caller, knowing the path, tells them apart.
// The cause of that code is noted on this thread (io_cause.h), so that its
// message can name the one it was.
int ioCodeFromErrno(int err);

}  // namespace qv
