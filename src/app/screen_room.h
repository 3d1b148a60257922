// How much of its screen a window may take: windows drawn for a large screen
// fit a small one, or one at a large scale, by scrolling or by giving up
// room, so that nothing that must be pressed is out of reach.
#pragma once

#include <QSize>

class QWidget;

// The largest client area the window's frame leaves within the available
// part of its screen (the primary screen before the window is shown).
QSize roomOnScreen(const QWidget* window);

// Moves a shown window, as little as it takes, so that its frame lies within
// the available part of its screen where it can.
void keepOnScreen(QWidget* window);
