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
    // Opens a help file at its contents; the viewer reports its own troubles.
    virtual void showHelp(const QString& helpFileName) = 0;
};
