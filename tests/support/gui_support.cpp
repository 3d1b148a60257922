#include "gui_support.h"

#include <QApplication>
#include <QFile>
#include <QWidget>

#include "core_support.h"
#include "cp1251.h"
#include "journal_window.h"
#include "results_and_export.h"
#include "window_frames.h"

namespace {
std::optional<QString> take(std::deque<std::optional<QString>>& answers) {
    std::optional<QString> answer;
    if (!answers.empty()) {
        answer.swap(answers.front());
        answers.pop_front();
    }
    return answer;
}
}  // namespace

std::optional<QString> FakePlatform::openTestFile(QWidget*, const QString& proposedName) {
    openProposals << proposedName;
    return take(openAnswers);
}

std::optional<QString> FakePlatform::saveTestFile(QWidget*, const QString& proposedName) {
    saveTestProposals << proposedName;
    return take(saveTestAnswers);
}

std::optional<QString> FakePlatform::saveResultFile(QWidget*, const QString& proposedName) {
    saveResultProposals << proposedName;
    return take(saveResultAnswers);
}

void FakePlatform::showError(const QString& message) {
    errors << message;
    activeAtError.push_back(QApplication::activeWindow());
}

void FakePlatform::showInformation(const QString& message) {
    informations << message;
}

bool FakePlatform::askYesNo(const QString& question) {
    questions << question;
    if (yesNoAnswers.empty()) return false;
    const bool answer = yesNoAnswers.front();
    yesNoAnswers.pop_front();
    return answer;
}

Platform::Answer FakePlatform::askYesNoCancel(const QString& question) {
    questions << question;
    if (yesNoCancelAnswers.empty()) return Answer::No;
    const Answer answer = yesNoCancelAnswers.front();
    yesNoCancelAnswers.pop_front();
    return answer;
}

void FakePlatform::showHelp(const QString& helpFileName) {
    helpRequests << helpFileName;
}

std::optional<QString> FakePlatform::askTakerName(QWidget*) {
    ++takerNameQuestions;
    return take(takerNameAnswers);
}

std::optional<QString> FakePlatform::chooseFolder(QWidget*, const QString&) {
    return take(folderAnswers);
}

std::optional<QString> FakePlatform::saveCsvFile(QWidget*, const QString&) {
    return take(saveCsvAnswers);
}

std::optional<QString> FakePlatform::saveExportFile(QWidget*, const QString& proposedName,
                                                    bool package) {
    saveExportProposals << (package ? "zip: " : "html: ") + proposedName;
    return take(saveExportAnswers);
}

Program::Program(bool realQuit) {
    // The settings a program keeps between starts (recent tests, the folder
    // used last) go to this program's scratch folder, never the user's.
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(path("config")));
    // The journal's and the export's parts are linked in, not loaded.
    useLinkedResultsAndExport(linkedResultsAndExport());
    windows = realQuit ? std::make_unique<AppWindows>(platform, AppWindows::endEventLoop)
                       : std::make_unique<AppWindows>(platform, [this] { ++quitRequests; });
    showWindow(windows->all().front());  // the manager, as at start-up
}

Program::~Program() = default;

JournalWindow* Program::journalWindow() const {
    return qobject_cast<JournalWindow*>(windows->openedJournalWindow());
}

QString Program::path(const QString& name) const {
    return folder.filePath(name);
}

std::string cp(const char* utf8) {
    return qv::cp1251::fromUtf8(utf8);
}

QByteArray fileBytes(const std::vector<std::string>& utf8Lines) {
    QByteArray bytes;
    for (const auto& line : utf8Lines) {
        const std::string converted = qv::cp1251::fromUtf8(line);
        bytes.append(converted.data(), static_cast<qsizetype>(converted.size()));
        bytes.append("\r\n");
    }
    return bytes;
}

QString Program::writeTest(const QString& name, const std::vector<std::string>& utf8Lines) const {
    const QString file = path(name);
    QFile out(file);
    if (!out.open(QIODevice::WriteOnly)) return {};
    out.write(fileBytes(utf8Lines));
    return file;
}

std::vector<std::string> exampleLines() {
    std::vector<std::string> lines;
    for (const auto& line : qvtest::workedExampleLines()) lines.push_back(qv::cp1251::toUtf8(line));
    return lines;
}

QString Program::writeExample(const QString& name) const {
    const QString file = path(name);
    QFile::remove(file);
    return QFile::copy(QString::fromStdString(qvtest::workedExamplePath()), file) ? file
                                                                                  : QString();
}

QByteArray Program::bytes(const QString& path) {
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly)) return {};
    return in.readAll();
}

QStringList Program::visibleWindows() const {
    QStringList names;
    for (QWidget* w : windows->all()) {
        if (w->isVisible()) names << w->objectName();
    }
    return names;
}

namespace ctl {

QWidget* find(const QWidget* window, const QString& name) {
    if (!window) qFatal("no window to look for %s in", qPrintable(name));
    auto* control = window->findChild<QWidget*>(name);
    if (!control)
        qFatal("%s has no control %s", qPrintable(window->objectName()), qPrintable(name));
    return control;
}

QAction* action(const QWidget* window, const QString& name) {
    auto* item = window->findChild<QAction*>(name);
    if (!item) qFatal("%s has no menu item %s", qPrintable(window->objectName()), qPrintable(name));
    return item;
}

}  // namespace ctl
