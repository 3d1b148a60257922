// Why a result code was given, where one code stands for several causes (a
// full disk, a quota and a size limit are all 112; a device failure and
// another file system are both 31): the part that gives a code notes its
// cause, and the message of that code names it.
#pragma once

namespace qv {

enum class IoCause {
    Unknown,
    NoSpace,          // the disk is full
    Quota,            // the user's disk quota is used up
    FileTooLarge,     // the file would pass the largest size allowed
    DeviceFault,      // the device reported an input/output error
    OtherFileSystem,  // the file is on another file system than its folder
};

// Notes, on this thread, that `code` was just given for `cause`.
void noteIoCause(int code, IoCause cause);

// The cause noted last on this thread, if it was noted for `code`; Unknown
// otherwise (and always for code 0).
IoCause causeOfCode(int code);

}  // namespace qv
