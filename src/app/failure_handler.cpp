#include "failure_handler.h"

#include <QApplication>
#include <QPointer>
#include <QWidget>
#include <new>

#include "encoding.h"
#include "errors.h"
#include "platform.h"
#include "window_frames.h"

void FailureHandler::report(const std::exception_ptr& failure) noexcept {
    try {
        QString message;
        try {
            std::rethrow_exception(failure);
        } catch (const qv::EAbort&) {
            return;
        } catch (const qv::Exception& e) {
            message = toQt(qv::withFullStop(e.message()));
        } catch (const std::bad_alloc&) {
            message = QStringLiteral("Недостаточно памяти.");
        } catch (const std::exception& e) {
            message = QString::fromUtf8(qv::withFullStop(e.what()));
        } catch (...) {
            message = QStringLiteral("Unknown failure.");
        }
        QPointer<QWidget> active = QApplication::activeWindow();
        platform_.showError(message);
        if (active && active->isVisible()) {
            activateNow(active);
        }
    } catch (...) {
        // Showing the failure failed as well; there is nothing left to tell.
    }
}
