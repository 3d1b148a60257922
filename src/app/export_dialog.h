// Handing a test out from the program: the folder the page's parts are
// installed in, the command line's export, and the manager's "Экспорт…" dialog.
#pragma once

#include <QDialog>
#include <QString>
#include <cstdio>

struct CommandLine;
class QCheckBox;
class QLabel;
class QRadioButton;
struct WindowServices;

// The page's parts: in $QUORVANE_WEB_DIR, beside the program (the build
// tree) or in the installed data folder; empty when none has them.
QString webPartsFolder();

// --export-web and --export-scorm: the check's lines as --check prints them,
// then the export. The status is the check's (0 clean, 1 problems, 2 the test
// or a part could not be read, or the output not written).
int exportFromCommandLine(const CommandLine& line, std::FILE* out, std::FILE* err);

// Asks how to hand the chosen test out: a web page, with or without the
// author's key in its printed copy, or a SCORM package; "Сохранить…" asks
// where, writes it and tells what was written and what the check found.
class ExportDialog : public QDialog {
    Q_OBJECT
  public:
    ExportDialog(WindowServices& services, const QString& testFile, QWidget* parent);

    // The export as chosen, to the file the save dialog gives; false when
    // that dialog is cancelled.
    bool exportChosen();

  private:
    WindowServices& services_;
    QString testFile_;
    QRadioButton* page_ = nullptr;
    QRadioButton* package_ = nullptr;
    QCheckBox* key_ = nullptr;
};
