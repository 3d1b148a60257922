// The test window: asks a test one question at a time; while a new test is
// written it previews it. It shows the session's test window state and
// hands the pressed buttons to the session.
#pragma once

#include <QList>
#include <QWidget>
#include <array>

#include "window_services.h"

class AutoLabel;
class QFrame;
class QPlainTextEdit;
class QPushButton;
class QScrollArea;

class TUserForm : public QWidget {
    Q_OBJECT
  public:
    explicit TUserForm(WindowServices& services);

    // Show what the session holds.
    void showTitle();
    void showButtons();
    void showQuestion();
    void showVariants();
    // A run's first question is up: the question text takes the focus, so
    // that no answer is given unread.
    void runReady();

  signals:
    // The last answer was scored: a range held the Score (`found`) or none did.
    void runEnded(bool found);
    // The close box: the manager opens.
    void closedByUser();

  protected:
    bool event(QEvent* event) override;
    // Keeps accidental presses from answering: the second click of a double
    // click and keys held down.
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    // Handlers.
    void b1() { NextV(1); }
    void b2() { NextV(2); }
    void b3() { NextV(3); }
    void b4() { NextV(4); }
    void b5() { NextV(5); }
    void b6() { NextV(6); }
    // Scores the pressed button  and moves on or ends the run.
    void NextV(int pressedButton);
    void EndTest();
    void sgs();
    void view();

    // Places the texts where the window is drawn with them, each whole: one
    // that does not fit on its line wraps, and what follows moves down. The
    // window grows with them as far as its screen lets it, and then scrolls.
    void relayout();
    // The window's size: the client's where the screen has room for it.
    void fitToScreen();
    // A digit key's press or release, wherever in the window it arrives;
    // true when it was taken.
    bool digitKey(const QKeyEvent* event);
    // The release kept pending was a real one.
    void settleRelease();

    QPushButton* button(int k) const { return buttons_.at(static_cast<std::size_t>(k - 1)); }
    AutoLabel* textVar(int k) const { return textVars_.at(static_cast<std::size_t>(k - 1)); }

    static constexpr int kClientWidth = 666;
    static constexpr int kClientHeight = 571;
    static constexpr qsizetype kLongestShownText = 20000;  // characters of a question

    WindowServices& services_;
    qv::Session& session_;
    // The last mouse release on an answer button: a press soon after at the
    // same place is the second click of a double click.
    quint64 lastReleaseTime_ = 0;
    QPointF lastReleasePlace_;
    // The digit keys that answered and have not been released since. The X
    // server repeats a held key as a release and at once a press with the
    // same time stamp, which the toolkit does not always mark as a repeat:
    // such a release is kept pending until the key event after it.
    QList<int> heldDigits_;
    int releasedDigit_ = 0;
    quint64 releasedAt_ = 0;

    // The controls stand on the client, which scrolls in a window too small for it.
    QScrollArea* scroll_;
    QWidget* client_;
    int clientHeight_ = kClientHeight;  // as the texts shown need it
    AutoLabel* Zagolov;
    QFrame* Panel1;
    std::array<QPushButton*, 6> buttons_{};  // Button1..Button6
    std::array<AutoLabel*, 6> textVars_{};   // TextVar1..TextVar6
    AutoLabel* Label1;
    QPlainTextEdit* Memo1;
};
