// Text fields whose typed, pasted and dropped text is kept to what the code
// page of the test files can hold, while a text the program sets is taken
// whole.
#pragma once

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRect>
#include <QString>

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
    // What the user types, pastes or drops keeps these characters, and the
    // hint beside the field says what they mean.
    void hintAt(const QString& characters, const QString& hint);
    // A field marked holds a text to mend: a colour, and `why` as its tool
    // tip and description for a screen reader.
    void setMarked(bool marked, const QString& why);
    bool isMarked() const { return marked_; }

  private:
    int limit_;
    bool marked_ = false;
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
