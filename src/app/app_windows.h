// The program's six windows, created once in a fixed order and reachable from
// one another through this object. Tests build a fresh set of their own.
#pragma once

#include <functional>
#include <memory>

#include "failure_handler.h"

class Platform;
class TManag;
class TRedactor;
class TUserForm;
class TResForm;
class TErrorForm;
class TAB;

class AppWindows {
public:
    // Creates the windows hidden, in the order Manag, Redactor, UserForm,
    // ResForm, ErrorForm, AB. `quit` ends the program; by default it ends
    // the event loop at once, whatever windows are open.
    AppWindows(Platform& platform, std::function<void()> quit = endEventLoop);
    ~AppWindows();
    AppWindows(const AppWindows&) = delete;
    AppWindows& operator=(const AppWindows&) = delete;

    Platform& platform;
    FailureHandler failures;
    std::function<void()> quit;

    // Each is set as soon as its window exists.
    TManag* Manag = nullptr;
    TRedactor* Redactor = nullptr;
    TUserForm* UserForm = nullptr;
    TResForm* ResForm = nullptr;
    TErrorForm* ErrorForm = nullptr;
    TAB* AB = nullptr;

    // Tells of every copy that a save cut short by the end of the program
    // left behind: which test it belongs to and where it is. Each is told once.
    void reportInterruptedSaves();

    // Ends the event loop without asking any window: the editor, result,
    // error and About windows refuse to be closed, which would stop a quit.
    static void endEventLoop();

    template <typename Handler>
    auto guard(Handler handler) {
        return failures.guard(std::move(handler));
    }
};

// Shows a window and makes it the active one.
void showWindow(class QWidget* window);
// Makes a visible window the active one at once: the rest of the handler, and
// a failure it reports, see it active before the window system confirms it.
void activateNow(class QWidget* window);
