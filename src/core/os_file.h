// The operating-system calls behind the text files, kept in one place.
// Every function returns a result code of os_errors.h (0 for success).
#pragma once

#include <sys/types.h>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace qv::os {

using Handle = int;
inline constexpr Handle kNoHandle = -1;

// Opens an existing regular file for reading, shared with other readers
// only; anything else (a folder, a device, a pipe) is refused with code 5
// before a byte is read. `size` is the file's size when it was opened.
int openForReading(const std::string& path, Handle& handle, std::uint64_t& size);
// Reads up to `capacity` bytes; `got` is 0 at the end of the file.
int readSome(Handle handle, char* buffer, std::size_t capacity, std::size_t& got);
int closeHandle(Handle handle);
// All the bytes of an existing regular file, opened as openForReading opens
// it; a file larger than `limit` bytes is refused with code 5 (and `bytes`
// is empty after any failure).
int readWholeFile(const std::string& path, std::uint64_t limit, std::string& bytes);

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

// What became of a save written in place that left its copy behind.
enum class SaveOutcome {
    Interrupted,  // the file may be damaged: its previous content is in the copy
    Completed,    // the file holds what the save meant to write
    NotBegun,     // the file still holds its previous content (the copy is gone)
};

// A copy of a file's previous content that a save written in place left
// behind because the program ended before the save did, or because the
// content could not be put back.
struct InterruptedSave {
    std::string copyPath;    // where the previous content is
    std::string targetPath;  // the file it was the content of
    std::string recordPath;  // the note that ties the two together
    SaveOutcome outcome = SaveOutcome::Interrupted;
    bool isTest = true;  // the file was a test (".tst"), else a result or other text
};

// The folder for such copies: $XDG_CACHE_HOME/quorvane, else ~/.cache/quorvane
// (the home folder from the user database when HOME is not set).
std::string copiesFolder();
// Copies left behind by saves that did not end; a save still running in
// another process is not among them. Only regular files are opened, none in
// a way that can wait. Records without a copy and empty records are removed,
// and so is a copy identical to its file. The work is bounded: only the
// files of the first kCheckedSaves records are read, each only when its size
// could tell a finished save or an untouched file, and no more than
// kCheckedBytes in all; the others are listed as possibly damaged. Files on
// a share that does not answer can still hold it up: windows call it away
// from their own thread.
inline constexpr std::size_t kCheckedSaves = 50;
inline constexpr std::uint64_t kCheckedBytes = 256ULL << 20;
std::vector<InterruptedSave> interruptedSaves();
// Forgets a copy once the user has been told of it: the copy itself stays.
void forgetInterruptedSave(const InterruptedSave& save);

// Removes the hidden temporary files that saves cut short by a kill left
// beside their targets.
void removeLeftoverTemporaries();

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

// Whether two names name the same existing file.
bool sameFile(const std::string& a, const std::string& b);

// What tells one state of a file on disk from another.
struct FileIdentity {
    bool exists = false;
    bool isLink = false;  // the name itself is a symbolic link
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t size = 0;
    std::int64_t modifiedSeconds = 0;
    std::int64_t modifiedNanoseconds = 0;
    // The change time moves with every write and cannot be put back by a
    // program, unlike the modification time.
    std::int64_t changedSeconds = 0;
    std::int64_t changedNanoseconds = 0;
    // Of the content, for files up to kDigestedSize: a file system whose
    // times are coarse may show a rewrite of the same size with no new time.
    std::uint64_t contentDigest = 0;
    bool operator==(const FileIdentity&) const = default;
};
inline constexpr std::uint64_t kDigestedSize = 4ULL << 20;
// The identity of the file a name leads to (links followed).
FileIdentity identityOf(const std::string& path);

// A write to a pipe whose reader has gone, or past the file size limit,
// fails with an error instead of ending the program.
void keepRunningOnWriteFailures();
// Whether anything exists under the name (a dangling link counts).
bool fileExists(const std::string& name);

// Gives memory that the program no longer uses back to the system.
void releaseFreeMemory();

}  // namespace qv::os
