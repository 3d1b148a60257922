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
enum class SaveMethod {
    Replace,  // a temporary file beside the target, renamed over it when complete
    InPlace,  // the target itself, with its previous content kept aside until the end
    Direct,   // a device or a pipe, written as it is
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
};

int beginWrite(const std::string& path, PendingWrite& pending);
int writeAll(PendingWrite& pending, const char* data, std::size_t size);
// Makes the written bytes durable and puts them in the target's place.
int commitWrite(PendingWrite& pending);
// Drops an unfinished write: the target keeps (or gets back) its previous content.
void abandonWrite(PendingWrite& pending);

// A copy of a test's previous content that a save written in place left
// behind because the program ended before the save did.
struct InterruptedSave {
    std::string copyPath;    // where the previous content is
    std::string targetPath;  // the file it was the content of
    std::string recordPath;  // the note that ties the two together
};

// The folder for such copies: $XDG_CACHE_HOME/quorvane, else ~/.cache/quorvane.
std::string copiesFolder();
// Copies left behind by saves that did not end; a save still running in
// another process is not among them.
std::vector<InterruptedSave> interruptedSaves();
// Forgets a copy once the user has been told of it: the copy itself stays.
void forgetInterruptedSave(const InterruptedSave& save);

// Whether two names name the same existing file.
bool sameFile(const std::string& a, const std::string& b);

// Gives memory that the program no longer uses back to the system.
void releaseFreeMemory();

}  // namespace qv::os
