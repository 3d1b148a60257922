// The SHA-256 digest, which names a test's bytes in the results journal and
// a page's script and style in its security policy.
#pragma once

#include <string>

namespace qv {

// The 32 bytes of the digest of `bytes`; raises Exception if it cannot be made.
std::string sha256(const std::string& bytes);
// The same as 64 lowercase hexadecimal digits.
std::string sha256Hex(const std::string& bytes);

}  // namespace qv
