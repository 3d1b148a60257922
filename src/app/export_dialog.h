// The manager's "Экспорт…" dialog, which hands a test out from the program.
#pragma once

#include <QDialog>
#include <QString>

class QKeyEvent;
class QPushButton;
class QRadioButton;
struct WindowServices;

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
