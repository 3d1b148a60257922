#include "userform.h"

#include <QCloseEvent>
#include <QFrame>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>

#include "app_windows.h"
#include "cp1251.h"
#include "encoding.h"
#include "errorform.h"
#include "errors.h"
#include "fonts.h"
#include "manag.h"
#include "number.h"
#include "redactor.h"
#include "resform.h"
#include "widgets.h"
#include "window_frames.h"

TUserForm::TUserForm(AppWindows& app) : QWidget(nullptr, dialogFrame(true)), app_(app) {
    setObjectName("UserForm");
    setWindowTitle("Тест");
    setWindowIcon(programIcon());
    setFont(fonts::windowFont());

    Zagolov = new AutoLabel(this, "Zagolov", "Это текст заголовка", {16, 16});
    Zagolov->setLabelFont(fonts::font(fonts::kTimes, kTitlePixels));

    Panel1 = new QFrame(this);
    Panel1->setObjectName("Panel1");
    Panel1->setGeometry(16, 72, 633, 369);
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);

    const QRect buttonPlaces[6] = {{16, 464, 129, 33},  {184, 464, 129, 33}, {352, 464, 129, 33},
                                   {520, 464, 129, 33}, {184, 520, 129, 33}, {352, 520, 129, 33}};
    for (int k = 1; k <= 6; ++k) {
        buttons_[static_cast<std::size_t>(k - 1)] =
            makeButton(this, numbered("Button", k).constData(), QString(), buttonPlaces[k - 1]);
    }
    Button1 = buttons_[0];
    Button2 = buttons_[1];
    Button3 = buttons_[2];
    Button4 = buttons_[3];
    Button5 = buttons_[4];
    Button6 = buttons_[5];

    for (int k = 1; k <= 6; ++k) {
        auto* label = new AutoLabel(Panel1, numbered("TextVar", k).constData(), "Варианты", {40, 144 + 32 * (k - 1)});
        label->setLabelFont(fonts::font(fonts::kTimes, 16));
        textVars_[static_cast<std::size_t>(k - 1)] = label;
    }
    TextVar1 = textVars_[0];
    TextVar2 = textVars_[1];
    TextVar3 = textVars_[2];
    TextVar4 = textVars_[3];
    TextVar5 = textVars_[4];
    TextVar6 = textVars_[5];

    Label1 = new AutoLabel(Panel1, "Label1", "--- Копирайт ----", {48, 352});

    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName("Memo1");
    Memo1->setGeometry(24, 80, 617, 121);
    Memo1->setFrameStyle(QFrame::NoFrame);
    Memo1->setReadOnly(true);
    Memo1->setTabChangesFocus(true);
    Memo1->setFont(fonts::font(fonts::kTimes, 19));
    Memo1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    QPalette memoPalette = Memo1->palette();
    memoPalette.setColor(QPalette::Base, QColor(0xC0, 0xC0, 0xC0));
    Memo1->setPalette(memoPalette);
    Memo1->setPlainText("Здесь размещается текст вопроса");
    Memo1->setAccessibleName("Текст вопроса");

    applyButtonRule(2);
    for (int k = 1; k < 6; ++k) setTabOrder(button(k), button(k + 1));
    setTabOrder(Button6, Memo1);

    connect(Button1, &QPushButton::clicked, this, app.guard([this] { b1(); }));
    connect(Button2, &QPushButton::clicked, this, app.guard([this] { b2(); }));
    connect(Button3, &QPushButton::clicked, this, app.guard([this] { b3(); }));
    connect(Button4, &QPushButton::clicked, this, app.guard([this] { b4(); }));
    connect(Button5, &QPushButton::clicked, this, app.guard([this] { b5(); }));
    connect(Button6, &QPushButton::clicked, this, app.guard([this] { b6(); }));

    placeFixed(this, 666, 571);
}

void TUserForm::applyButtonRule(int count) {
    for (int k = 2; k <= 6; ++k) {
        button(k)->setVisible(k <= count);
        textVar(k)->setVisible(k <= count);
    }
}

void TUserForm::setQuestionText(const QString& text) {
    // The question as the only line, shown from its first line on however long it is.
    Memo1->setPlainText(text);
    Memo1->verticalScrollBar()->setValue(0);
}

