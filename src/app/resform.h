// The result window: shows the chosen result block and saves it as a text file.
#pragma once

#include <QStringList>
#include <QWidget>

class AppWindows;
class AutoLabel;
class QPlainTextEdit;
class QPushButton;

class TResForm : public QWidget {
    Q_OBJECT
public:
    explicit TResForm(AppWindows& app);

    // Adds the result lines (an empty line, then the block) to the memo.
    void showResult(const QStringList& lines);

    // Handlers.
    void saveres();
    void CloseTest();

    AutoLabel* Label1;
    QPlainTextEdit* Memo1;
    QPushButton* Button1;
    QPushButton* Button3;

    static constexpr const char* kFirstResultName = "Результат тестирования";

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    AppWindows& app_;
    QString SDresName_;  // what the save dialog proposes: the name chosen last
};
