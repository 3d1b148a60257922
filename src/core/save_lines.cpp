#include "save_lines.h"

#include "format.h"
#include "number.h"

namespace qv {

namespace {
constexpr std::size_t kPointsLineBreak = 200;
}

std::int32_t questionsToSave(const TestDocument& doc) {
    const std::int32_t count = doc.questionCount;
    if (count >= 1 && count <= kMaxQuestions && doc.text(count).empty()) return count - 1;
    return count;
}

std::vector<std::string> testFileLines(const TestDocument& doc, std::int32_t questionCount,
                                       int buttons, const TestHeader& header,
                                       const std::vector<std::string>& messageLines) {
    const char sep = kFieldSeparator;
    std::vector<std::string> lines;
    lines.push_back("Info=(" + intToStr(questionCount) + sep + header.buttonCountText + sep +
                    intToStr(doc.variantMode) + ")");
    lines.push_back("Title=(" + header.title + sep + header.author + sep + header.windowCaption +
                    ")");
    std::string captions = "Buttons=(";
    for (int b = 1; b <= buttons; ++b) {
        if (b > 1) captions += sep;
        captions += header.captions[static_cast<std::size_t>(b - 1)];
    }
    lines.push_back(captions + ")");

    lines.emplace_back("Questions:");
    for (int q = 1; q <= questionCount; ++q) lines.push_back(doc.text(q));

    lines.push_back(variantsHeader(doc.variantMode));
    if (doc.variantMode == kFirstQuestionVariants) {
        for (int b = 1; b <= buttons; ++b) lines.push_back(doc.variant(1, b));
    } else if (doc.variantMode != kNoVariants) {
        for (int q = 1; q <= questionCount; ++q)
            for (int b = 1; b <= buttons; ++b) lines.push_back(doc.variant(q, b));
    }

    lines.emplace_back("Numbers:");
    std::string points;
    for (int q = 1; q <= questionCount; ++q) {
        for (int b = 1; b <= buttons; ++b) {
            points += doc.points(q, b);
            points += ',';
        }
        if (points.size() >= kPointsLineBreak || q == questionCount) {
            lines.push_back(std::move(points));
            points.clear();
        }
    }

    lines.emplace_back("Message:");
    for (const auto& line : messageLines)
        if (!line.empty()) lines.push_back(line);
    lines.emplace_back("$");
    return lines;
}

}  // namespace qv
