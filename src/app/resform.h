// The result window: shows the chosen result block and saves it as a text file.
#pragma once

#include <QStringList>
#include <QWidget>
#include <string>
#include <vector>

#include "window_services.h"

class AutoLabel;
class QPlainTextEdit;
class QPushButton;

class TResForm : public QWidget {
    Q_OBJECT
  public:
    explicit TResForm(WindowServices& services);

    // Adds the session's result lines (an empty line, then the block) to the
    // memo, before the window is shown: what appears is read out whole.
    void showResult();

    static constexpr const char* kFirstResultName = "Результат тестирования";
    static constexpr int kClientWidth = 497;
    static constexpr int kClientHeight = 526;

  signals:
    // "Закрыть": this window goes, the manager opens.
    void closing();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    // Handlers.
    void saveres();
    void CloseTest();
    // On a screen too low for the window the result text gives up height,
    // and the buttons below it stay on the screen.
    void fitToScreen();

    WindowServices& services_;
    QString SDresName_;  // what the save dialog proposes: the name chosen last
    // The files this result was saved to: saved again without a question.
    std::vector<std::string> savedHere_;
    AutoLabel* Label1;
    QPlainTextEdit* Memo1;
    QPushButton* Button1;
    QPushButton* Button3;
};
