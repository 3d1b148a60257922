// Reading files and telling them apart: the operating-system calls behind
// loading a test, its bytes read whole, and what shows that a file changed on
// disk. Saving is in os_save.h, the copies a save keeps in os_kept_copies.h,
// the signals a write may raise in os_signals.h. Every function that can fail
// returns a result code of io_codes.h (0 for success).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "os_handle.h"

namespace qv::os {

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

// Whether anything exists under the name (a dangling link counts).
bool fileExists(const std::string& name);

// Gives memory that the program no longer uses back to the system, as
// after reading a large file.
void releaseFreeMemory();

}  // namespace qv::os
