// Reading the lines of a test or result file from a byte source. Every
// operation returns a result code (0 for success) for the I/O check to turn
// into an EInOutError.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "byte_source.h"

namespace qv {

// Reads lines: a line ends at CR, and an LF right after that CR is skipped;
// a lone LF is an ordinary character. The byte 0x1A ends the file. Reading at
// or past the end gives an empty line and is no failure.
class TextReader {
  public:
    TextReader() = default;
    TextReader(const TextReader&) = delete;
    TextReader& operator=(const TextReader&) = delete;
    ~TextReader() = default;

    // Opens `source`, which must outlive the reading until close(); a reader
    // that goes while still open leaves the source to close itself.
    int open(ByteSource& source);
    int readLine(std::string& line);
    int atEnd(bool& end);
    int close();
    bool isOpen() const { return source_ != nullptr; }
    // The number of bytes the source held when it was opened.
    std::uint64_t size() const { return size_; }

  private:
    // Makes at least one unread byte available unless the bytes have ended.
    int fill();

    ByteSource* source_ = nullptr;
    std::uint64_t size_ = 0;
    std::string_view block_;
    std::size_t pos_ = 0;
    bool ended_ = false;  // the bytes' end or a 0x1A byte was reached
};

}  // namespace qv
