// Small helpers for laying out controls at fixed positions, the way every
// window of the program is drawn.
#pragma once

#include <QByteArray>
#include <QColor>
#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QList>
#include <QPlainTextEdit>
#include <QRect>
#include <QString>
#include <string>
#include <vector>

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

// A line edit whose limit binds only what the user types, counted in
// characters as the user sees them. A text set by the program is kept whole
// however long it is; typing may shorten it or replace parts of it, but makes
// no text longer once it has reached the limit. What the user types is kept
// to what the code page of the test files can hold (typedText).
class TypingLimitEdit : public QLineEdit {
    Q_OBJECT
  public:
    TypingLimitEdit(QWidget* parent, const char* name, const QRect& geometry, int typingLimit);
    int typingLimit() const { return limit_; }
    // What the user types, pastes or drops loses these characters, and a
    // short hint beside the field says why.
    void refuse(const QString& characters, const QString& hint);

  private:
    int limit_;
};

// A multi-line text field without a limit whose typed, pasted and dropped
// text is kept to what the code page of the test files can hold (typedText);
// a text set by the program is taken as it is.
class CodePageMemo : public QPlainTextEdit {
    Q_OBJECT
  public:
    CodePageMemo(QWidget* parent, const char* name, const QRect& geometry);

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void insertFromMimeData(const QMimeData* source) override;
};

// Fills a text field with many lines a batch at a time, between the
// window's events, so that a test with a very long message section opens at
// once and its window answers while the rest comes in. The field takes no
// typing until it is full.
class StepwiseFill : public QObject {
    Q_OBJECT
  public:
    explicit StepwiseFill(QPlainTextEdit* field);
    // Replaces the field's text with the lines (Windows-1251): the first
    // batch at once, the others later. The lines must stay as they are until
    // the field is full or another fill begins.
    void start(const std::vector<std::string>* lines);
    // Puts in at once whatever lines are still to come.
    void finish();

  protected:
    void timerEvent(QTimerEvent* event) override;

  private:
    void appendBatch(std::size_t count);

    QPlainTextEdit* field_;
    const std::vector<std::string>* lines_ = nullptr;
    std::size_t next_ = 0;
    int timer_ = 0;
};

// The name of the k-th of a numbered row of controls: "Button3", "Kball5".
QByteArray numbered(const char* stem, int k);

QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption,
                        const QRect& geometry);

// The captions of labels that carry one text over several lines, as a screen
// reader should hear it: a word hyphenated at a line end is joined again and
// each run of blanks becomes one.
QString joinedCaptions(const QList<const QLabel*>& labels);
