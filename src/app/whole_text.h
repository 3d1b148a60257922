// Texts of any length shown whole in the places the windows draw them at:
// a label wraps within its room, a button caption takes two lines, and each
// grows smaller only as far as it must.
#pragma once

#include <QPoint>

class AutoLabel;
class QFont;
class QPushButton;
class QString;

// Places a label at `at` on one line when its caption fits into `room`, and
// wrapped to that width otherwise. A word wider than the room makes the font
// smaller, down to `smallest` pixels, and below that may break anywhere.
// Returns how much taller than one line the label has become.
int placeWhole(AutoLabel* label, QPoint at, int room, const QFont& font, int smallest);

// Shows a caption whole on its button: on one line where it fits, else on
// two lines broken at the blank nearest the middle, in a smaller size of the
// window font as far as it takes.
void setCaptionWhole(QPushButton* button, const QString& caption);
