// The frames, icon and placement the windows share.
#pragma once

#include <QIcon>
#include <QMargins>
#include <QPixmap>
#include <QPoint>
#include <QRect>
#include <Qt>
#include <optional>

class QWidget;

// A fixed-size dialog frame; with `closeBox` it has a system menu and a close
// box, without it no title-bar buttons at all.
Qt::WindowFlags dialogFrame(bool closeBox, bool stayOnTop = false);

// Fixes a window's client area and centres it on the desktop.
void placeFixed(QWidget* window, int clientWidth, int clientHeight);
void centreOnScreen(QWidget* window);

// Where a window of frame size `size` goes beside the frame `anchor` within
// `available`: right of it, else left of it, top edges level (moved down or
// up only as far as the screen needs). Where neither side has room but the
// screen is wide enough for both, the anchor moves too, and the two stand
// side by side, centred together. Nothing when the screen is too narrow.
struct Beside {
    QPoint anchor;
    QPoint window;
};
std::optional<Beside> placeBeside(const QRect& anchor, const QSize& size, const QRect& available);
// Puts a window beside another, centred, on the screen where there is room,
// and centres both otherwise; both are taken with the frame `frame`, which a
// window not yet shown does not know.
void moveBeside(QWidget* window, QWidget* anchor, const QMargins& frame);
// The frame the window system gave a shown window.
QMargins frameMargins(const QWidget* window);

QIcon programIcon();
// A picture of the program's resources ("pictures/manager"), stored as pixels.
QPixmap picture(const char* name);

// Shows a window and makes it the active one.
void showWindow(QWidget* window);
// Makes a visible window the active one at once: the rest of the handler, and
// a failure it reports, see it active before the window system confirms it.
void activateNow(QWidget* window);
