// The real dialogs, message boxes and help viewer.
#pragma once

#include <QPointer>
#include <QStringList>

#include "platform.h"

class HelpViewer;

class QtPlatform : public Platform {
  public:
    QtPlatform();
    ~QtPlatform() override;

    // Russian texts and formats for the toolkit's own dialogs and no
    // settings of its own; once, after the application object exists.
    static void prepareToolkit();

    std::optional<QString> openTestFile(QWidget* parent, const QString& proposedName) override;
    std::optional<QString> saveTestFile(QWidget* parent, const QString& proposedName) override;
    std::optional<QString> saveResultFile(QWidget* parent, const QString& proposedName) override;
    void showError(const QString& message) override;
    void showInformation(const QString& message) override;
    bool askYesNo(const QString& question) override;
    Answer askYesNoCancel(const QString& question) override;
    void showHelp(const QString& helpFileName) override;
    std::optional<QString> askTakerName(QWidget* parent) override;
    std::optional<QString> chooseFolder(QWidget* parent, const QString& current) override;
    std::optional<QString> saveCsvFile(QWidget* parent, const QString& proposedName) override;
    std::optional<QString> saveExportFile(QWidget* parent, const QString& proposedName,
                                          bool package) override;

  private:
    QPointer<HelpViewer> helpViewer_;
};
