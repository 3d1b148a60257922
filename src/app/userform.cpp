#include "userform.h"

#include <QCloseEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QStyleHints>
#include <algorithm>
#include <cmath>

#include "encoding.h"
#include "fonts.h"
#include "screen_room.h"
#include "session.h"
#include "whole_text.h"
#include "widgets.h"
#include "window_frames.h"

namespace {

// Where the answer buttons are drawn; they move down as the texts above them grow.
const QRect kButtonPlaces[6] = {{16, 464, 129, 33},  {184, 464, 129, 33}, {352, 464, 129, 33},
                                {520, 464, 129, 33}, {184, 520, 129, 33}, {352, 520, 129, 33}};

}  // namespace

TUserForm::TUserForm(WindowServices& services)
    : QWidget(nullptr, dialogFrame(true)), services_(services), session_(services.session) {
    setObjectName("UserForm");
    setWindowIcon(programIcon());
    setFont(fonts::windowFont());

    scroll_ = new QScrollArea(this);
    scroll_->setObjectName("UserFormScroll");
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setFocusPolicy(Qt::NoFocus);
    client_ = new QWidget;
    client_->setObjectName("UserFormClient");
    scroll_->setWidget(client_);

    Zagolov = new AutoLabel(client_, "Zagolov", QString(), {16, 16});

    Panel1 = new QFrame(client_);
    Panel1->setObjectName("Panel1");
    Panel1->setGeometry(16, 72, 633, 369);
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);

    for (int k = 1; k <= 6; ++k) {
        buttons_[static_cast<std::size_t>(k - 1)] =
            makeButton(client_, numbered("Button", k).constData(), QString(), kButtonPlaces[k - 1]);
    }
    for (int k = 1; k <= 6; ++k) {
        auto* label = new AutoLabel(Panel1, numbered("TextVar", k).constData(), QString(),
                                    {40, 144 + 32 * (k - 1)});
        label->setLabelFont(fonts::font(fonts::kTimes, 16));
        textVars_[static_cast<std::size_t>(k - 1)] = label;
    }
    Label1 = new AutoLabel(Panel1, "Label1", QString(), {48, 352});

    Memo1 = new QPlainTextEdit(client_);
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
    Memo1->setAccessibleName("Текст вопроса");

    for (int k = 1; k < 6; ++k) setTabOrder(button(k), button(k + 1));
    setTabOrder(button(6), Memo1);

    using Handler = void (TUserForm::*)();
    const Handler handlers[] = {&TUserForm::b1, &TUserForm::b2, &TUserForm::b3,
                                &TUserForm::b4, &TUserForm::b5, &TUserForm::b6};
    for (int k = 1; k <= 6; ++k) {
        const Handler handler = handlers[k - 1];
        connect(button(k), &QPushButton::clicked, this,
                services.guard([this, handler] { (this->*handler)(); }));
        button(k)->installEventFilter(this);
    }
    Memo1->installEventFilter(this);

    showTitle();
    showButtons();
    showQuestion();
    showVariants();
    centreOnScreen(this);
}

// --- Showing the session ---------------------------------------------------------------

void TUserForm::showTitle() {
    const qv::TestWindowState& test = session_.testWindow();
    Zagolov->setCaption(toQt(test.title));
    Label1->setCaption(toQt(test.authorLine));
    setWindowTitle(toQt(test.caption));
    relayout();
}

