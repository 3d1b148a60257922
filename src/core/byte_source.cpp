#include "byte_source.h"

#include "io_codes.h"

namespace qv {

int MemorySource::open(std::uint64_t& size) {
    size = bytes_.size();
    given_ = false;
    return io::kOk;
}

int MemorySource::nextBlock(std::string_view& block) {
    block = given_ ? std::string_view() : bytes_;
    given_ = true;
    return io::kOk;
}

int MemorySource::close() {
    given_ = true;
    return io::kOk;
}

}  // namespace qv
