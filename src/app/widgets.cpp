#include "widgets.h"

#include <QPalette>
#include <QPushButton>
#include <QValidator>

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

int visibleLength(const QString& text) { return static_cast<int>(text.toUcs4().size()); }

namespace {

class TypingLimitValidator : public QValidator {
public:
    TypingLimitValidator(QLineEdit* edit, int limit) : QValidator(edit), edit_(edit), limit_(limit) {}

    State validate(QString& input, int& /*pos*/) const override {
        const int length = visibleLength(input);
        if (length <= limit_ || length <= visibleLength(edit_->text())) return Acceptable;
        return Invalid;
    }

private:
    QLineEdit* edit_;
    int limit_;
};

}  // namespace

TypingLimitEdit::TypingLimitEdit(QWidget* parent, const char* name, const QRect& geometry, int typingLimit)
    : QLineEdit(parent), limit_(typingLimit) {
    setObjectName(QString::fromLatin1(name));
    setGeometry(geometry);
    setValidator(new TypingLimitValidator(this, typingLimit));
}

QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption, const QRect& geometry) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(geometry);
    button->setAutoDefault(false);
    return button;
}
