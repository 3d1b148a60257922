// Number conversion, the I/O messages and the full stop of the error box.
#include <gtest/gtest.h>

#include <limits>
#include <optional>

#include "core_support.h"
#include "errors.h"
#include "number.h"

namespace {

using qvtest::ru;

struct Conversion {
    std::string text;
    std::optional<std::int32_t> value;  // nothing: the conversion fails
};

void expectConversions(const std::vector<Conversion>& cases) {
    for (const Conversion& c : cases) {
        EXPECT_EQ(qv::tryStrToInt(c.text), c.value) << "text: '" << c.text << "'";
        if (c.value) {
            EXPECT_EQ(qv::strToInt(c.text), *c.value);
        } else {
            EXPECT_THROW(qv::strToInt(c.text), qv::EConvertError) << "text: '" << c.text << "'";
        }
    }
}

constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();

constexpr std::optional<std::int32_t> kFails;

// clang-format off
TEST(NumberConversion, Decimal) {
    expectConversions({
        {"0", 0}, {"12", 12}, {" 12", 12}, {"   7", 7}, {"+7", 7}, {"-0", 0}, {" -15", -15},
        {"007", 7}, {"2147483647", kMax}, {"-2147483648", kMin}, {"000000000002147483647", kMax},
        {"2147483648", kFails}, {"-2147483649", kFails}, {"21474836470", kFails},
        {"99999999999", kFails}, {"", kFails}, {" ", kFails}, {"12 ", kFails}, {"\t12", kFails},
        {"1e3", kFails}, {"+", kFails}, {"-", kFails}, {"+-1", kFails}, {"- 1", kFails},
        {"1 2", kFails}, {"1,5", kFails}, {"12a", kFails}});
}

TEST(NumberConversion, Hexadecimal) {
    expectConversions({
        {"$1F", 31}, {"x1F", 31}, {"X1f", 31}, {"0x1F", 31}, {"0X1f", 31}, {" $a", 10},
        {"$FFFFFFFF", -1}, {"$80000000", kMin}, {"$7FFFFFFF", kMax}, {"$0FFFFFFFF", -1},
        {"0x0", 0}, {"$100000000", kFails}, {"$", kFails}, {"0x", kFails}, {"x", kFails},
        {"$G", kFails}, {"$1F ", kFails}, {"-$10", kFails}, {"+$10", kFails}, {"-0x10", kFails},
        {"$-1", kFails}, {"00x1", kFails}});
}
// clang-format on

TEST(NumberConversionMessage, CarriesTheWholeTextUnchanged) {
    const std::vector<std::string> texts = {"abc", "", "  12 ", ru("10 б"), "-$10", "\t5"};
    for (const auto& text : texts) {
        try {
            qv::strToInt(text);
            ADD_FAILURE() << "'" << text << "' converted";
        } catch (const qv::EConvertError& e) {
            EXPECT_EQ(e.message(), "'" + text + "' is not a valid integer value");
        }
    }
}

TEST(FullStop, IsAppendedWhenTheLastByteSortsAfterTheFullStop) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"File not found", "File not found."},
        {"'abc' is not a valid integer value", "'abc' is not a valid integer value."},
        {"", ""},
        {"Done.", "Done."},
        {"(see above)", "(see above)"},  // ")" sorts before "."
        {"a-", "a-"},                    // "-" is 45
        {"a/", "a/."},                   // "/" is 47
        {"I/O error 32", "I/O error 32."},
        {ru("Ошибка"), ru("Ошибка") + "."},  // Cyrillic bytes lie above 0x80
    };
    for (const auto& [message, shown] : cases) {
        EXPECT_EQ(qv::withFullStop(message), shown) << message;
    }
}

TEST(IoErrors, MessagesByCode) {
    const std::vector<std::pair<int, std::string>> cases = {
        {2, "File not found"},
        {3, "Invalid filename"},
        {4, "Too many open files"},
        {5, "File access denied"},
        {100, "Read beyond end of file"},
        {101, "Disk full"},
        {106, "Invalid numeric input"},
        {32, "I/O error 32"},
        {103, "I/O error 103"},
        {104, "I/O error 104"},
        {105, "I/O error 105"},
        {112, "I/O error 112"},
        {123, "I/O error 123"},
        {-1, "I/O error -1"},
    };
    for (const auto& [code, message] : cases) {
        EXPECT_EQ(qv::ioErrorMessage(code), message) << code;
        try {
            qv::ioCheck(code);
            ADD_FAILURE() << "no failure for " << code;
        } catch (const qv::EInOutError& e) {
            EXPECT_EQ(e.errorCode(), code);
            EXPECT_EQ(e.message(), message);
        }
    }
    EXPECT_NO_THROW(qv::ioCheck(0));
}

}  // namespace
