#include "errorform.h"

#include <QCloseEvent>
#include <QPushButton>

#include "encoding.h"
#include "fonts.h"
#include "session.h"
#include "taker_run.h"
#include "widgets.h"
#include "window_frames.h"

TErrorForm::TErrorForm(WindowServices& services)
    : QWidget(nullptr, dialogFrame(false, true)), services_(services) {
    setObjectName("ErrorForm");
    // The texts are the run's; the window breaks them over its labels.
    const qv::NoRangeWindow texts = qv::noRangeWindow(0);
    setWindowTitle(toQt(texts.title));
    setWindowIcon(programIcon());
    setFont(fonts::windowFont());

    const QFont text = fonts::font(fonts::kTimes, 16, true);
    auto label = [&](const char* name, const std::string& caption, QPoint at, const QFont& font) {
        auto* l = new AutoLabel(this, name, toQt(caption), at);
        l->setLabelFont(font);
        return l;
    };
    Label1 = label("Label1", texts.lines[0], {16, 16}, fonts::font(fonts::kTimes, 19));
    Label1->setColor(Qt::red);
    Label2 = label("Label2", texts.lines[1], {16, 56}, text);
    // The total's label starts as wide as the window was drawn for.
    Label3 = label("Label3", "00000", {112, 56}, text);
    Label3->setColor(QColor(0x80, 0x00, 0x80));
    Label4 = label("Label4", texts.lines[3], {160, 56}, text);
    Label5 = label("Label5", texts.lines[4], {16, 80}, text);
    Label6 = label("Label6", texts.lines[5], {16, 104}, text);
    Label7 = label("Label7", texts.lines[6], {16, 144}, text);
    Label8 = label("Label8", texts.lines[7], {16, 168}, text);
    Label9 = label("Label9", texts.lines[8], {16, 192}, text);

    Button1 = makeButton(this, "Button1", toQt(texts.button), {184, 232, 153, 33});
    Button1->setFont(fonts::font(fonts::kSansSerif, 16, true));
    connect(Button1, &QPushButton::clicked, this, services.guard([this] { StartRec(); }));

    placeFixed(this, 524, 277);
    scoreGap_ = Label4->x() - Label3->geometry().right();
    updateSpokenMessage();
}

void TErrorForm::showScore() {
    Label3->setCaption(QString::number(services_.session.running().state().score));
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
