// Handing a test out from the program: the folder the page's parts are
// installed in, the command line's export, and the manager's "Экспорт…" dialog.
#pragma once

#include <QDialog>
#include <QString>
#include <cstdio>

struct CommandLine;
class QKeyEvent;
class QPushButton;
class QRadioButton;
struct WindowServices;

// The page's parts: in $QUORVANE_WEB_DIR, beside the program (the build
// tree) or in the installed data folder; empty when none has them.
QString webPartsFolder();

// --export-web and --export-scorm: the check's lines as --check prints them,
// then the export. The status is the check's (0 clean, 1 problems, 2 the test
// or a part could not be read, or the output not written).
int exportFromCommandLine(const CommandLine& line, std::FILE* out, std::FILE* err);

// Asks how to hand the chosen test out: a web page, a SCORM package, or the
// author's key to print, and says that a page and a package carry the test's
// points; "Сохранить…" asks where, writes it and tells what was written and
// what the check found. F1 opens the help; the access keys work in a Latin
// keyboard layout too.
class ExportDialog : public QDialog {
    Q_OBJECT
  public:
    ExportDialog(WindowServices& services, const QString& testFile, QWidget* parent);

    // The export as chosen, to the file the save dialog gives; false when
    // that dialog is cancelled.
    bool exportChosen();

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    WindowServices& services_;
    QString testFile_;
    QRadioButton* page_ = nullptr;
    QRadioButton* package_ = nullptr;
    QRadioButton* key_ = nullptr;
    QPushButton* save_ = nullptr;
};
