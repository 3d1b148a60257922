#include "window_frames.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

Qt::WindowFlags dialogFrame(bool closeBox, bool stayOnTop) {
    Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    if (closeBox) flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if (stayOnTop) flags |= Qt::WindowStaysOnTopHint;
    return flags;
}

void placeFixed(QWidget* window, int clientWidth, int clientHeight) {
    window->setFixedSize(clientWidth, clientHeight);
    centreOnScreen(window);
}

void centreOnScreen(QWidget* window) {
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        window->move(area.center() - QPoint(window->width() / 2, window->height() / 2));
    }
}

QIcon programIcon() {
    // Made once and kept to the end: its pixmaps must not outlive the
    // application object in a static destructor.
    static const QIcon* icon = [] {
        auto* i = new QIcon;
        i->addFile(":/icons/quorvane-32.png", QSize(32, 32));
        i->addFile(":/icons/quorvane-64.png", QSize(64, 64));
        return i;
    }();
    return *icon;
}
