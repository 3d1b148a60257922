// Quorvane: making and taking simple scored tests.
#include <QApplication>
#include <QTimer>

#include "app_windows.h"
#include "fonts.h"
#include "manag.h"
#include "qt_platform.h"
#include "window_frames.h"

int main(int argc, char* argv[]) {
    fonts::ConfigurationLoader fontConfiguration;
    QApplication application(argc, argv);
    // The application title. No display name is set: it would be appended
    // to every window caption.
    QApplication::setApplicationName("Quorvane");
    QApplication::setApplicationVersion("1.2");
    QApplication::setDesktopFileName("org.quorvane.Quorvane");
    QApplication::setWindowIcon(programIcon());
    // Windows are hidden and shown, never closed, while the program runs; only
    // the manager window's close ends it.
    QApplication::setQuitOnLastWindowClosed(false);
    fontConfiguration.wait();
    fonts::installSubstitutes();
    QtPlatform::prepareToolkit();

    QtPlatform platform;
    // The other windows are made when first needed: the manager is up sooner.
    AppWindows windows(platform, AppWindows::endEventLoop, AppWindows::Creation::OnFirstUse);
    showWindow(windows.Manag);
    QTimer::singleShot(0, &application, [&windows] { windows.reportInterruptedSaves(); });
    return QApplication::exec();
}
