// The operating system's dialogs and viewers, behind one interface, so that
// window tests answer them from a script and never wait on a modal dialog.
#pragma once

#include <QString>
#include <optional>

class QWidget;

class Platform {
  public:
    virtual ~Platform() = default;

    // File dialogs: the chosen name, or nothing when the user cancels.
    // The open dialog accepts a typed name that does not exist.
    virtual std::optional<QString> openTestFile(QWidget* parent, const QString& proposedName) = 0;
    virtual std::optional<QString> saveTestFile(QWidget* parent, const QString& proposedName) = 0;
    virtual std::optional<QString> saveResultFile(QWidget* parent, const QString& proposedName) = 0;

    // The error box: application-modal, stop icon, caption "Quorvane", one OK.
    virtual void showError(const QString& message) = 0;
    // The information box: caption "Information", information icon, one OK.
    virtual void showInformation(const QString& message) = 0;
    // A question with the buttons "Да" and "Нет"; true for "Да". "Нет" is
    // the default, and closing the box answers it too.
    virtual bool askYesNo(const QString& question) = 0;
    // A question with the buttons "Да", "Нет" and "Отмена" ("Да" the default;
    // Esc and closing the box answer "Отмена").
    enum class Answer { Yes, No, Cancel };
    virtual Answer askYesNoCancel(const QString& question) = 0;
    // Opens a help file at its contents; the viewer reports its own troubles.
    virtual void showHelp(const QString& helpFileName) = 0;
    // The name a run is recorded under in the results journal (caption
    // "Журнал результатов"; an empty name is allowed), or nothing when the
    // person chooses to take the test without recording it.
    virtual std::optional<QString> askTakerName(QWidget* parent) = 0;
    // A folder chosen in the folder dialog, starting at `current`.
    virtual std::optional<QString> chooseFolder(QWidget* parent, const QString& current) = 0;
    // The save dialog of the journal's export: a spreadsheet (.xlsx) first, CSV second.
    virtual std::optional<QString> saveCsvFile(QWidget* parent, const QString& proposedName) = 0;
    // The save dialog of an export: a web page (.html) or, for `package`, a
    // SCORM package (.zip).
    virtual std::optional<QString> saveExportFile(QWidget* parent, const QString& proposedName,
                                                  bool package) = 0;
};