void TUserForm::relayout() {
    constexpr int kTitleLeft = 16, kPanelLeft = 16, kPanelTop = 72, kPanelWidth = 633,
                  kPanelHeight = 369, kVariantLeft = 40, kFirstVariantTop = 144, kVariantStep = 32,
                  kAuthorLeft = 48, kAuthorTop = 352, kAuthorGap = 16, kSmallestTitlePixels = 20,
                  kSmallestVariantPixels = 13;
    // Whatever grows past its line moves what lies below it down.
    const int titleGrowth = placeWhole(Zagolov, {kTitleLeft, 16}, kClientWidth - 2 * kTitleLeft,
                                       fonts::font(fonts::kTimes, 32), kSmallestTitlePixels);
    const int panelTop = kPanelTop + titleGrowth;
    const QFont variantFont = fonts::font(fonts::kTimes, 16);
    int growth = 0;  // of the variants above
    int lastShownBottom = 0;
    for (int k = 1; k <= 6; ++k) {
        const QPoint at(kVariantLeft, kFirstVariantTop + kVariantStep * (k - 1) + growth);
        growth += placeWhole(textVar(k), at, kPanelWidth - kVariantLeft - kPanelLeft, variantFont,
                             kSmallestVariantPixels);
        if (!textVar(k)->isHidden()) lastShownBottom = textVar(k)->geometry().bottom();
    }
    // The author line keeps its place unless the variants shown reach it.
    const int authorTop = std::max(kAuthorTop, lastShownBottom + kAuthorGap);
    const int authorGrowth =
        placeWhole(Label1, {kAuthorLeft, authorTop}, kPanelWidth - kAuthorLeft - kPanelLeft,
                   fonts::windowFont(), fonts::windowFont().pixelSize());
    const int panelHeight = kPanelHeight + authorTop - kAuthorTop + authorGrowth;
    Panel1->setGeometry(kPanelLeft, panelTop, kPanelWidth, panelHeight);
    Memo1->move(Memo1->x(), 80 + titleGrowth);
    const int down = panelTop + panelHeight - kPanelTop - kPanelHeight;
    for (int k = 1; k <= 6; ++k) button(k)->move(kButtonPlaces[k - 1].topLeft() + QPoint(0, down));
    clientHeight_ = kClientHeight + down;
    fitToScreen();
}

void TUserForm::fitToScreen() {
    // A client taller than the room scrolls; its scroll bar takes what it
    // can of the margin right of the panel, and then room of its own.
    constexpr int kNarrowest = 16 + 633 + 1;
    const QSize room = roomOnScreen(this);
    const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    const bool scrolls = clientHeight_ > room.height();
    const int width =
        scrolls ? std::clamp(room.width() - bar, kNarrowest, kClientWidth) : kClientWidth;
    client_->setFixedSize(width, clientHeight_);
    QSize size(width + (scrolls ? bar : 0), clientHeight_);
    if (size.width() > room.width()) size += QSize(0, bar);
    size = size.boundedTo(room);
    setFixedSize(size);
    scroll_->setGeometry(rect());
    keepOnScreen(this);
}

void TUserForm::showButtons() {
    const qv::TestWindowState& test = session_.testWindow();
    for (int k = 1; k <= 6; ++k) {
        // Button 1 and its variant text are always shown.
        button(k)->setVisible(k == 1 || k <= test.shownButtons);
        textVar(k)->setVisible(k == 1 || k <= test.shownButtons);
        setCaptionWhole(button(k), toQt(test.captions[static_cast<std::size_t>(k - 1)]));
        button(k)->setEnabled(test.buttonsEnabled);
    }
    relayout();
}

void TUserForm::showQuestion() {
    // The question as the only line, shown from its first line on however
    // long it is. A text past any real question's length is shown cut: the
    // field's line breaking would keep the window from answering for minutes.
    QString text = toQt(session_.testWindow().question);
    if (text.size() > kLongestShownText) text = text.left(kLongestShownText) + QChar(0x2026);
    Memo1->setPlainText(text);
    Memo1->verticalScrollBar()->setValue(0);
    // A window that scrolls shows a new question from its top.
    scroll_->verticalScrollBar()->setValue(0);
}

void TUserForm::showVariants() {
    const qv::TestWindowState& test = session_.testWindow();
    for (int k = 1; k <= 6; ++k) {
        const QString variant = toQt(test.variants[static_cast<std::size_t>(k - 1)]);
        textVar(k)->setCaption(variant);
        // A screen reader ties each answer button to the variant it answers with.
        button(k)->setAccessibleDescription(variant);
    }
    relayout();
}

void TUserForm::runReady() {
    heldDigits_.clear();
    releasedDigit_ = 0;
    Memo1->setFocus(Qt::OtherFocusReason);
}

// --- Handlers ------------------------------------------------------------------------------

void TUserForm::NextV(int pressedButton) {
    if (session_.running().answer(pressedButton) != qv::TakerRun::Phase::Question) {
        EndTest();
        return;
    }
    // The pressed button gives up the focus, so that Enter or Space does not
    // answer the next question unread.
    Memo1->setFocus(Qt::OtherFocusReason);
}

