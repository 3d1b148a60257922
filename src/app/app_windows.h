// The program's windows over one session: the six of making and taking a
// test, the results journal's window and the export dialog, each made when
// first needed. This is the one place that knows them all: it shows each
// window what the session says has changed, opens and closes windows as the
// commands say, and has each finished run recorded in the results journal.
// Tests build a fresh set of their own.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "failure_handler.h"
#include "os_kept_copies.h"
#include "session.h"
#include "window_services.h"

class Platform;
struct CommandLine;
class QWidget;
class TManag;
class TRedactor;
class TUserForm;
class TResForm;
class TErrorForm;
class TAB;
class RunJournal;

class AppWindows {
  public:
    // `quit` ends the program; by default it ends the event loop at once,
    // whatever windows are open.
    explicit AppWindows(Platform& platform, std::function<void()> quit = endEventLoop);
    ~AppWindows();
    AppWindows(const AppWindows&) = delete;
    AppWindows& operator=(const AppWindows&) = delete;

    qv::Session& session() { return session_; }
    // Whether runs are recorded and where; records each finished run.
    RunJournal& runJournal() { return *runJournal_; }
    // What every window is given, for a window made outside this class.
    WindowServices& services() { return services_; }

    // The manager is made at once; each other window when it is first asked
    // for, which puts the manager on the screen sooner. A window shows the
    // session's state from its creation on, so the user sees the same.
    TManag* manager() const { return manag_; }
    TRedactor* editor();
    TUserForm* testWindow();
    TResForm* resultWindow();
    TErrorForm* errorWindow();
    TAB* about();
    // The results journal's window, apart from the six, once it has been
    // opened; null before.
    QWidget* openedJournalWindow() const { return journal_; }

    // The windows that exist, in the order Manag, Redactor, UserForm,
    // ResForm, ErrorForm, AB.
    std::vector<QWidget*> all() const;

    // Takes a file named on the command line as if chosen in the open dialog
    // ("Запустить", or "Редактор" for --edit, which without a file shows the
    // dialog itself); a file that cannot be taken is told of, and the manager
    // window is back.
    void openFromCommandLine(const CommandLine& line);

    // Tells of every copy that a save cut short by the end of the program
    // left behind: which test it belongs to and where it is. Each is told once.
    void reportInterruptedSaves();
    // The same, with the files looked at away from the window thread, so that
    // a share that does not answer holds up no window; told when found.
    void reportInterruptedSavesLater();

    // Ends the event loop without asking any window: the editor, result,
    // error and About windows refuse to be closed, which would stop a quit.
    static void endEventLoop();

  private:
    // Leaves the editor or the test window, as its own "Закрыть" or close
    // box would, for the manager window.
    void backToManager();
    // F1 in the window opens the help.
    void addHelpKey(QWidget* window);
    QWidget* journalWindow();
    void connectManager();
    void showChanges(unsigned changed);

    qv::Session session_;
    Platform& platform_;
    FailureHandler failures_;
    std::unique_ptr<RunJournal> runJournal_;

    TManag* manag_ = nullptr;
    // Each is set once its window exists.
    TRedactor* redactor_ = nullptr;
    TUserForm* userForm_ = nullptr;
    TResForm* resForm_ = nullptr;
    TErrorForm* errorForm_ = nullptr;
    TAB* about_ = nullptr;
    QWidget* journal_ = nullptr;  // made by the parts loaded when first used

    WindowServices services_;
    std::function<void()> quit_;
    // Shared with a search for interrupted saves still running: cleared when
    // the windows go, so that its answer then finds no one to tell.
    struct LaterReport;
    std::shared_ptr<LaterReport> laterReport_;
    void tellInterruptedSaves(const std::vector<qv::os::InterruptedSave>& saves);
};
