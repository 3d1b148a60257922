#include "resform.h"

#include <QCloseEvent>
#include <QPlainTextEdit>
#include <QPushButton>

#include "encoding.h"
#include "fonts.h"
#include "platform.h"
#include "session.h"
#include "widgets.h"
#include "window_frames.h"

TResForm::TResForm(WindowServices& services)
    : QWidget(nullptr, dialogFrame(false)),
      services_(services),
      SDresName_(QString::fromUtf8(kFirstResultName)) {
    setObjectName("ResForm");
    setWindowTitle("Результат");
    setWindowIcon(programIcon());
    setFont(fonts::windowFont());

    Label1 = new AutoLabel(this, "Label1", "Ваш результат тестирования", {80, 16});
    Label1->setLabelFont(fonts::font(fonts::kTimes, 27));
    Label1->setColor(Qt::blue);

    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName("Memo1");
    Memo1->setGeometry(16, 64, 465, 393);
    Memo1->setFont(fonts::font(fonts::kTimes, 23));
    Memo1->setReadOnly(true);
    Memo1->setTabChangesFocus(true);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    Label1->setBuddy(Memo1);  // the result text reads by the window's heading

    const QFont buttonFont = fonts::font(fonts::kTimes, 16, true);
    Button1 = makeButton(this, "Button1", "Сохранить", {16, 472, 201, 41});
    Button1->setFont(buttonFont);
    Button3 = makeButton(this, "Button3", "Закрыть", {280, 472, 201, 41});
    Button3->setFont(buttonFont);

    connect(Button1, &QPushButton::clicked, this, services.guard([this] { saveres(); }));
    connect(Button3, &QPushButton::clicked, this, services.guard([this] { CloseTest(); }));

    placeFixed(this, 497, 526);
}

void TResForm::showResult() {
    Button1->setFocus();
    // An empty memo takes the first line into its one empty line; appending
    // would swallow the leading empty line.
    const QString text = toQt(services_.session.resultLines()).join(QChar('\n'));
    if (Memo1->document()->isEmpty()) {
        Memo1->setPlainText(text);
    } else {
        Memo1->appendPlainText(text);
    }
}

void TResForm::saveres() {
    const auto name = services_.platform.saveResultFile(this, SDresName_);
    if (!name) return;
    SDresName_ = *name;
    services_.session.saveResult(fileNameBytes(*name));
}

void TResForm::CloseTest() {
    emit closing();
    services_.session.leaveResult();
    Memo1->clear();
}

void TResForm::closeEvent(QCloseEvent* event) {
    event->ignore();  // left only through "Закрыть"
}
