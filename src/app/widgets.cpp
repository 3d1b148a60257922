#include "widgets.h"

#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QPalette>
#include <QPushButton>
#include <QSet>
#include <QTextBoundaryFinder>
#include <QTextCursor>
#include <QTimerEvent>
#include <QToolTip>
#include <QValidator>
#include <algorithm>

#include "encoding.h"

AutoLabel::AutoLabel(QWidget* parent, const char* name, const QString& caption, QPoint at)
    : QLabel(parent) {
    setObjectName(QString::fromLatin1(name));
    setTextFormat(Qt::PlainText);
    setWordWrap(false);
    move(at);
    setCaption(caption);
}

void AutoLabel::setCaption(const QString& caption) {
    setText(caption);
    adjustSize();
}

void AutoLabel::setLabelFont(const QFont& font) {
    setFont(font);
    adjustSize();
}

void AutoLabel::setColor(const QColor& color) {
    QPalette p = palette();
    p.setColor(QPalette::WindowText, color);
    setPalette(p);
}

namespace {

// Keeps a line edit's typing limit and the code page of what is typed into it.
// A validator sees each new text before the line edit takes it: the part that
// differs from the text before is what the user typed, pasted or dropped.
class TypingLimitValidator : public QValidator {
  public:
    TypingLimitValidator(QLineEdit* edit, int limit)
        : QValidator(edit), edit_(edit), limit_(limit) {
        connect(edit, &QLineEdit::textChanged, this,
                [this](const QString& text) { before_ = text; });
    }

    // Characters that typing, pasting or dropping may not bring in; the
    // hint beside the field says why when one is left out.
    void refuse(const QString& characters, const QString& hint) {
        refused_ = characters;
        hint_ = hint;
    }

    State validate(QString& input, int& pos) const override {
        // The line edit is unmodified right after the program has set its
        // text (or after an undo back to it): that text stands whole.
        if (!edit_->isModified()) {
            held_ = {input};
            return Acceptable;
        }
        // Undo and redo go back to texts the field has already held.
        if (held_.contains(input)) return Acceptable;
        const QString typed = withTypedPartConverted(input, pos);
        const int length = visibleLength(typed);
        // Typing may make a text longer only up to the limit.
        if (length > limit_ && length > visibleLength(before_)) return Invalid;
        input = typed;
        held_.insert(typed);
        return Acceptable;
    }

  private:
    // The part of `input` that differs from the text before, widened to whole
    // characters as the user sees them, goes through typedText; `pos` (the
    // cursor) keeps its place.
    QString withTypedPartConverted(const QString& input, int& pos) const {
        const qsizetype common = std::min(before_.size(), input.size());
        qsizetype start = 0;
        while (start < common && before_[start] == input[start]) ++start;
        qsizetype kept = 0;  // characters kept at the end
        while (kept < common - start &&
               before_[before_.size() - 1 - kept] == input[input.size() - 1 - kept])
            ++kept;
        qsizetype end = input.size() - kept;
        if (start >= end) return input;  // only deleted

        QTextBoundaryFinder clusters(QTextBoundaryFinder::Grapheme, input);
        clusters.setPosition(start);
        if (!clusters.isAtBoundary()) start = std::max<qsizetype>(0, clusters.toPreviousBoundary());
        clusters.setPosition(end);
        if (!clusters.isAtBoundary()) {
            const qsizetype next = clusters.toNextBoundary();
            end = next < 0 ? input.size() : next;
        }

        const QString part = withoutRefused(typedText(input.mid(start, end - start)));
        const auto shift = static_cast<int>(part.size() - (end - start));
        if (pos >= end)
            pos += shift;
        else if (pos > start)
            pos = static_cast<int>(start + part.size());
        return input.left(start) + part + input.mid(end);
    }

    QString withoutRefused(QString text) const {
        const qsizetype typed = text.size();
        text.removeIf([this](QChar c) { return refused_.contains(c); });
        if (text.size() != typed)
            QToolTip::showText(edit_->mapToGlobal(QPoint(0, edit_->height())), hint_, edit_);
        return text;
    }

    QLineEdit* edit_;
    int limit_;
    mutable QSet<QString> held_;
    QString before_;
    QString refused_;
    QString hint_;
};

}  // namespace

