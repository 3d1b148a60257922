// Saving the editor's test: what a save under a chosen name would replace,
// the points it would write as another number, and the save itself with the
// check of what was written.
//
// Texts are Windows-1251 bytes as in the files; file names are the
// operating system's bytes.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "checker.h"

namespace qv {

class TestEditor;

// Whether points typed into the editor hold a decimal separator, which the
// file would turn into another number (a comma ends the points there).
bool pointsNeedMending(std::string_view points);

class EditorSave {
  public:
    explicit EditorSave(TestEditor& editor) : e_(editor) {}

    // Whether saving under `chosenName` would replace the file whose load
    // for editing failed, which the editor does not show.
    bool replacesFailedLoad(const std::string& chosenName) const;
    // Whether the file a save under `chosenName` writes exists and is not
    // the test being edited (the one opened, or saved last).
    bool replacesAnotherFile(const std::string& chosenName) const;
    // Whether a save under `chosenName` would replace an existing file,
    // other than the test being edited, with a test of no question at all.
    bool replacesWithEmptyTest(const std::string& chosenName);
    // Points that a save would write as another number (a decimal
    // separator typed into them), the first of them in the file's order.
    struct PointsToMend {
        int question = 0;
        int button = 0;
        std::string text;
        std::string message() const;  // names the question and the button
    };
    std::optional<PointsToMend> pointsToMend();
    // Whether the file a save under `chosenName` writes is the test being
    // edited but no longer as it was opened or saved last (another file, size
    // or time, or a link where there was none): another program changed it.
    bool changedOnDisk(const std::string& chosenName) const;
    // The message lines a save of `shownMessageLines` writes, end marker
    // included; a run takes no more than kMaxMessageLines.
    static int messageLinesWritten(const std::vector<std::string>& shownMessageLines);
    struct Saved {
        std::string fileName;
        // The check of the file written, as a person taking it would meet it.
        CheckReport check;
        // What the file, read back, holds otherwise than the editor.
        std::vector<std::string> readBack;
    };
    // Saves the test under the chosen name and checks what was written;
    // `shownMessageLines` are the message field's lines as it shows them.
    // Points to mend raise an Exception naming them, and nothing is written.
    // The next save proposes the name written.
    Saved saveTest(const std::string& chosenName,
                   const std::vector<std::string>& shownMessageLines);

  private:
    bool namesEditedFile(const std::string& fileName) const;

    TestEditor& e_;
};

}  // namespace qv
