// The error window: shown instead of a result when no range line of the test
// holds the Score; it tells the Score and how range lines are written.
#pragma once

#include <QWidget>

#include "window_services.h"

class AutoLabel;
class QPushButton;

class TErrorForm : public QWidget {
    Q_OBJECT
  public:
    explicit TErrorForm(WindowServices& services);

    // Shows the session's Score.
    void showScore();

  signals:
    // "Хорошо": this window goes, the manager opens.
    void closing();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    // Handler.
    void StartRec();
    void updateSpokenMessage();

    WindowServices& services_;
    int scoreGap_ = 0;  // between the Score and the word after it
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
};
