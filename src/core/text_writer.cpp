#include "text_writer.h"

#include <algorithm>

#include "io_codes.h"

namespace qv {

TextWriter::~TextWriter() {
    if (open_) os::abandonWrite(pending_);
}

int TextWriter::create(const std::string& path) {
    if (open_) os::abandonWrite(pending_);
    open_ = false;
    failure_ = 0;
    buffer_.clear();
    const int rc = os::beginWrite(path, pending_);
    if (rc != io::kOk) return rc;
    open_ = true;
    buffer_.reserve(kBufferSize);
    return io::kOk;
}

int TextWriter::put(const char* data, std::size_t size) {
    while (size > 0) {
        const std::size_t take = std::min(size, kBufferSize - buffer_.size());
        buffer_.append(data, take);
        data += take;
        size -= take;
        if (buffer_.size() == kBufferSize) {
            const int rc = os::writeAll(pending_, buffer_.data(), buffer_.size());
            buffer_.clear();
            if (rc != io::kOk) return rc;
        }
    }
    return io::kOk;
}

int TextWriter::writeLine(const std::string& line) {
    if (!open_) return io::kWriteNotOpen;
    if (failure_ != io::kOk) return failure_;
    int rc = put(line.data(), line.size());
    if (rc == io::kOk) rc = put("\r\n", 2);
    failure_ = rc;
    return rc;
}

int TextWriter::write(const std::string& bytes) {
    if (!open_) return io::kWriteNotOpen;
    if (failure_ != io::kOk) return failure_;
    failure_ = put(bytes.data(), bytes.size());
    return failure_;
}

int TextWriter::close() {
    if (!open_) return io::kCloseNotOpen;
    open_ = false;
    const int rc = failure_;
    if (rc != io::kOk) {
        buffer_.clear();
        os::abandonWrite(pending_);
        return rc;
    }
    // The last bytes go out with the commit, which notes first what they complete.
    const std::string tail = std::move(buffer_);
    buffer_.clear();
    return os::commitWrite(pending_, tail.data(), tail.size());
}

}  // namespace qv
