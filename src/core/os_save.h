// Saving a file so that a failure or a kill never loses what it held: the
// bytes go to a temporary file renamed over the target, or into the target
// itself with its previous content kept aside (os_kept_copies.h). Every
// function that can fail returns a result code of io_codes.h (0 for success).
#pragma once

#include <sys/types.h>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "os_handle.h"

namespace qv::os {

// How a save puts its bytes in the target's place; beginWrite chooses.
// Only regular files are saved: a device or a pipe is refused as a load
// refuses one.
enum class SaveMethod {
    Replace,  // a temporary file beside the target, renamed over it when complete
    InPlace,  // the target itself, with its previous content kept aside until the end
};

// A file being written.
struct PendingWrite {
    SaveMethod method = SaveMethod::Replace;
    Handle handle = kNoHandle;  // where the bytes go
    // The target's folder, reached without the kernel following a link; the
    // target and the temporary file are named only relative to it.
    Handle folder = kNoHandle;
    // The target itself, opened once: it is locked against other writers and
    // readers, and copied, written and restored through this handle only.
    Handle target = kNoHandle;
    std::string targetPath;  // the file that is written (symbolic links followed)
    std::string tempPath;    // Replace: the temporary file's name, while it has one or is to get it
    bool tempNamed = false;  // the temporary file has that name on disk
    bool targetExisted = false;
    mode_t targetMode = 0;
    std::uint64_t written = 0;  // bytes written so far
    std::string copyPath;       // InPlace: the copy of the previous content
    std::uint64_t copySize = 0;
    Handle copyLock = kNoHandle;  // held while the copy belongs to a save in progress
    Handle record = kNoHandle;    // the copy's record, locked likewise
    std::uint64_t digest = 0;     // of the bytes written so far
    // Replace: the note in the copies folder that names the temporary file
    // before it has a name, so that a start after a kill removes it.
    std::string tempNotePath;
    Handle tempNote = kNoHandle;
    // InPlace: set when a failed write could not give the target its previous
    // content back; that content stays in this copy.
    std::string keptCopy;
};

int beginWrite(const std::string& path, PendingWrite& pending);
int writeAll(PendingWrite& pending, const char* data, std::size_t size);
// Writes the last bytes, makes all durable and puts them in the target's
// place. A save in place notes what the file is meant to hold before the
// last bytes go out, so that a kill after them is known to have cut nothing.
int commitWrite(PendingWrite& pending, const char* tail = nullptr, std::size_t tailSize = 0);
// Drops an unfinished write: the target keeps (or gets back) its previous content.
void abandonWrite(PendingWrite& pending);

// The steps of a save, in order, at which a test may act on the files (swap
// the target, end the process) to see that no step can be taken advantage of.
enum class SaveStep {
    TargetChecked,     // the target was looked at, and is about to be opened
    TemporaryNoted,    // the temporary file's name is noted, the file is not yet made
    TemporaryNamed,    // the written temporary file has its name beside the target
    RecordStarted,     // the copy's record exists, still empty
    CopyMade,          // the copy holds the previous content; the record names no file yet
    RecordMade,        // the record names the file; nothing is written in place yet
    MeantNoted,        // the record says what the file is meant to hold
    LastBytesWritten,  // everything is written in place, not yet cut to size
    CopyRemoved,       // the save is done and its copy gone; its record not yet
};
// Calls `hook` at every step of every save from now on (an empty one stops it).
void setSaveStepHook(std::function<void(SaveStep)> hook);

}  // namespace qv::os
