// The one default failure handler. Every event handler of the windows is
// connected through guard(), so no exception ever unwinds through Qt and no
// failure ends the program; the handlers themselves catch nothing.
#pragma once

#include <exception>
#include <utility>

class Platform;

class FailureHandler {
  public:
    explicit FailureHandler(Platform& platform) : platform_(platform) {}

    // Shows a failure in the error box (nothing for a silent one) and then
    // makes the window that was active before active again.
    void report(const std::exception_ptr& failure) noexcept;

    // Runs a handler; false when it failed (and the failure was shown).
    template <typename Handler>
    bool run(Handler&& handler) noexcept {
        try {
            std::forward<Handler>(handler)();
            return true;
        } catch (...) {
            report(std::current_exception());
            return false;
        }
    }

    // A slot that runs `handler` under this failure handler.
    template <typename Handler>
    auto guard(Handler handler) {
        return [this, handler]() { run(handler); };
    }

  private:
    Platform& platform_;
};
