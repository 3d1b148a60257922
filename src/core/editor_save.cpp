#include "editor_save.h"

#include <algorithm>

#include "cp1251.h"
#include "errors.h"
#include "file_loading.h"
#include "number.h"
#include "os_file.h"
#include "read_back.h"
#include "test_editor.h"
#include "writer.h"

namespace qv {

bool EditorSave::replacesFailedLoad(const std::string& chosenName) const {
    return !e_.failedEditFile_.empty() &&
           os::sameFile(testFileName(chosenName), e_.failedEditFile_);
}

// The name, however spelled, of the test being edited.
bool EditorSave::namesEditedFile(const std::string& fileName) const {
    return !e_.editedFile_.empty() &&
           (fileName == e_.editedFile_ || os::sameFile(fileName, e_.editedFile_));
}

bool EditorSave::replacesAnotherFile(const std::string& chosenName) const {
    const std::string fileName = testFileName(chosenName);
    return os::fileExists(fileName) && !namesEditedFile(fileName);
}

bool EditorSave::changedOnDisk(const std::string& chosenName) const {
    if (!namesEditedFile(testFileName(chosenName))) return false;
    const os::FileIdentity now = os::identityOf(e_.editedFile_);
    // A file gone is no file replaced; a link to nothing is a change.
    return (now.exists || now.isLink) && now != e_.editedIdentity_;
}

bool EditorSave::replacesWithEmptyTest(const std::string& chosenName) {
    e_.storeShownQuestion();  // the fields are the newer copy of the question shown
    const std::string fileName = testFileName(chosenName);
    return questionsToSave(e_.doc_) < 1 && os::fileExists(fileName) && !namesEditedFile(fileName);
}

bool pointsNeedMending(std::string_view points) {
    return points.find_first_of(",.") != std::string_view::npos;
}

std::string EditorSave::PointsToMend::message() const {
    return cp1251::fromUtf8("Баллы за кнопку № ") + std::to_string(button) +
           cp1251::fromUtf8(" в вопросе ") + std::to_string(question) + cp1251::fromUtf8(" — «") +
           text +
           cp1251::fromUtf8(
               "» — не целое число. В файле теста запятая отделяет баллы одной "
               "кнопки от баллов другой, и записались бы другие баллы. Исправьте их "
               "на целое число: тест не сохранён.");
}

std::optional<EditorSave::PointsToMend> EditorSave::pointsToMend() {
    e_.storeShownQuestion();
    int buttons = kMaxButtons;
    try {
        buttons = strToInt(e_.editor_.header.buttonCountText);
    } catch (const EConvertError&) {
        return std::nullopt;  // the save fails on the count itself
    }
    if (buttons < 1 || buttons > kMaxButtons) return std::nullopt;
    const std::int32_t questions = std::clamp(questionsToSave(e_.doc_), 0, kMaxQuestions);
    for (int q = 1; q <= questions; ++q)
        for (int b = 1; b <= buttons; ++b)
            if (pointsNeedMending(e_.doc_.points(q, b)))
                return PointsToMend{q, b, e_.doc_.points(q, b)};
    return std::nullopt;
}

int EditorSave::messageLinesWritten(const std::vector<std::string>& shownMessageLines) {
    int count = 1;  // the end marker
    for (const auto& line : shownMessageLines)
        if (!line.empty()) ++count;
    return count;
}

EditorSave::Saved EditorSave::saveTest(const std::string& chosenName,
                                       const std::vector<std::string>& shownMessageLines) {
    if (const auto mend = pointsToMend()) throw Exception(mend->message());
    Saved saved;
    saved.fileName = qv::saveTest(chosenName, e_.doc_, e_.editor_.header, shownMessageLines);
    e_.editedFile_ = saved.fileName;
    e_.editedIdentity_ = os::identityOf(saved.fileName);
    e_.currentFileName_ = saved.fileName;
    // Once replaced, the file holds the editor's test.
    if (replacesFailedLoad(chosenName)) e_.failedEditFile_.clear();
    e_.changed(kEditorHeader);
    try {
        saved.check = checkTest(saved.fileName);
    } catch (const EInOutError&) {
        // Saved, but not to be read back: there is nothing to check or compare.
        return saved;
    }
    saved.readBack =
        readBackDifferences(saved.fileName, e_.doc_, e_.editor_.header, shownMessageLines);
    return saved;
}

}  // namespace qv
