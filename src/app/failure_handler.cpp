#include "failure_handler.h"

#include <QApplication>
#include <QPointer>
#include <QWidget>

#include "encoding.h"
#include "errors.h"
#include "platform.h"
#include "taker_run.h"
#include "window_frames.h"

void FailureHandler::report(const std::exception_ptr& failure) noexcept {
    try {
        try {
            std::rethrow_exception(failure);
        } catch (const qv::EAbort&) {
            return;  // a silent failure shows nothing
        } catch (...) {
        }
        const QString message = toQt(qv::failureText(failure));
        QPointer<QWidget> active = QApplication::activeWindow();
        platform_.showError(message);
        if (active && active->isVisible()) {
            activateNow(active);
        }
    } catch (...) {
        // Showing the failure failed as well; there is nothing left to tell.
    }
}
