// The error window: shown instead of a result when no range line of the test
// holds the Score; it tells the Score and how range lines are written.
#pragma once

#include <QWidget>
#include <cstdint>

class AppWindows;
class AutoLabel;
class QPushButton;

class TErrorForm : public QWidget {
    Q_OBJECT
public:
    explicit TErrorForm(AppWindows& app);

    void showScore(std::int32_t score);

    // Handler.
    void StartRec();

    AutoLabel* Label1;
    AutoLabel* Label2;
    AutoLabel* Label3;
    AutoLabel* Label4;
    AutoLabel* Label5;
    AutoLabel* Label6;
    AutoLabel* Label7;
    AutoLabel* Label8;
    AutoLabel* Label9;
    QPushButton* Button1;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void updateSpokenMessage();

    AppWindows& app_;
    int scoreGap_ = 0;  // between the Score and the word after it
};
