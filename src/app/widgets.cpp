#include "widgets.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QComboBox>
#include <QPalette>
#include <QPushButton>
#include <algorithm>

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

QSize fittedClientSize(QSize client, const QRect& available, const QMargins& frame) {
    const QSize room = available.size().shrunkBy(frame);
    return {std::clamp(room.width(), 1, client.width()),
            std::clamp(room.height(), 1, client.height())};
}

namespace {

constexpr char kReadByName[] = "quorvaneReadByName";

class NamedComboAccessible : public QAccessibleWidget {
  public:
    explicit NamedComboAccessible(QComboBox* box) : QAccessibleWidget(box, QAccessible::ComboBox) {}
    QString text(QAccessible::Text t) const override {
        const auto* box = static_cast<const QComboBox*>(widget());
        switch (t) {
            case QAccessible::Name:
                return box->accessibleName();
            case QAccessible::Value:
                return box->currentText();
            default:
                return QAccessibleWidget::text(t);
        }
    }
};

QAccessibleInterface* namedComboFactory(const QString&, QObject* object) {
    auto* box = qobject_cast<QComboBox*>(object);
    if (box && box->property(kReadByName).toBool()) return new NamedComboAccessible(box);
    return nullptr;
}

}  // namespace

void readByName(QComboBox* box) {
    static const bool installed = [] {
        QAccessible::installFactory(namedComboFactory);
        return true;
    }();
    Q_UNUSED(installed);
    box->setProperty(kReadByName, true);
}
