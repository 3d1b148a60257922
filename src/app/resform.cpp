#include "resform.h"

#include <QAccessible>
#include <QCloseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <algorithm>

#include "encoding.h"
#include "fonts.h"
#include "format.h"
#include "os_file.h"
#include "platform.h"
#include "screen_room.h"
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

    placeFixed(this, kClientWidth, kClientHeight);
    fitToScreen();
}

void TResForm::fitToScreen() {
    constexpr int kMemoHeight = 393, kButtonsTop = 472, kLeastMemoHeight = 96;
    const int cut =
        std::clamp(kClientHeight - roomOnScreen(this).height(), 0, kMemoHeight - kLeastMemoHeight);
    Memo1->resize(Memo1->width(), kMemoHeight - cut);
    Button1->move(Button1->x(), kButtonsTop - cut);
    Button3->move(Button3->x(), kButtonsTop - cut);
    setFixedSize(kClientWidth, kClientHeight - cut);
    keepOnScreen(this);
}

void TResForm::showEvent(QShowEvent* event) {
    fitToScreen();
    QWidget::showEvent(event);
}

void TResForm::showResult() {
    savedHere_.clear();
    // An empty memo takes the first line into its one empty line; appending
    // would swallow the leading empty line.
    QStringList lines = toQt(services_.session.running().run().outcome().lines);
    lines.prepend(QString());
    const QString text = lines.join(QChar('\n'));
    if (Memo1->document()->isEmpty()) {
        Memo1->setPlainText(text);
    } else {
        Memo1->appendPlainText(text);
    }
    // A screen reader reads a window's description as the window appears,
    // and the result text's as the text is reached.
    const QString spoken = Memo1->toPlainText().trimmed();
    Memo1->setAccessibleDescription(spoken);
    setAccessibleDescription(Label1->text() + ": " + spoken);
    QAccessibleEvent told(this, QAccessible::DescriptionChanged);
    QAccessible::updateAccessibility(&told);
    // The focus only once the text is there.
    Button1->setFocus();
}

void TResForm::saveres() {
    for (;;) {
        const auto name = services_.platform.saveResultFile(this, SDresName_);
        if (!name) return;
        SDresName_ = *name;
        const std::string chosen = fileNameBytes(*name);
        const std::string file = qv::resultFileName(chosen);
        // Another person's result is not replaced unasked; "Нет" chooses again.
        const bool ours = std::find(savedHere_.begin(), savedHere_.end(), file) != savedHere_.end();
        if (!ours && qv::os::fileExists(file) &&
            !services_.platform.askYesNo(
                QString("Файл «%1» уже существует. Заменить его?").arg(fileNameText(file))))
            continue;
        savedHere_.push_back(services_.session.running().saveResult(chosen));
        return;
    }
}

void TResForm::CloseTest() {
    emit closing();
    services_.session.running().leaveResult();
    Memo1->clear();
    savedHere_.clear();
}

void TResForm::closeEvent(QCloseEvent* event) {
    event->ignore();  // left only through "Закрыть"
}
