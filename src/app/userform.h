// The test window: asks a test one question at a time and adds up the
// points of the pressed buttons; while a new test is written it previews it.
#pragma once

#include <QWidget>
#include <array>
#include <memory>

#include "loader.h"
#include "run.h"

class AppWindows;
class AutoLabel;
class QFrame;
class QPlainTextEdit;
class QPushButton;

class TUserForm : public QWidget {
    Q_OBJECT
public:
    explicit TUserForm(AppWindows& app);

    // A run begins: question 1, Score 0.
    void beginRun();
    // Where a test file loaded for a run goes.
    std::unique_ptr<qv::LoadDestination> loadDestination();

    // Shows button 1 always and buttons 2..6 (with their variant texts) up to `count`.
    void applyButtonRule(int count);
    // Shows question k: its text and all six variant texts.
    void showQuestion(int k);
    void setButtonsEnabled(bool enabled);
    void setQuestionText(const QString& text);
    void setTitle(const QString& title);

    // Handlers.
    void b1() { press(1); }
    void b2() { press(2); }
    void b3() { press(3); }
    void b4() { press(4); }
    void b5() { press(5); }
    void b6() { press(6); }
    void NextV();
    void EndTest();
    void sgs();
    void view();

    qv::RunState run;

    AutoLabel* Zagolov;
    QFrame* Panel1;
    QPushButton* Button1;
    QPushButton* Button2;
    QPushButton* Button3;
    QPushButton* Button4;
    QPushButton* Button5;
    QPushButton* Button6;
    AutoLabel* TextVar1;
    AutoLabel* TextVar2;
    AutoLabel* TextVar3;
    AutoLabel* TextVar4;
    AutoLabel* TextVar5;
    AutoLabel* TextVar6;
    AutoLabel* Label1;
    QPlainTextEdit* Memo1;

    QPushButton* button(int k) const { return buttons_.at(static_cast<std::size_t>(k - 1)); }
    AutoLabel* textVar(int k) const { return textVars_.at(static_cast<std::size_t>(k - 1)); }

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    class RunDestination;

    static constexpr int kTitlePixels = 32;
    static constexpr int kSmallestTitlePixels = 12;

    void press(int button);

    AppWindows& app_;
    std::array<QPushButton*, 6> buttons_{};
    std::array<AutoLabel*, 6> textVars_{};
};
