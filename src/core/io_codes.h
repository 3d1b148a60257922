// Result codes of reading and writing files: 0 for success, the others as
// the error box reports them (errors.h gives their messages).
#pragma once

namespace qv::io {

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

}  // namespace qv::io
