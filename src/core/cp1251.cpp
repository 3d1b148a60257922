#include "cp1251.h"

#include <array>
#include <unordered_map>

namespace qv::cp1251 {

namespace {

constexpr std::array<char32_t, 128> kHigh = {
#include "cp1251_table.inc"
};

const std::unordered_map<char32_t, unsigned char>& reverseTable() {
    static const auto table = [] {
        std::unordered_map<char32_t, unsigned char> map;
        for (std::size_t i = 0; i < kHigh.size(); ++i)
            map.emplace(kHigh[i], static_cast<unsigned char>(0x80 + i));
        return map;
    }();
    return table;
}

void appendUtf8(std::string& out, char32_t ch) {
    if (ch < 0x80) {
        out += static_cast<char>(ch);
    } else if (ch < 0x800) {
        out += static_cast<char>(0xC0 | (ch >> 6));
        out += static_cast<char>(0x80 | (ch & 0x3F));
    } else if (ch < 0x10000) {
        out += static_cast<char>(0xE0 | (ch >> 12));
        out += static_cast<char>(0x80 | ((ch >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (ch & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (ch >> 18));
        out += static_cast<char>(0x80 | ((ch >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((ch >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (ch & 0x3F));
    }
}

}  // namespace

char32_t toUnicode(unsigned char byte) {
    return byte < 0x80 ? char32_t{byte} : kHigh[byte - 0x80u];
}

int fromUnicode(char32_t ch) {
    if (ch < 0x80) return static_cast<int>(ch);
    const auto& table = reverseTable();
    const auto it = table.find(ch);
    return it == table.end() ? -1 : it->second;
}

std::string fromUtf8(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        int extra = lead < 0x80           ? 0
                    : (lead >> 5) == 0x6  ? 1
                    : (lead >> 4) == 0xE  ? 2
                    : (lead >> 3) == 0x1E ? 3
                                          : -1;
        char32_t ch = extra == 0   ? lead
                      : extra == 1 ? (lead & 0x1F)
                      : extra == 2 ? (lead & 0x0F)
                                   : (lead & 0x07);
        std::size_t used = 1;
        bool ok = extra >= 0;
        for (int k = 0; ok && k < extra; ++k, ++used) {
            if (i + used >= utf8.size() ||
                (static_cast<unsigned char>(utf8[i + used]) & 0xC0) != 0x80) {
                ok = false;
                break;
            }
            ch = (ch << 6) | (static_cast<unsigned char>(utf8[i + used]) & 0x3F);
        }
        const int byte = ok ? fromUnicode(ch) : -1;
        out += byte < 0 ? '?' : static_cast<char>(byte);
        i += used;
    }
    return out;
}

std::string toUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() * 2);
    for (char c : bytes) appendUtf8(out, toUnicode(static_cast<unsigned char>(c)));
    return out;
}

}  // namespace qv::cp1251
