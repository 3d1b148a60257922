#include "file_source.h"

#include "io_codes.h"
#include "os_file.h"

namespace qv {

namespace {
constexpr std::size_t kBlockSize = 64 * 1024;
}  // namespace

FileSource::~FileSource() {
    close();
}

int FileSource::open(std::uint64_t& size) {
    close();
    const int rc = os::openForReading(path_, handle_, size);
    if (rc != io::kOk) return rc;
    buffer_.resize(kBlockSize);
    return io::kOk;
}

int FileSource::nextBlock(std::string_view& block) {
    block = {};
    if (handle_ == os::kNoHandle) return io::kReadNotOpen;
    std::size_t got = 0;
    const int rc = os::readSome(handle_, buffer_.data(), buffer_.size(), got);
    if (rc != io::kOk) return rc;
    block = std::string_view(buffer_.data(), got);
    return io::kOk;
}

int FileSource::close() {
    if (handle_ == os::kNoHandle) return io::kCloseNotOpen;
    const int rc = os::closeHandle(handle_);
    handle_ = os::kNoHandle;
    // A buffer that served a large file is given back with it.
    buffer_.clear();
    buffer_.shrink_to_fit();
    return rc;
}

}  // namespace qv
