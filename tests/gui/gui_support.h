// What the window tests share: a platform whose dialogs answer from a script,
// a fresh set of windows per test, and test files in a scratch folder.
#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app_windows.h"
#include "platform.h"
#include "widgets.h"

class FakePlatform : public Platform {
public:
    // Answers for the next dialogs, in order; nothing queued means "cancel".
    std::deque<std::optional<QString>> openAnswers;
    std::deque<std::optional<QString>> saveTestAnswers;
    std::deque<std::optional<QString>> saveResultAnswers;
    std::deque<bool> yesNoAnswers;  // nothing queued means "Нет"

    // What the program asked and showed.
    QStringList openProposals;
    QStringList saveTestProposals;
    QStringList saveResultProposals;
    QStringList errors;
    QStringList informations;
    QStringList questions;
    QStringList helpRequests;
    // The window that was active when each error box was shown.
    std::vector<QWidget*> activeAtError;

    std::optional<QString> openTestFile(QWidget* parent, const QString& proposedName) override;
    std::optional<QString> saveTestFile(QWidget* parent, const QString& proposedName) override;
    std::optional<QString> saveResultFile(QWidget* parent, const QString& proposedName) override;
    void showError(const QString& message) override;
    void showInformation(const QString& message) override;
    bool askYesNo(const QString& question) override;
    void showHelp(const QString& helpFileName) override;
};

// A fresh program: the six windows with the manager shown, as at start-up.
struct Program {
    // `realQuit`: "Выход" ends the event loop as in the program, instead of
    // being counted in quitRequests.
    explicit Program(bool realQuit = false);
    ~Program();

    FakePlatform platform;
    int quitRequests = 0;
    std::unique_ptr<AppWindows> windows;
    QTemporaryDir folder;

    // A path in the scratch folder.
    QString path(const QString& name) const;
    // Writes lines (UTF-8 literals, converted to Windows-1251) with CR LF after each.
    QString writeTest(const QString& name, const std::vector<std::string>& utf8Lines) const;
    // The worked example: two questions, three buttons, two result blocks.
    QString writeExample(const QString& name = "example.tst") const;
    // The exact bytes of a file.
    static QByteArray bytes(const QString& path);

    // The names of the visible windows among the six, for flow checks.
    QStringList visibleWindows() const;
};

// Windows-1251 bytes of a UTF-8 literal.
std::string cp(const char* utf8);
// The example's lines, UTF-8.
std::vector<std::string> exampleLines();
// The bytes of lines each ended by CR LF, converted to Windows-1251.
QByteArray fileBytes(const std::vector<std::string>& utf8Lines);
