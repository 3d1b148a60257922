// The operating-system calls behind the text files, kept in one place.
// Every function returns a result code of os_errors.h (0 for success).
#pragma once

#include <cstddef>
#include <string>
#include <sys/types.h>

namespace qv::os {

using Handle = int;
inline constexpr Handle kNoHandle = -1;

// Opens an existing file for reading, shared with other readers only.
int openForReading(const std::string& path, Handle& handle);
// Reads up to `capacity` bytes; `got` is 0 at the end of the file.
int readSome(Handle handle, char* buffer, std::size_t capacity, std::size_t& got);
int closeHandle(Handle handle);

// A file being written. Normally the bytes go to a temporary file beside the
// target, which replaces the target only when everything has succeeded, so a
// failed save never destroys the file it was replacing.
struct PendingWrite {
    Handle handle = kNoHandle;
    Handle lock = kNoHandle;   // keeps other writers and readers out of the target
    std::string targetPath;    // the file that is replaced (symbolic links resolved)
    std::string tempPath;      // empty when writing in place
    bool targetExisted = false;
    mode_t targetMode = 0;
    uid_t targetOwner = 0;
    gid_t targetGroup = 0;
};

int beginWrite(const std::string& path, PendingWrite& pending);
int writeAll(const PendingWrite& pending, const char* data, std::size_t size);
// Makes the written bytes durable and puts them in the target's place.
int commitWrite(PendingWrite& pending);
// Drops an unfinished write: the temporary file goes, the target stays as it was.
void abandonWrite(PendingWrite& pending);

}  // namespace qv::os
