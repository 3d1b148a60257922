#include "os_errors.h"

#include <cerrno>

#include "io_cause.h"

namespace qv {

namespace {

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

IoCause causeOf(int err) {
    switch (err) {
        case ENOSPC:
            return IoCause::NoSpace;
        case EDQUOT:
            return IoCause::Quota;
        case EFBIG:
            return IoCause::FileTooLarge;
        case EIO:
            return IoCause::DeviceFault;
        case EXDEV:
            return IoCause::OtherFileSystem;
        default:
            return IoCause::Unknown;
    }
}
}  // namespace

int ioCodeFromErrno(int err) {
    const int code = codeOf(err);
    noteIoCause(code, causeOf(err));
    return code;
}

}  // namespace qv
