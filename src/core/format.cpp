#include "format.h"

namespace qv {

LineFields splitFields(const std::string& line) {
    LineFields fields;
    std::string accumulator;
    std::size_t count = 0;
    bool collecting = false;
    for (char c : line) {
        if (c == ')' || c == kFieldSeparator) {
            if (count < fields.size()) fields[count] = accumulator;
            ++count;
            accumulator.clear();
            collecting = false;
        }
        if (collecting) accumulator += c;
        if (c == '(' || c == kFieldSeparator) collecting = true;
    }
    return fields;
}

void PointsParser::parseLine(const std::string& line) {
    for (char c : line) {
        if (c == ',') {
            ++taken_;
            if (question_ <= kMaxQuestions && taken_ <= kMaxButtons) {
                doc_.setPoints(question_, taken_, value_);
            }
            value_.clear();
        } else {
            value_ += c;
        }
        if (taken_ == buttonCount_) {
            taken_ = 0;
            ++question_;
        }
    }
}

std::string_view bytesEndingField(FieldLine line) {
    static constexpr char kFieldListEnds[] = {')', kFieldSeparator, '\0'};
    switch (line) {
        case FieldLine::FieldList:
            return kFieldListEnds;
        case FieldLine::Points:
            return ",";
    }
    return {};
}

std::string variantsHeader(std::int32_t variantMode) {
    switch (variantMode) {
        case kNoVariants:
            return "Variants: none";
        case kFirstQuestionVariants:
            return "Variants: use only one";
        default:
            return "Variants: all";
    }
}

namespace {
std::string withExtension(const std::string& chosen, const std::string& ext) {
    if (chosen.size() >= ext.size() &&
        chosen.compare(chosen.size() - ext.size(), ext.size(), ext) == 0) {
        return chosen;
    }
    return chosen + ext;
}
}  // namespace

std::string testFileName(const std::string& chosen) {
    return withExtension(chosen, ".tst");
}

std::string resultFileName(const std::string& chosen) {
    return withExtension(chosen, ".txt");
}

}  // namespace qv
