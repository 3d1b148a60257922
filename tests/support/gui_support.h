// What the window tests, the benchmarks and the screenshot tool share: a
// platform whose dialogs answer from a script, a fresh program with its
// windows, test files in a scratch folder, and the windows' controls found
// by the names the windows give them.
#pragma once

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
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

class JournalWindow;

class FakePlatform : public Platform {
  public:
    // Answers for the next dialogs, in order; nothing queued means "cancel"
    // (and "Нет" for a question).
    std::deque<std::optional<QString>> openAnswers;
    std::deque<std::optional<QString>> saveTestAnswers;
    std::deque<std::optional<QString>> saveResultAnswers;
    std::deque<bool> yesNoAnswers;
    std::deque<Answer> yesNoCancelAnswers;  // nothing queued answers "Нет"

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
    Answer askYesNoCancel(const QString& question) override;
    void showHelp(const QString& helpFileName) override;

    // The journal's dialogs: the taker's names (nothing queued: "Отмена"),
    // folders and CSV files chosen, and how often the name was asked.
    std::deque<std::optional<QString>> takerNameAnswers;
    std::deque<std::optional<QString>> folderAnswers;
    std::deque<std::optional<QString>> saveCsvAnswers;
    int takerNameQuestions = 0;
    std::optional<QString> askTakerName(QWidget* parent) override;
    std::optional<QString> chooseFolder(QWidget* parent, const QString& current) override;
    std::optional<QString> saveCsvFile(QWidget* parent, const QString& proposedName) override;

    // Export save dialogs: the answers, and the names and kinds proposed.
    std::deque<std::optional<QString>> saveExportAnswers;
    QStringList saveExportProposals;
    std::optional<QString> saveExportFile(QWidget* parent, const QString& proposedName,
                                          bool package) override;
};

// A fresh program: the six windows with the manager shown, as at start-up.
struct Program {
    // `realQuit`: "Выход" ends the event loop as in the program, instead of
    // being counted in quitRequests. The windows are made as the program
    // makes them: the manager at once, each other one when first needed.
    explicit Program(bool realQuit = false);
    ~Program();

    FakePlatform platform;
    int quitRequests = 0;
    std::unique_ptr<AppWindows> windows;
    QTemporaryDir folder;

    qv::Session& session() { return windows->session(); }
    // The results journal's window, once it has been opened; null before.
    JournalWindow* journalWindow() const;

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
// The worked example's lines, UTF-8.
std::vector<std::string> exampleLines();
// The bytes of lines each ended by CR LF, converted to Windows-1251.
QByteArray fileBytes(const std::vector<std::string>& utf8Lines);

// The controls of a window, by the object names the windows give them; a
// name that no control has ends the test program with a message.
namespace ctl {

QWidget* find(const QWidget* window, const QString& name);

template <typename T>
T* as(const QWidget* window, const QString& name) {
    auto* control = qobject_cast<T*>(find(window, name));
    if (!control)
        qFatal("%s in %s is not of the kind asked for", qPrintable(name),
               qPrintable(window->objectName()));
    return control;
}

inline QPushButton* button(const QWidget* w, const QString& name) {
    return as<QPushButton>(w, name);
}
// "Button1".."Button6" of the test window, and the like.
inline QPushButton* button(const QWidget* w, int k) {
    return button(w, QString("Button%1").arg(k));
}
inline QLineEdit* edit(const QWidget* w, const QString& name) {
    return as<QLineEdit>(w, name);
}
// "Kball3", "v2", "EdButt4": a numbered field.
inline QLineEdit* edit(const QWidget* w, const QString& stem, int k) {
    return edit(w, stem + QString::number(k));
}
inline QLabel* label(const QWidget* w, const QString& name) {
    return as<QLabel>(w, name);
}
inline QLabel* label(const QWidget* w, const QString& stem, int k) {
    return label(w, stem + QString::number(k));
}
inline QPlainTextEdit* memo(const QWidget* w, const QString& name) {
    return as<QPlainTextEdit>(w, name);
}
inline QComboBox* combo(const QWidget* w, const QString& name) {
    return as<QComboBox>(w, name);
}
inline QRadioButton* radio(const QWidget* w, const QString& name) {
    return as<QRadioButton>(w, name);
}
QAction* action(const QWidget* window, const QString& name);

}  // namespace ctl