void TUserForm::EndTest() {
    emit runEnded(session_.running().run().phase() == qv::TakerRun::Phase::Result);
}

void TUserForm::sgs() {
    session_.running().testWindowActivated();
}

void TUserForm::view() {
    emit closedByUser();
}

bool TUserForm::event(QEvent* e) {
    if (e->type() == QEvent::WindowActivate) services_.failures.run([this] { sgs(); });
    // A key released while another window had the keyboard is not seen here.
    if (e->type() == QEvent::WindowDeactivate) {
        heldDigits_.clear();
        releasedDigit_ = 0;
    }
    return QWidget::event(e);
}

void TUserForm::showEvent(QShowEvent* e) {
    // Being shown makes the window the active one, whatever the window system does later.
    services_.failures.run([this] { sgs(); });
    fitToScreen();
    QWidget::showEvent(e);
}

bool TUserForm::eventFilter(QObject* watched, QEvent* e) {
    switch (e->type()) {
        case QEvent::KeyPress:
        case QEvent::KeyRelease: {
            const auto* key = static_cast<QKeyEvent*>(e);
            return digitKey(key) || (watched != Memo1 && key->isAutoRepeat());
        }
        case QEvent::MouseButtonDblClick:
            return true;
        case QEvent::MouseButtonPress: {
            const auto* press = static_cast<QMouseEvent*>(e);
            const auto interval =
                static_cast<quint64>(QGuiApplication::styleHints()->mouseDoubleClickInterval());
            const QPointF moved = press->globalPosition() - lastReleasePlace_;
            const qreal distance = QGuiApplication::styleHints()->mouseDoubleClickDistance();
            return lastReleaseTime_ != 0 && press->timestamp() >= lastReleaseTime_ &&
                   press->timestamp() - lastReleaseTime_ <= interval &&
                   std::abs(moved.x()) <= distance && std::abs(moved.y()) <= distance;
        }
        case QEvent::MouseButtonRelease: {
            const auto* release = static_cast<QMouseEvent*>(e);
            lastReleaseTime_ = release->timestamp();
            lastReleasePlace_ = release->globalPosition();
            return false;
        }
        default:
            return QWidget::eventFilter(watched, e);
    }
}

void TUserForm::keyPressEvent(QKeyEvent* e) {
    if (!digitKey(e)) QWidget::keyPressEvent(e);
}

void TUserForm::keyReleaseEvent(QKeyEvent* e) {
    if (!digitKey(e)) QWidget::keyReleaseEvent(e);
}

void TUserForm::settleRelease() {
    heldDigits_.removeAll(releasedDigit_);
    releasedDigit_ = 0;
}

bool TUserForm::digitKey(const QKeyEvent* e) {
    // The digits 1 to 6, on the main row or the keypad, press the answer
    // button of that number when it is shown and can be pressed; a digit
    // held down answers once, not once per repeat.
    const int key = e->key();
    const int k = key - Qt::Key_0;
    const bool digit = k >= 1 && k <= 6 && e->modifiers() == (e->modifiers() & Qt::KeypadModifier);
    if (e->type() == QEvent::KeyRelease) {
        if (!digit || e->isAutoRepeat()) return false;
        settleRelease();  // a release right after another was a real one
        releasedDigit_ = key;
        releasedAt_ = e->timestamp();
        return true;
    }
    const bool serverRepeat =
        releasedDigit_ == key && releasedAt_ != 0 && e->timestamp() == releasedAt_;
    if (serverRepeat)
        releasedDigit_ = 0;  // the key is still held
    else
        settleRelease();
    if (!digit) return false;
    if (e->isAutoRepeat() || heldDigits_.contains(key)) return true;
    QPushButton* answer = button(k);
    if (!answer->isVisible() || !answer->isEnabled()) return false;
    heldDigits_.append(key);
    // At once: a second press while a click was still animating would be lost.
    answer->click();
    return true;
}

void TUserForm::closeEvent(QCloseEvent* e) {
    services_.failures.run([this] { view(); });
    e->accept();  // and the window hides, as a secondary window does
}
