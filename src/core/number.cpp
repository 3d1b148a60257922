#include "number.h"

#include "errors.h"

namespace qv {

namespace {

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

}  // namespace

std::optional<std::int32_t> tryStrToInt(const std::string& text) {
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n && text[i] == ' ') ++i;
    if (i == n) return std::nullopt;

    bool negative = false;
    bool hex = false;
    if (text[i] == '+' || text[i] == '-') {
        negative = text[i] == '-';
        ++i;
    } else if (text[i] == '$' || text[i] == 'x' || text[i] == 'X') {
        hex = true;
        ++i;
    } else if (text[i] == '0' && i + 1 < n && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        hex = true;
        i += 2;
    }

    if (hex) {
        if (i == n || hexDigit(text[i]) < 0) return std::nullopt;
        std::uint32_t value = 0;
        for (; i < n; ++i) {
            const int d = hexDigit(text[i]);
            if (d < 0) return std::nullopt;
            if (value > 0x0FFFFFFFu) return std::nullopt;
            value = value * 16u + static_cast<std::uint32_t>(d);
        }
        return static_cast<std::int32_t>(value);  // the 32 bits, so $FFFFFFFF is -1
    }

    if (i == n || !isDigit(text[i])) return std::nullopt;
    std::uint32_t magnitude = 0;
    for (; i < n; ++i) {
        if (!isDigit(text[i])) return std::nullopt;
        if (magnitude > 214748364u) return std::nullopt;
        magnitude = magnitude * 10u + static_cast<std::uint32_t>(text[i] - '0');
    }
    if (negative) {
        if (magnitude > 2147483648u) return std::nullopt;
        return static_cast<std::int32_t>(-static_cast<std::int64_t>(magnitude));
    }
    if (magnitude > 2147483647u) return std::nullopt;
    return static_cast<std::int32_t>(magnitude);
}

std::int32_t strToInt(const std::string& text) {
    if (auto value = tryStrToInt(text)) return *value;
    throw EConvertError("'" + text + "' is not a valid integer value");
}

std::string intToStr(std::int32_t value) {
    return std::to_string(value);
}

}  // namespace qv
