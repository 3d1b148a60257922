#include "stepwise_fill.h"

#include <QTextCursor>
#include <QTimerEvent>
#include <algorithm>

#include "encoding.h"

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
