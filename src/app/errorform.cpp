#include "errorform.h"

#include <QCloseEvent>
#include <QPushButton>

#include "fonts.h"
#include "session.h"
#include "widgets.h"
#include "window_frames.h"

TErrorForm::TErrorForm(WindowServices& services)
    : QWidget(nullptr, dialogFrame(false, true)), services_(services) {
    setObjectName("ErrorForm");
    setWindowTitle("Ошибочная ситуация.");
    setWindowIcon(programIcon());
    setFont(fonts::windowFont());

    const QFont text = fonts::font(fonts::kTimes, 16, true);
    auto label = [&](const char* name, const char* caption, QPoint at, const QFont& font) {
        auto* l = new AutoLabel(this, name, QString::fromUtf8(caption), at);
        l->setLabelFont(font);
        return l;
    };
    Label1 = label("Label1", "Данный тест имеет ошибки в блоке составления сообщения.", {16, 16},
                   fonts::font(fonts::kTimes, 19));
    Label1->setColor(Qt::red);
    Label2 = label("Label2", "Вы набрали ", {16, 56}, text);
    Label3 = label("Label3", "00000", {112, 56}, text);
    Label3->setColor(QColor(0x80, 0x00, 0x80));
    Label4 = label("Label4", "баллов, но в данном тесте программа не  обна-", {160, 56}, text);
    Label5 = label("Label5", "ружила  диапазон  для такого   числа баллов.  Просмотрите  текст ",
                   {16, 80}, text);
    Label6 = label("Label6", "теста на наличие нужной строки.", {16, 104}, text);
    Label7 = label("Label7", "Для этого нужно проанализировать кол-во баллов за вопрос, а сос- ",
                   {16, 144}, text);
    Label8 = label("Label8", "тавляя сообщения вставить строку вида: =Х-Y, где Х - начало диа-",
                   {16, 168}, text);
    Label9 = label("Label9", "пазона, а Y - его конец. ", {16, 192}, text);

    Button1 = makeButton(this, "Button1", "Хорошо", {184, 232, 153, 33});
    Button1->setFont(fonts::font(fonts::kSansSerif, 16, true));
    connect(Button1, &QPushButton::clicked, this, services.guard([this] { StartRec(); }));

    placeFixed(this, 524, 277);
    scoreGap_ = Label4->x() - Label3->geometry().right();
    updateSpokenMessage();
}

void TErrorForm::showScore() {
    Label3->setCaption(QString::number(services_.session.run().score));
    // The rest of the sentence follows the Score, however wide, with the gap
    // it has after the "00000" the window was drawn with.
    Label4->move(Label3->geometry().right() + scoreGap_, Label4->y());
    updateSpokenMessage();
}

// The message is broken over labels, mid-word in places; a screen reader gets
// it whole: as the window's description, and from "Вы набрали" on as the name
// of the label that starts it.
void TErrorForm::updateSpokenMessage() {
    const QString sentence =
        joinedCaptions({Label2, Label3, Label4, Label5, Label6, Label7, Label8, Label9});
    Label2->setAccessibleName(sentence);
    setAccessibleDescription(joinedCaptions({Label1}) + QChar(' ') + sentence);
}

void TErrorForm::StartRec() {
    emit closing();
}

void TErrorForm::closeEvent(QCloseEvent* event) {
    event->ignore();  // left only through "Хорошо"
}
