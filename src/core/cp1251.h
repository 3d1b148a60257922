// Windows-1251, the single-byte code page of test and result files.
#pragma once

#include <string>
#include <string_view>

namespace qv::cp1251 {

// The character of a byte. Every byte has one, so text decoded from a file
// encodes back to the same bytes.
char32_t toUnicode(unsigned char byte);

// The byte of a character, or -1 when the code page cannot hold it.
int fromUnicode(char32_t ch);

// UTF-8 text to Windows-1251 bytes; a character the code page cannot hold
// (or a malformed sequence) becomes "?".
std::string fromUtf8(std::string_view utf8);

// Windows-1251 bytes to UTF-8.
std::string toUtf8(std::string_view bytes);

}  // namespace qv::cp1251
