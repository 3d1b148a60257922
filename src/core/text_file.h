// Line-based text files as test and result files use them. Every operation
// returns a result code (0 for success) for the I/O check to turn into an
// EInOutError.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "os_file.h"
#include "os_save.h"

namespace qv {

// Reads lines: a line ends at CR, and an LF right after that CR is skipped;
// a lone LF is an ordinary character. The byte 0x1A ends the file. Reading at
// or past the end gives an empty line and is no failure.
class TextReader {
  public:
    TextReader() = default;
    TextReader(const TextReader&) = delete;
    TextReader& operator=(const TextReader&) = delete;
    ~TextReader();

    int open(const std::string& path);
    int readLine(std::string& line);
    int atEnd(bool& end);
    int close();
    bool isOpen() const { return handle_ != os::kNoHandle; }
    // The size of the file when it was opened.
    std::uint64_t size() const { return size_; }

  private:
    // Makes at least one unread byte available unless the file has ended.
    int fill();

    os::Handle handle_ = os::kNoHandle;
    std::uint64_t size_ = 0;
    std::vector<char> buffer_;
    std::size_t pos_ = 0;
    std::size_t end_ = 0;
    bool ended_ = false;  // the file's end or a 0x1A byte was reached
};

// Writes lines, each followed by CR LF. Output is collected in a 128-byte
// buffer; a write failure is reported by the line that hands the buffer over
// or by close(). The target is replaced only by a close() that succeeds, and
// after a failed write no close() succeeds: the later lines and the close
// report that failure again. A writer destroyed without a successful close()
// leaves the target as it was.
class TextWriter {
  public:
    static constexpr std::size_t kBufferSize = 128;

    TextWriter() = default;
    TextWriter(const TextWriter&) = delete;
    TextWriter& operator=(const TextWriter&) = delete;
    ~TextWriter();

    int create(const std::string& path);
    int writeLine(const std::string& line);
    // The bytes as they are, with no line end added.
    int write(const std::string& bytes);
    int close();
    bool isOpen() const { return open_; }
    // After a failed close(): the copy that holds the file's previous content
    // when that content could not be put back, else empty.
    const std::string& keptCopy() const { return pending_.keptCopy; }
    // The file the bytes go to (symbolic links followed).
    const std::string& targetPath() const { return pending_.targetPath; }

  private:
    int put(const char* data, std::size_t size);

    os::PendingWrite pending_;
    bool open_ = false;
    int failure_ = 0;  // the code of the first failed write since create()
    std::string buffer_;
};

}  // namespace qv
