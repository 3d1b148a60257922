// Small helpers for laying out controls at fixed positions, the way every
// window of the program is drawn.
#pragma once

#include <QByteArray>
#include <QColor>
#include <QFont>
#include <QLabel>
#include <QList>
#include <QMargins>
#include <QRect>
#include <QSize>
#include <QString>

class QComboBox;
class QPushButton;
class QWidget;

// A label that sizes itself to its caption on a single line.
class AutoLabel : public QLabel {
    Q_OBJECT
  public:
    AutoLabel(QWidget* parent, const char* name, const QString& caption, QPoint at);
    void setCaption(const QString& caption);
    void setLabelFont(const QFont& font);
    void setColor(const QColor& color);
};

// The name of the k-th of a numbered row of controls: "Button3", "Kball5".
QByteArray numbered(const char* stem, int k);

QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption,
                        const QRect& geometry);

// The captions of labels that carry one text over several lines, as a screen
// reader should hear it: a word hyphenated at a line end is joined again and
// each run of blanks becomes one.
QString joinedCaptions(const QList<const QLabel*>& labels);

// The client size a window of client area `client` can have on a screen
// whose free area is `available`, the window system adding `frame` around
// it: `client` where it fits, and otherwise as much of it as fits.
QSize fittedClientSize(QSize client, const QRect& available, const QMargins& frame);

// A combo box that a screen reader reads by its accessible name (the label
// beside it), with its text as its value, where it would otherwise be read
// by its text alone.
void readByName(QComboBox* box);
