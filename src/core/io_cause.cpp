#include "io_cause.h"

namespace qv {

namespace {
thread_local int lastCode = 0;
thread_local IoCause lastCause = IoCause::Unknown;
}  // namespace

void noteIoCause(int code, IoCause cause) {
    lastCode = code;
    lastCause = cause;
}

IoCause causeOfCode(int code) {
    return code != 0 && code == lastCode ? lastCause : IoCause::Unknown;
}

}  // namespace qv
