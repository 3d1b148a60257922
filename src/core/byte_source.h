// Where the bytes of a test come from when it is read: the line reader pulls
// them block by block, so that a large file is never held whole. The desktop
// program reads files (file_source.h); the page's player reads the bytes it
// was handed, held in memory. Every operation returns a result code of
// io_codes.h (0 for success).
#pragma once

#include <cstdint>
#include <string_view>

namespace qv {

class ByteSource {
  public:
    virtual ~ByteSource() = default;
    // Makes the bytes ready to be read from their start; `size` is their
    // number.
    virtual int open(std::uint64_t& size) = 0;
    // The next block of bytes, valid until the next call or close(); an
    // empty block once all have been given.
    virtual int nextBlock(std::string_view& block) = 0;
    // Ends the reading.
    virtual int close() = 0;
};

// Bytes already in memory, given as one block; they must outlive the source.
class MemorySource : public ByteSource {
  public:
    explicit MemorySource(std::string_view bytes) : bytes_(bytes) {}

    int open(std::uint64_t& size) override;
    int nextBlock(std::string_view& block) override;
    int close() override;

  private:
    std::string_view bytes_;
    bool given_ = true;  // the bytes have been given since the last open()
};

}  // namespace qv
