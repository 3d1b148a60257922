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
    // ResForm, ErrorForm, AB. `quit` ends the program.
    AppWindows(Platform& platform, std::function<void()> quit);
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
