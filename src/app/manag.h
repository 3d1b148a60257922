// The manager window: the program's main window, from which every piece of
// work begins. Its commands change the session and say which windows open;
// the one place that knows all windows opens them.
#pragma once

#include <QMainWindow>
#include <QString>
#include <functional>
#include <optional>

#include "recent_tests.h"

#include "window_services.h"

class QAction;
class QLabel;
class QMenu;
class QPushButton;

class TManag : public QMainWindow {
    Q_OBJECT
  public:
    explicit TManag(WindowServices& services);

    // "Редактор": a test chosen in the open dialog goes to the editor.
    void Editing();

    // A run, or the editor, for a file chosen without the open dialog:
    // dropped on this window or named on the command line.
    void runFile(const QString& name);
    // How many records wait for the results server, shown while any do.
    void showWaitingRecords(int waiting);
    void editFile(const QString& name);

    static constexpr const char* kHelpFile = "testhelp.hlp";

    // Asked before a command replaces or ends the work in other windows;
    // false keeps everything as it is. Without one, nothing is asked.
    void setLeaveCheck(std::function<bool()> check) { mayLeaveWork_ = std::move(check); }

  signals:
    // A new test: the preview and the editor open, this window goes.
    void newTestOpening();
    // A file chosen for editing: the editor opens, this window goes.
    void editingOpening();
    // A file chosen for a run: the editor and this window go, the test window opens.
    void runOpening();
    // The run's test has been read: it can be taken.
    void runLoaded();
    // A run's test could not be read: the failure has been told.
    void runFailed();
    void aboutRequested();
    // "Журнал результатов…": the results journal window opens.
    void journalRequested();
    // "Экспорт…": a test is handed out as a web page or a SCORM package.
    void exportRequested();
    // This window was closed: the program ends.
    void closed();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    // Handlers.
    void Creat();
    void Start();

    // "Файл" and "Помощь" with their items.
    void buildMenus();
    // The one open dialog of "Редактор" and "Запустить": it offers the name
    // chosen last, whichever command chose it.
    std::optional<QString> chooseTestFile();
    bool mayLeaveWork() const { return !mayLeaveWork_ || mayLeaveWork_(); }
    // A run of a file; one whose test cannot be read leaves no test window.
    void startRun(const QString& name);
    void showRecentTests();
    void openRecent(const RecentTests::Entry& entry);

    WindowServices& services_;
    RecentTests recent_;
    std::function<bool()> mayLeaveWork_;
    QLabel* Image1;
    QPushButton* Button1;
    QPushButton* Button2;
    QPushButton* Button3;
    QMenu* N1;
    QMenu* N2;
    QMenu* recentMenu_;
    QAction* N3;
    QAction* N4;
    QAction* N5;
    QAction* N6;
    QAction* N7;
    QAction* N8;
};
