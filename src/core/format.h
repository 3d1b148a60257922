// The pieces of the test file format that both reading and writing share.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "document.h"

namespace qv {

inline constexpr char kFieldSeparator = 0x05;

using LineFields = std::array<std::string, kMaxButtons>;

// Splits a field-list line such as "Info=(2^E3^E3)" into at most six fields.
// ")" or 0x05 closes a field; "(" or 0x05 starts collecting the next one, so
// a ")" inside a field cuts it short and a seventh field is dropped.
LineFields splitFields(const std::string& line);

// What a field's line in the file gives a meaning to, so that the field
// cannot hold it: in a field-list line (the title, the author, the window
// caption, the button captions) ")" and 0x05 end the field; in the points
// lines "," ends the value. Question, variant and message lines hold any
// byte but the line end.
enum class FieldLine { FieldList, Points };
std::string_view bytesEndingField(FieldLine line);

// Reads the points lines into the document. Values are ended by ",", and
// what follows the last "," of a line begins the next value; state therefore
// lives across lines. Values for questions past 500 are dropped.
class PointsParser {
  public:
    PointsParser(TestDocument& doc, int buttonCount) : doc_(doc), buttonCount_(buttonCount) {}
    void parseLine(const std::string& line);

  private:
    TestDocument& doc_;
    int buttonCount_;
    int question_ = 1;
    int taken_ = 0;
    std::string value_;
};

// The variants header line for a variant mode.
std::string variantsHeader(std::int32_t variantMode);

// The file name a test is saved under: ".tst" is appended unless the chosen
// name already ends in exactly ".tst".
std::string testFileName(const std::string& chosen);

// The file name a result is saved under, by the same rule with ".txt".
std::string resultFileName(const std::string& chosen);

}  // namespace qv
