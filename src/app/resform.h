// The result window: shows the chosen result block and saves it as a text file.
#pragma once

#include <QStringList>
#include <QWidget>

#include "window_services.h"

class AutoLabel;
class QPlainTextEdit;
class QPushButton;

class TResForm : public QWidget {
    Q_OBJECT
  public:
    explicit TResForm(WindowServices& services);

    // Adds the session's result lines (an empty line, then the block) to the memo.
    void showResult();

    static constexpr const char* kFirstResultName = "Результат тестирования";

  signals:
    // "Закрыть": this window goes, the manager opens.
    void closing();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    // Handlers.
    void saveres();
    void CloseTest();

    WindowServices& services_;
    QString SDresName_;  // what the save dialog proposes: the name chosen last
    AutoLabel* Label1;
    QPlainTextEdit* Memo1;
    QPushButton* Button1;
    QPushButton* Button3;
};
