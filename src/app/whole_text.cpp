#include "whole_text.h"

#include <QFontMetrics>
#include <QPushButton>
#include <QStringList>
#include <algorithm>

#include "fonts.h"
#include "widgets.h"

namespace {
constexpr QChar kBreak(0x200B);  // a zero-width space: a line may break there
}  // namespace

int placeWhole(AutoLabel* label, QPoint at, int room, const QFont& font, int smallest) {
    QString text = label->text();
    text.remove(kBreak);  // left by an earlier placing
    label->setWordWrap(false);
    label->setLabelFont(font);
    label->setCaption(text);
    label->setAccessibleName(QString());
    label->move(at);
    if (label->width() <= room) return 0;
    const int oneLine = label->height();
    QFont smaller = font;
    const QStringList words = text.split(QChar(' '));
    const auto widest = [&words](const QFont& f) {
        const QFontMetrics metrics(f);
        int most = 0;
        for (const QString& word : words) most = std::max(most, metrics.horizontalAdvance(word));
        return most;
    };
    while (smaller.pixelSize() > smallest && widest(smaller) > room)
        smaller.setPixelSize(smaller.pixelSize() - 1);
    if (widest(smaller) > room) {
        const QFontMetrics metrics(smaller);
        QStringList broken;
        for (const QString& word : words) {
            if (metrics.horizontalAdvance(word) <= room) {
                broken << word;
                continue;
            }
            QString each;
            for (const QChar c : word) each += QString(c) + kBreak;
            broken << each;
        }
        label->setCaption(broken.join(QChar(' ')));
        label->setAccessibleName(text);  // read as it is written
    }
    label->setWordWrap(true);
    label->setLabelFont(smaller);
    label->setGeometry(at.x(), at.y(), room, label->heightForWidth(room));
    return std::max(0, label->height() - oneLine);
}

void setCaptionWhole(QPushButton* button, const QString& caption) {
    constexpr int kSmallestPixels = 8;
    QFont font = fonts::windowFont();
    button->setFont(font);
    button->setText(caption);
    button->setAccessibleName(QString());
    button->setToolTip(QString());
    const int room = button->width() - 8;  // the button's own margins
    if (QFontMetrics(font).horizontalAdvance(caption) <= room) return;
    QString shown = caption;
    const qsizetype middle = caption.size() / 2;
    const qsizetype before = caption.lastIndexOf(QChar(' '), middle);
    const qsizetype after = caption.indexOf(QChar(' '), middle);
    const qsizetype at = before < 0                                       ? after
                         : after < 0 || middle - before <= after - middle ? before
                                                                          : after;
    if (at > 0) shown = caption.left(at) + QChar('\n') + caption.mid(at + 1);
    const auto widest = [&shown](const QFont& f) {
        int most = 0;
        for (const QString& line : shown.split(QChar('\n')))
            most = std::max(most, QFontMetrics(f).horizontalAdvance(line));
        return most;
    };
    while (font.pixelSize() > kSmallestPixels && widest(font) > room)
        font.setPixelSize(font.pixelSize() - 1);
    button->setFont(font);
    button->setText(shown);
    button->setAccessibleName(caption);  // read as it is written
    button->setToolTip(caption);
}
