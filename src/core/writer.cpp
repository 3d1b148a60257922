#include "writer.h"

#include "cp1251.h"
#include "errors.h"
#include "format.h"
#include "io_codes.h"
#include "number.h"
#include "os_kept_copies.h"
#include "text_writer.h"

namespace qv {

namespace {

// Raises the failure of a save's step, unless its code is 0.
void saveCheck(int code) {
    if (code == io::kNoNote) {
        throw EInOutError(
            code, cp1251::fromUtf8("Сохранение отменено: папка «" + os::copiesFolder() +
                                   "» недоступна для записи, а без неё временный файл, который "
                                   "оставило бы прерванное сохранение, никто бы не нашёл и не "
                                   "удалил. Файл оставлен без изменений"));
    }
    ioCheck(code);
}

// Saves a file through a text writer that `fill` writes into; `fill`
// returns the first failure's code, or 0.
template <typename Fill>
void saveFile(const std::string& fileName, Fill fill) {
    TextWriter file;
    saveCheck(file.create(fileName));
    int rc = fill(file);
    // A failed line is reported after the close that gives the file its
    // previous content back, so that a copy left instead is told at once.
    const int closed = file.close();
    if (rc == 0) rc = closed;
    if (rc != 0 && !file.keptCopy().empty())
        throw EInOutError(rc, file.targetPath(), file.keptCopy());
    saveCheck(rc);
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

std::string saveResult(const std::string& chosenName, const RunState& run,
                       const MessageLines& messages) {
    std::vector<std::string> block;
    for (int i = run.resultFirst; i <= run.resultLast; ++i) block.push_back(messages.line(i));
    const std::string fileName = resultFileName(chosenName);
    writeLines(fileName, block);
    return fileName;
}

}  // namespace qv
