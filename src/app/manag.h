// The manager window: the program's main window, from which every piece of
// work begins. It owns the name the editor's save proposes, the message lines
// of the test loaded for a run, and the test-file loader.
#pragma once

#include <QMainWindow>
#include <QString>

#include "document.h"
#include "loader.h"

class AppWindows;
class QAction;
class QLabel;
class QMenu;
class QPushButton;

class TManag : public QMainWindow {
    Q_OBJECT
public:
    explicit TManag(AppWindows& app);

    // Handlers.
    void Creat();
    void Editing();
    void Start();
    void N3Click();
    void N7Click();
    void N8Click();

    // The test-file reading methods.
    void Nextln() { loader.Nextln(); }
    void dmassiv() { loader.dmassiv(); }

    QString CurrentFileName;
    // The file last opened for editing when its load failed: the editor does
    // not show what it holds, so a save over it asks first.
    QString FailedEditFile;
    qv::MessageLines MessageLines;
    qv::TestLoader loader;

    QLabel* Image1;
    QPushButton* Button1;
    QPushButton* Button2;
    QPushButton* Button3;
    QMenu* N1;
    QMenu* N2;
    QAction* N3;
    QAction* N4;
    QAction* N5;
    QAction* N6;
    QAction* N7;
    QAction* N8;

    static constexpr const char* kHelpFile = "testhelp.hlp";

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // The one open dialog of "Редактор" and "Запустить": it offers the name
    // chosen last, whichever command chose it.
    std::optional<QString> chooseTestFile();

    AppWindows& app_;
    QString lastOpenedName_;
};