void TUserForm::setTitle(const QString& title) {
    // A title too long for the window is shown whole in a smaller size of
    // the same face; the window keeps its size.
    const int room = width() - 2 * Zagolov->x();
    int pixels = kTitlePixels;
    do {
        Zagolov->setLabelFont(fonts::font(fonts::kTimes, pixels));
        Zagolov->setCaption(title);
    } while (Zagolov->width() > room && --pixels >= kSmallestTitlePixels);
}

void TUserForm::showQuestion(int k) {
    const qv::TestDocument& doc = app_.Redactor->doc;
    setQuestionText(toQt(doc.text(k)));
    for (int b = 1; b <= 6; ++b) textVar(b)->setCaption(toQt(doc.variant(k, b)));
}

void TUserForm::setButtonsEnabled(bool enabled) {
    for (auto* b : buttons_) b->setEnabled(enabled);
}

void TUserForm::beginRun() {
    app_.Redactor->doc.currentQuestion = 1;
    run.Score = 0;
}

void TUserForm::press(int b) {
    run.PressedButton = b;
    NextV();
}

void TUserForm::NextV() {
    qv::TestDocument& doc = app_.Redactor->doc;
    if (qv::answerQuestion(doc, run, run.PressedButton) == qv::AnswerOutcome::LastAnswered) {
        EndTest();
    } else {
        showQuestion(doc.currentQuestion);
    }
}

void TUserForm::EndTest() {
    if (qv::EndTest(run, app_.Manag->MessageLines)) {
        hide();
        showWindow(app_.ResForm);
        app_.ResForm->showResult(toQt(qv::resultMemoLines(run, app_.Manag->MessageLines)));
    } else {
        hide();
        showWindow(app_.ErrorForm);
        app_.ErrorForm->showScore(run.Score);
    }
}

void TUserForm::sgs() { run.RangeFound = false; }

void TUserForm::view() { showWindow(app_.Manag); }

bool TUserForm::event(QEvent* e) {
    if (e->type() == QEvent::WindowActivate) app_.failures.run([this] { sgs(); });
    return QWidget::event(e);
}

void TUserForm::showEvent(QShowEvent* e) {
    // Being shown makes the window the active one, whatever the window system does later.
    app_.failures.run([this] { sgs(); });
    QWidget::showEvent(e);
}

void TUserForm::closeEvent(QCloseEvent* e) {
    app_.failures.run([this] { view(); });
    e->accept();  // and the window hides, as a secondary window does
}

// A test file loaded for a run fills the test window and the message lines.
class TUserForm::RunDestination : public qv::LoadDestination {
public:
    explicit RunDestination(AppWindows& app) : app_(app), form_(*app.UserForm) {}

    void buttonCountRead(const std::string& text) override { app_.Redactor->setButtonCountText(toQt(text)); }

    void titleRead(const std::string& title, const std::string& author, const std::string& caption) override {
        form_.setTitle(toQt(title));
        form_.Label1->setCaption(toQt(author));
        form_.setWindowTitle(toQt(caption));
        qv::TestDocument& doc = app_.Redactor->doc;
        const int count = (doc.buttonCount >= 1 && doc.buttonCount <= qv::kMaxButtons) ? doc.buttonCount : 2;
        form_.applyButtonRule(count);
        doc.activeButtonCount = count;
    }

    void buttonsRead(const qv::LineFields& captions) override {
        for (int k = 1; k <= 6; ++k) form_.button(k)->setText(toQt(captions[static_cast<std::size_t>(k - 1)]));
    }

    void messagesBegin() override { app_.Manag->MessageLines.clear(); }

    void messageRead(std::string& line) override { app_.Manag->MessageLines.take(line); }

    void loadFinished() override {
        if (app_.Redactor->doc.questionCount < 1) {
            throw qv::Exception(qv::cp1251::fromUtf8("В этом тесте нет ни одного вопроса"));
        }
        form_.showQuestion(1);
        form_.setButtonsEnabled(true);
        form_.Button1->setFocus();
    }

private:
    AppWindows& app_;
    TUserForm& form_;
};

std::unique_ptr<qv::LoadDestination> TUserForm::loadDestination() {
    return std::make_unique<RunDestination>(app_);
}
