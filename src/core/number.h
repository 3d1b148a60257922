// The one text-to-integer rule of the program, used for button counts,
// points and range bounds alike.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace qv {

// Converts the whole text: leading blanks (code 32 only), an optional sign
// followed by decimal digits, or, without a sign, a "$", "x", "X", "0x" or
// "0X" prefix followed by hexadecimal digits (eight at most; the 32 bits are
// the value). Anything after the digits fails. Returns nothing on failure.
std::optional<std::int32_t> tryStrToInt(const std::string& text);

// As tryStrToInt, but raises EConvertError "'<text>' is not a valid integer value".
std::int32_t strToInt(const std::string& text);

// Plain decimal digits with a leading "-" for a negative number.
std::string intToStr(std::int32_t value);

}  // namespace qv
