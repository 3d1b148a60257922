#include "os_errors.h"

#include <cerrno>

namespace qv {

namespace {
thread_local int lastCode = 0;
thread_local int lastCause = 0;

int codeOf(int err) {
    switch (err) {
        case 0:
            return io::kOk;
        case ENOENT:
            return io::kFileNotFound;
        case ENOTDIR:
            return io::kPathNotFound;
        case EMFILE:
        case ENFILE:
            return io::kTooManyOpenFiles;
        case EACCES:
        case EPERM:
        case EISDIR:
        case EROFS:
            return io::kAccessDenied;
        case EWOULDBLOCK:
        case EBUSY:
        case ETXTBSY:
            return io::kSharingViolation;
        case ENOSPC:
        case EDQUOT:
        case EFBIG:
            return io::kDiskFull;
        case ENAMETOOLONG:
        case EILSEQ:
        case EINVAL:
        case ELOOP:
            return io::kInvalidName;
        default:
            return io::kGeneralFailure;
    }
}
}  // namespace

int ioCodeFromErrno(int err) {
    lastCode = codeOf(err);
    lastCause = err;
    return lastCode;
}

int causeOfCode(int code) {
    return code != 0 && code == lastCode ? lastCause : 0;
}

}  // namespace qv
