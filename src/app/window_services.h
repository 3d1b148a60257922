// What every window is given: the program's state and rules, the system's
// dialogs and boxes, and the one failure handler its handlers run under.
// A window knows these and the shared widgets, never another window.
#pragma once

#include <utility>

#include "failure_handler.h"

class Platform;
namespace qv {
class Session;
}

struct WindowServices {
    qv::Session& session;
    Platform& platform;
    FailureHandler& failures;

    // A slot that runs `handler` under the failure handler.
    template <typename Handler>
    auto guard(Handler handler) {
        return failures.guard(std::move(handler));
    }
};