TypingLimitEdit::TypingLimitEdit(QWidget* parent, const char* name, const QRect& geometry,
                                 int typingLimit)
    : QLineEdit(parent), limit_(typingLimit) {
    setObjectName(QString::fromLatin1(name));
    setGeometry(geometry);
    setValidator(new TypingLimitValidator(this, typingLimit));
}

void TypingLimitEdit::refuse(const QString& characters, const QString& hint) {
    static_cast<TypingLimitValidator*>(const_cast<QValidator*>(validator()))
        ->refuse(characters, hint);
}

CodePageMemo::CodePageMemo(QWidget* parent, const char* name, const QRect& geometry)
    : QPlainTextEdit(parent) {
    setObjectName(QString::fromLatin1(name));
    setGeometry(geometry);
}

void CodePageMemo::keyPressEvent(QKeyEvent* event) {
    const QString typed = typedText(event->text());
    if (typed == event->text()) {
        QPlainTextEdit::keyPressEvent(event);
        return;
    }
    QKeyEvent converted(event->type(), event->key(), event->modifiers(), event->nativeScanCode(),
                        event->nativeVirtualKey(), event->nativeModifiers(), typed,
                        event->isAutoRepeat(), static_cast<quint16>(event->count()));
    QPlainTextEdit::keyPressEvent(&converted);
    event->setAccepted(converted.isAccepted());
}

void CodePageMemo::inputMethodEvent(QInputMethodEvent* event) {
    const QString typed = typedText(event->commitString());
    if (typed == event->commitString()) {
        QPlainTextEdit::inputMethodEvent(event);
        return;
    }
    QInputMethodEvent converted(event->preeditString(), event->attributes());
    converted.setCommitString(typed, event->replacementStart(), event->replacementLength());
    QPlainTextEdit::inputMethodEvent(&converted);
    event->setAccepted(converted.isAccepted());
}

void CodePageMemo::insertFromMimeData(const QMimeData* source) {
    if (!source || !source->hasText()) {
        QPlainTextEdit::insertFromMimeData(source);
        return;
    }
    QMimeData plain;
    plain.setText(typedText(source->text()));
    QPlainTextEdit::insertFromMimeData(&plain);
}

namespace {
constexpr std::size_t kLinesPerBatch = 20000;  // about 70 ms of the toolkit's work
}

StepwiseFill::StepwiseFill(QPlainTextEdit* field) : QObject(field), field_(field) {}

void StepwiseFill::start(const std::vector<std::string>* lines) {
    if (timer_) killTimer(timer_);
    timer_ = 0;
    lines_ = lines;
    next_ = 0;
    field_->document()->setUndoRedoEnabled(false);
    field_->clear();
    appendBatch(kLinesPerBatch);
    if (next_ < lines_->size()) {
        field_->setReadOnly(true);
        timer_ = startTimer(0);
    }
}

void StepwiseFill::finish() {
    if (!timer_) return;
    appendBatch(lines_->size() - next_);
}

void StepwiseFill::timerEvent(QTimerEvent* event) {
    if (event->timerId() == timer_) appendBatch(kLinesPerBatch);
}

void StepwiseFill::appendBatch(std::size_t count) {
    const std::size_t end = std::min(lines_->size(), next_ + count);
    QString text;
    for (std::size_t i = next_; i < end; ++i) {
        if (i > 0) text += QChar('\n');
        text += toQt((*lines_)[i]);
    }
    QTextCursor cursor(field_->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(text);
    next_ = end;
    if (next_ < lines_->size()) return;
    // The field is full: it takes typing again, whichever fill made it read-only.
    if (timer_) killTimer(timer_);
    timer_ = 0;
    field_->setReadOnly(false);
    field_->document()->setUndoRedoEnabled(true);
}

QByteArray numbered(const char* stem, int k) {
    return stem + QByteArray::number(k);
}

QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption,
                        const QRect& geometry) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(geometry);
    // Enter presses the focused button, as Space does.
    button->setAutoDefault(true);
    return button;
}

QString joinedCaptions(const QList<const QLabel*>& labels) {
    QString text;
    for (const QLabel* label : labels) {
        const QString line = label->text().simplified();
        if (line.isEmpty()) continue;
        // "обна-" at the end of one line and "ружила" at the start of the next.
        if (text.size() >= 2 && text.endsWith(QChar('-')) && text[text.size() - 2].isLetter()) {
            text.chop(1);
        } else if (!text.isEmpty()) {
            text += QChar(' ');
        }
        text += line;
    }
    return text;
}
