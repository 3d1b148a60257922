#include "writer.h"

#include "cp1251.h"
#include "errors.h"
#include "format.h"
#include "number.h"
#include "text_file.h"

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

namespace {

// Saves a file through a text writer that `fill` writes into; `fill`
// returns the first failure's code, or 0.
template <typename Fill>
void saveFile(const std::string& fileName, Fill fill) {
    TextWriter file;
    ioCheck(file.create(fileName));
    int rc = fill(file);
    // A failed line is reported after the close that gives the file its
    // previous content back, so that a copy left instead is told at once.
    const int closed = file.close();
    if (rc == 0) rc = closed;
    if (rc != 0 && !file.keptCopy().empty())
        throw EInOutError(rc, file.targetPath(), file.keptCopy());
    ioCheck(rc);
}

}  // namespace

void writeLines(const std::string& fileName, const std::vector<std::string>& lines) {
    saveFile(fileName, [&lines](TextWriter& file) {
        for (const auto& line : lines)
            if (const int rc = file.writeLine(line)) return rc;
        return 0;
    });
}

void writeBytes(const std::string& fileName, const std::string& bytes) {
    saveFile(fileName, [&bytes](TextWriter& file) { return file.write(bytes); });
}

std::string saveTest(const std::string& chosenName, const TestDocument& doc,
                     const TestHeader& header, const std::vector<std::string>& messageLines) {
    const std::int32_t questions = questionsToSave(doc);
    const std::int32_t buttons = strToInt(header.buttonCountText);
    if (buttons < 1 || buttons > kMaxButtons) {
        throw Exception(
            cp1251::fromUtf8("Число кнопок должно быть от 1 до 6, а указано " + intToStr(buttons)));
    }
    if (questions < 0 || questions > kMaxQuestions) {
        throw Exception(cp1251::fromUtf8("Тест может содержать от 0 до 500 вопросов"));
    }
    const std::string fileName = testFileName(chosenName);
    writeLines(fileName, testFileLines(doc, questions, buttons, header, messageLines));
    return fileName;
}

}  // namespace qv
