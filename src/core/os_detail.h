// What the files behind os_file.h, os_save.h and os_kept_copies.h share among themselves; nothing
// else includes it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "file_names.h"
#include "os_handle.h"
#include "os_save.h"

namespace qv::os::detail {

void closeQuietly(Handle& handle);
// These return an errno value, 0 on success.
int writeFully(Handle handle, const char* data, std::size_t size);
int copyContent(Handle from, Handle to);  // from `from`'s start to `to`'s offset
int makeFolders(const std::string& folder);
bool syncFolder(const std::string& folder);
bool syncFolder(Handle folder);  // an O_PATH handle will do

// These return a result code of io_codes.h, in os_paths.cpp.
// Opens a folder as an O_PATH handle one part of its path at a time, so that
// the kernel follows no link: the walk follows each link itself, unless it is
// someone else's in a sticky folder that everyone may write.
int openFolder(const std::string& path, Handle& folder);
// Follows the links of a save's name by the same rule to the file written:
// a link to nothing gets the file it names. `folder` is that file's folder.
int resolveTarget(const std::string& path, std::string& target, Handle& folder);
void reachStep(SaveStep step);

// Opens an existing regular file (read-only unless `flags` say otherwise)
// in a way that cannot wait on a pipe or a device; kNoHandle for anything
// else. Without `followLinks` a symbolic link is not opened either.
Handle openRegularFile(const std::string& path, int flags, bool followLinks);

// How a save's temporary file beside its target begins; the next start
// removes those a kill left behind by this name.
inline constexpr char kTemporaryPrefix[] = ".quorvane-";

// A 64-bit FNV-1a digest of bytes, continued from `digest`; a digest begins
// at kDigestStart.
inline constexpr std::uint64_t kDigestStart = 14695981039346656037ULL;
std::uint64_t digestOf(std::uint64_t digest, const char* data, std::size_t size);

// The copies of previous content, in kept_copies.cpp.
int keepPreviousContent(PendingWrite& pending);  // a result code
// Notes in the copy's record what the save is about to leave in the file.
void noteMeantContent(const PendingWrite& pending, std::uint64_t size, std::uint64_t digest);
void discardCopy(PendingWrite& pending);
// Notes a temporary file's name before the file gets it, with the file's
// identity once it has one (the file may later be given to another owner),
// and forgets it once the name is gone again. Returns an errno value: when
// no note could be made, the temporary file must never get a name.
int noteTemporary(PendingWrite& pending, const std::string& tempPath);
void forgetTemporary(PendingWrite& pending);

}  // namespace qv::os::detail
