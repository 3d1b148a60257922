// Writing text files as test and result files are written: lines, each
// ended by CR LF, saved so that a failure or a kill never loses what the file
// held. Every operation returns a result code of io_codes.h (0 for success)
// for the I/O check to turn into an EInOutError.
#pragma once

#include <cstddef>
#include <string>

#include "os_save.h"

namespace qv {

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
