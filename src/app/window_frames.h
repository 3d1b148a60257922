// The frames, icon and placement the windows share.
#pragma once

#include <QIcon>
#include <Qt>

class QWidget;

// A fixed-size dialog frame; with `closeBox` it has a system menu and a close
// box, without it no title-bar buttons at all.
Qt::WindowFlags dialogFrame(bool closeBox, bool stayOnTop = false);

// Fixes a window's client area and centres it on the desktop.
void placeFixed(QWidget* window, int clientWidth, int clientHeight);
void centreOnScreen(QWidget* window);

QIcon programIcon();
