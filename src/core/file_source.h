// A file on disk as a byte source: opened as a test is opened (a regular
// file only, shared with other readers only) and read a block at a time.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "byte_source.h"
#include "os_handle.h"

namespace qv {

class FileSource : public ByteSource {
  public:
    explicit FileSource(std::string path) : path_(std::move(path)) {}
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;
    ~FileSource() override;

    int open(std::uint64_t& size) override;
    int nextBlock(std::string_view& block) override;
    int close() override;

  private:
    std::string path_;
    os::Handle handle_ = os::kNoHandle;
    std::vector<char> buffer_;
};

}  // namespace qv
