#include "text_file.h"

#include <algorithm>
#include <cstring>

#include "os_errors.h"

namespace qv {

namespace {
constexpr std::size_t kReadChunk = 64 * 1024;
constexpr char kEndOfFileByte = 0x1A;
}  // namespace

TextReader::~TextReader() {
    close();
}

int TextReader::open(const std::string& path) {
    close();
    const int rc = os::openForReading(path, handle_, size_);
    if (rc != io::kOk) return rc;
    buffer_.resize(kReadChunk);
    pos_ = end_ = 0;
    ended_ = false;
    return io::kOk;
}

int TextReader::fill() {
    if (pos_ < end_ || ended_) return io::kOk;
    std::size_t got = 0;
    const int rc = os::readSome(handle_, buffer_.data(), buffer_.size(), got);
    if (rc != io::kOk) return rc;
    pos_ = 0;
    end_ = got;
    if (got == 0) ended_ = true;
    return io::kOk;
}

int TextReader::readLine(std::string& line) {
    line.clear();
    if (!isOpen()) return io::kReadNotOpen;
    for (;;) {
        if (int rc = fill(); rc != io::kOk) return rc;
        if (ended_) return io::kOk;
        const char* start = buffer_.data() + pos_;
        const std::size_t avail = end_ - pos_;
        const char* cr = static_cast<const char*>(std::memchr(start, '\r', avail));
        const std::size_t span = cr ? static_cast<std::size_t>(cr - start) : avail;
        if (const void* sub = std::memchr(start, kEndOfFileByte, span)) {
            line.append(start, static_cast<const char*>(sub));
            ended_ = true;
            return io::kOk;
        }
        line.append(start, span);
        pos_ += span;
        if (!cr) continue;
        ++pos_;  // the CR
        if (int rc = fill(); rc != io::kOk) return rc;
        if (!ended_ && buffer_[pos_] == '\n') ++pos_;
        return io::kOk;
    }
}

int TextReader::atEnd(bool& end) {
    end = true;
    if (!isOpen()) return io::kReadNotOpen;
    if (int rc = fill(); rc != io::kOk) return rc;
    if (!ended_ && buffer_[pos_] == kEndOfFileByte) ended_ = true;
    end = ended_;
    return io::kOk;
}

int TextReader::close() {
    if (!isOpen()) return io::kCloseNotOpen;
    const int rc = os::closeHandle(handle_);
    handle_ = os::kNoHandle;
    buffer_.clear();
    buffer_.shrink_to_fit();
    return rc;
}

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
