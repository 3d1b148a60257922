// The desktop program's state apart from any window: the one test document
// and the test window that the editor (its preview) and the run (its
// questions) share, the file name a save proposes, and the three parts that
// act on them: editing, saving and the run. The windows show this state
// (handed out read-only) and forward what the user does through calls named
// by what they do; `onChange` tells them which part to show again.
//
// Texts are Windows-1251 bytes as in the files; file names are the
// operating system's bytes.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "desk_run.h"
#include "document.h"
#include "editor_save.h"
#include "loader.h"
#include "run.h"
#include "shown.h"
#include "test_editor.h"

namespace qv {

class Session {
  public:
    Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Told, as each step happens, which parts of the state changed.
    std::function<void(unsigned shown)> onChange;

    const TestDocument& document() const { return test_->document; }
    const TestWindowState& testWindow() const { return test_->window; }
    const std::string& currentFileName() const { return currentFileName_; }

    // The editor of a test, its saves, and the run of a test in the test window.
    TestEditor& editing() { return editor_; }
    const TestEditor& editing() const { return editor_; }
    EditorSave& saving() { return save_; }
    const EditorSave& saving() const { return save_; }
    DeskRun& running() { return run_; }
    const DeskRun& running() const { return run_; }

  private:
    friend struct SessionSetUp;  // tests and tools set up state directly

    // The one document, test window and message lines.
    std::shared_ptr<RunTest> test_ = std::make_shared<RunTest>();
    std::string currentFileName_;
    TestLoader loader_;
    TestEditor editor_;
    EditorSave save_;
    DeskRun run_;
};

}  // namespace qv
