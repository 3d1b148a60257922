#include "ab.h"

#include <QCloseEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QPixmap>
#include <QPushButton>

#include "fonts.h"
#include "widgets.h"
#include "window_frames.h"

TAB::TAB(WindowServices& services) : QWidget(nullptr, dialogFrame(false, true)) {
    setObjectName("AB");
    setWindowTitle("О программе");
    setWindowIcon(programIcon());
    setFont(fonts::windowFont());

    // A lowered outer bevel around a raised inner one.
    Panel1 = new QFrame(this);
    Panel1->setObjectName("Panel1");
    Panel1->setGeometry(8, 8, 321, 225);
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    auto* inner = new QFrame(Panel1);
    inner->setGeometry(1, 1, 319, 223);
    inner->setFrameStyle(QFrame::Panel | QFrame::Raised);
    inner->setAttribute(Qt::WA_TransparentForMouseEvents);

    Image1 = new QLabel(Panel1);
    Image1->setObjectName("Image1");
    Image1->setGeometry(8, 8, 81, 81);
    Image1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Image1->setPixmap(picture("pictures/about"));
    Image1->setAccessibleName("Эмблема Quorvane");

    Label1 = new AutoLabel(Panel1, "Label1", "Quorvane", {136, 24});
    Label1->setLabelFont(fonts::font(fonts::kTimes, 21, false, false, true));
    Label1->setColor(Qt::red);
    Label2 = new AutoLabel(Panel1, "Label2", "version: 1.2 (15.08.2001)", {120, 64});
    Label2->setLabelFont(fonts::font(fonts::kTimes, 19));
    Label3 = new AutoLabel(Panel1, "Label3", "Данная  программа  предназначена  для ", {24, 104});
    Label3->setLabelFont(fonts::font(fonts::kSystem, 11, true));
    Label5 = new AutoLabel(Panel1, "Label5", "Команда Quorvane", {40, 144});
    Label5->setLabelFont(fonts::font(fonts::kTimes, 24, false, true));
    Label5->setColor(Qt::black);
    Label6 = new AutoLabel(Panel1, "Label6", "team@quorvane.example", {40, 176});
    Label6->setLabelFont(fonts::font(fonts::kTimes, 21));
    Label6->setColor(Qt::blue);
    Label7 = new AutoLabel(Panel1, "Label7", "Распространяется свободно, без гарантий.", {16, 208});

    OKButton = makeButton(this, "OKButton", "OK", {127, 244, 75, 25});
    OKButton->setDefault(true);
    OKButton->setAutoDefault(true);
    connect(OKButton, &QPushButton::clicked, this, services.guard([this] { hide(); }));

    placeFixed(this, 335, 278);
}

void TAB::closeEvent(QCloseEvent* event) {
    event->ignore();  // left only through "OK"
}

void TAB::keyPressEvent(QKeyEvent* event) {
    // Enter presses the default button even when the focus is elsewhere, and
    // Esc leaves the window as that button does.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter ||
        event->key() == Qt::Key_Escape) {
        OKButton->click();
        return;
    }
    QWidget::keyPressEvent(event);
}
