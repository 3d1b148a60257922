#include "text_reader.h"

#include <cstring>

#include "io_codes.h"

namespace qv {

namespace {
constexpr char kEndOfFileByte = 0x1A;
}  // namespace

int TextReader::open(ByteSource& source) {
    close();
    const int rc = source.open(size_);
    if (rc != io::kOk) return rc;
    source_ = &source;
    block_ = {};
    pos_ = 0;
    ended_ = false;
    return io::kOk;
}

int TextReader::fill() {
    if (pos_ < block_.size() || ended_) return io::kOk;
    const int rc = source_->nextBlock(block_);
    if (rc != io::kOk) return rc;
    pos_ = 0;
    if (block_.empty()) ended_ = true;
    return io::kOk;
}

int TextReader::readLine(std::string& line) {
    line.clear();
    if (!isOpen()) return io::kReadNotOpen;
    for (;;) {
        if (int rc = fill(); rc != io::kOk) return rc;
        if (ended_) return io::kOk;
        const char* start = block_.data() + pos_;
        const std::size_t avail = block_.size() - pos_;
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
        if (!ended_ && block_[pos_] == '\n') ++pos_;
        return io::kOk;
    }
}

int TextReader::atEnd(bool& end) {
    end = true;
    if (!isOpen()) return io::kReadNotOpen;
    if (int rc = fill(); rc != io::kOk) return rc;
    if (!ended_ && block_[pos_] == kEndOfFileByte) ended_ = true;
    end = ended_;
    return io::kOk;
}

int TextReader::close() {
    if (!isOpen()) return io::kCloseNotOpen;
    const int rc = source_->close();
    source_ = nullptr;
    block_ = {};
    return rc;
}

}  // namespace qv
