// The operating-system calls behind the text files, kept in one place.
// Every function returns a result code of os_errors.h (0 for success).
#pragma once

#include <sys/types.h>
#include <cstddef>
#include <cstdint>
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
    Handle handle = kNoHandle;
    Handle lock = kNoHandle;  // keeps other writers and readers out of the target
    std::string targetPath;   // the file that is written (symbolic links followed)
    std::string tempPath;     // Replace: the named temporary file; empty while it has no name
    bool targetExisted = false;
    mode_t targetMode = 0;
    std::uint64_t written = 0;  // InPlace: bytes written so far
    std::string copyPath;       // InPlace: the copy of the previous content
    std::uint64_t copySize = 0;
    Handle copyLock = kNoHandle;  // held while the copy belongs to a save in progress
    std::uint64_t digest = 0;     // of the bytes written so far
    // Replace: the note in the copies folder that names the temporary file
    // while it has a name, so that a start after a kill removes it.
    std::string tempNotePath;
    Handle tempNote = kNoHandle;
    // InPlace: set when a failed write could not give the target its previous
    // content back; that content stays in this copy.
    std::string keptCopy;
};

int beginWrite(const std::string& path, PendingWrite& pending);
int writeAll(PendingWrite& pending, const char* data, std::size_t size);
// Makes the written bytes durable and puts them in the target's place.
int commitWrite(PendingWrite& pending);
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

// The folder for such copies: $XDG_CACHE_HOME/quorvane, else ~/.cache/quorvane.
std::string copiesFolder();
// Copies left behind by saves that did not end; a save still running in
// another process is not among them. Only regular files are opened, none in
// a way that can wait. Records without a copy and empty records are removed,
// and so is a copy identical to its file.
std::vector<InterruptedSave> interruptedSaves();
// Forgets a copy once the user has been told of it: the copy itself stays.
void forgetInterruptedSave(const InterruptedSave& save);

// Removes the hidden temporary files that saves cut short by a kill left
// beside their targets.
void removeLeftoverTemporaries();

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
    bool operator==(const FileIdentity&) const = default;
};
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
