#include "sha256.h"

#include <openssl/evp.h>

#include "errors.h"

namespace qv {

std::string sha256(const std::string& bytes) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    if (EVP_Digest(bytes.data(), bytes.size(), digest, &size, EVP_sha256(), nullptr) != 1)
        throw Exception("SHA-256 failed");
    return std::string(reinterpret_cast<const char*>(digest), size);
}

std::string sha256Hex(const std::string& bytes) {
    static const char* const kDigits = "0123456789abcdef";
    std::string hex;
    for (const char c : sha256(bytes)) {
        const auto byte = static_cast<unsigned char>(c);
        hex += kDigits[byte >> 4];
        hex += kDigits[byte & 15];
    }
    return hex;
}

}  // namespace qv
