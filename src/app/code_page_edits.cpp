#include "code_page_edits.h"

#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QSet>
#include <QTextBoundaryFinder>
#include <QToolTip>
#include <QValidator>
#include <algorithm>
#include <optional>

#include "encoding.h"

namespace {

// The first `count` characters of `text` as the user sees them.
QString firstCharacters(const QString& text, int count) {
    QTextBoundaryFinder clusters(QTextBoundaryFinder::Grapheme, text);
    qsizetype end = 0;
    for (int i = 0; i < count && end < text.size(); ++i) {
        const qsizetype next = clusters.toNextBoundary();
        if (next < 0) break;
        end = next;
    }
    return text.left(end);
}

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
    // Characters that are taken, with a hint beside the field.
    void hintAt(const QString& characters, const QString& hint) {
        hinted_ = characters;
        hintedHint_ = hint;
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
        // Typing may make a text longer only up to the limit; a pasted text
        // is cut there. Either way the hint says that the text stops.
        const std::optional<QString> typed = withTypedPartConverted(input, pos);
        if (!typed) {
            showHint(limitHint());
            return Invalid;
        }
        input = *typed;
        held_.insert(input);
        return Acceptable;
    }

  private:
    // The part of `input` that differs from the text before, widened to whole
    // characters as the user sees them, goes through typedText and is cut
    // where the text would pass the limit; `pos` (the cursor) keeps its
    // place. Nothing when no typed character is left within the limit.
    std::optional<QString> withTypedPartConverted(const QString& input, int& pos) const {
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

        QString part = withoutRefused(typedText(input.mid(start, end - start)));
        const QString head = input.left(start);
        const QString tail = input.mid(end);
        // The longest text typing may leave: the limit, or the length of a
        // longer text set by the program.
        const int room = std::max(limit_, visibleLength(before_)) - visibleLength(head + tail);
        if (visibleLength(part) > room) {
            if (room <= 0) return std::nullopt;
            part = firstCharacters(part, room);
            showHint(limitHint());
        }
        if (!hinted_.isEmpty() &&
            std::any_of(part.begin(), part.end(), [this](QChar c) { return hinted_.contains(c); }))
            showHint(hintedHint_);
        const auto shift = static_cast<int>(part.size() - (end - start));
        if (pos >= end)
            pos += shift;
        else if (pos > start)
            pos = static_cast<int>(start + part.size());
        return head + part + tail;
    }

    QString withoutRefused(QString text) const {
        const qsizetype typed = text.size();
        text.removeIf([this](QChar c) { return refused_.contains(c); });
        if (text.size() != typed) showHint(hint_);
        return text;
    }

    QString limitHint() const {
        return QStringLiteral("Здесь не больше %1 знаков: дальше текст не вводится.").arg(limit_);
    }

    void showHint(const QString& hint) const {
        QToolTip::showText(edit_->mapToGlobal(QPoint(0, edit_->height())), hint, edit_);
    }

    QLineEdit* edit_;
    int limit_;
    mutable QSet<QString> held_;
    QString before_;
    QString refused_;
    QString hint_;
    QString hinted_;
    QString hintedHint_;
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

void TypingLimitEdit::hintAt(const QString& characters, const QString& hint) {
    static_cast<TypingLimitValidator*>(const_cast<QValidator*>(validator()))
        ->hintAt(characters, hint);
}

void TypingLimitEdit::setMarked(bool marked, const QString& why) {
    if (marked == marked_) return;
    marked_ = marked;
    QPalette p = palette();
    p.setColor(QPalette::Base, marked ? QColor(255, 200, 200) : QPalette().color(QPalette::Base));
    setPalette(p);
    setToolTip(marked ? why : QString());
    setAccessibleDescription(marked ? why : QString());
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
