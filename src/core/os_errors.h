// Result codes of the text-file layer, and the one place where the operating
// system's error numbers are turned into them.
#pragma once

namespace qv {

namespace io {
inline constexpr int kOk = 0;
inline constexpr int kFileNotFound = 2;
inline constexpr int kPathNotFound = 3;  // shown as "Invalid filename"
inline constexpr int kTooManyOpenFiles = 4;
inline constexpr int kAccessDenied = 5;
inline constexpr int kGeneralFailure = 31;
inline constexpr int kSharingViolation = 32;
inline constexpr int kDiskFull = 112;
inline constexpr int kInvalidName = 123;
inline constexpr int kCloseNotOpen = 103;  // close of a file that is not open
inline constexpr int kReadNotOpen = 104;   // read or end-of-file test of a file that is not open
inline constexpr int kWriteNotOpen = 105;  // write to a file that is not open
// A test that must be written in place, when no copy of its previous
// content can be kept aside first; the program's own code, no system's.
inline constexpr int kNoSafeCopy = 1001;
// A save that would leave a temporary file beside its target with no note of
// it where the next start looks, because the copies folder cannot be written.
inline constexpr int kNoNote = 1002;
}  // namespace io

// Maps an errno value to a result code. A missing file and a missing folder
// both arrive as ENOENT; the caller, knowing the path, tells them apart.
// The errno value is kept, on this thread, as the cause of that code.
int ioCodeFromErrno(int err);

// The errno value behind the last code that ioCodeFromErrno gave on this
// thread, if that code is `code`; 0 otherwise. Several causes share one code
// (a full disk, a quota and a size limit are all 112; a device failure and
// another file system are both 31), and the message can name the one it was.
int causeOfCode(int code);

}  // namespace qv
