#include "screen_room.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>

#include "window_frames.h"

namespace {

QRect availableTo(const QWidget* window) {
    const QScreen* screen = window->screen();
    if (!screen) screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect(0, 0, 1 << 16, 1 << 16);
}

// The frame the window system draws round a window; before it is known, as
// much as a title bar and borders commonly take.
QMargins frameOf(const QWidget* window) {
    const QMargins known = frameMargins(window);
    if (window->isVisible() && !known.isNull()) return known;
    return {8, 40, 8, 8};
}

}  // namespace

QSize roomOnScreen(const QWidget* window) {
    return availableTo(window).size().shrunkBy(frameOf(window)).expandedTo({1, 1});
}

void keepOnScreen(QWidget* window) {
    if (!window->isVisible()) return;
    const QRect area = availableTo(window);
    const QRect frame = window->frameGeometry();
    const int left =
        std::max(area.left(), std::min(frame.left(), area.right() + 1 - frame.width()));
    const int top = std::max(area.top(), std::min(frame.top(), area.bottom() + 1 - frame.height()));
    if (left != frame.left() || top != frame.top()) window->move(left, top);
}
