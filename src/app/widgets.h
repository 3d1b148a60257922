// Small helpers for laying out controls at fixed positions, the way every
// window of the program is drawn.
#pragma once

#include <QColor>
#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QRect>
#include <QString>

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

// A line edit whose limit binds only what the user types: a longer text set
// by the program is kept whole, and may be shortened but not lengthened.
class TypingLimitEdit : public QLineEdit {
    Q_OBJECT
public:
    TypingLimitEdit(QWidget* parent, const char* name, const QRect& geometry, int typingLimit);
    int typingLimit() const { return limit_; }

private:
    int limit_;
};

QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption, const QRect& geometry);

// The number of characters of a text as the user sees them.
int visibleLength(const QString& text);
