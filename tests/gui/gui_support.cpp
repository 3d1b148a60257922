#include "gui_support.h"

#include <QApplication>
#include <QFile>
#include <QWidget>

#include "ab.h"
#include "cp1251.h"
#include "encoding.h"
#include "errorform.h"
#include "manag.h"
#include "redactor.h"
#include "resform.h"
#include "userform.h"

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

void FakePlatform::showInformation(const QString& message) { informations << message; }

bool FakePlatform::askYesNo(const QString& question) {
    questions << question;
    if (yesNoAnswers.empty()) return false;
    const bool answer = yesNoAnswers.front();
    yesNoAnswers.pop_front();
    return answer;
}

void FakePlatform::showHelp(const QString& helpFileName) { helpRequests << helpFileName; }

Program::Program(bool realQuit) {
    windows = realQuit ? std::make_unique<AppWindows>(platform)
                       : std::make_unique<AppWindows>(platform, [this] { ++quitRequests; });
    showWindow(windows->Manag);
}

Program::~Program() = default;

QString Program::path(const QString& name) const { return folder.filePath(name); }

std::string cp(const char* utf8) { return qv::cp1251::fromUtf8(utf8); }

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
    return {
        "Info=(2\x05" "3\x05" "3)",
        "Title=(Проверка знаний\x05Неизвестен\x05Тест)",
        "Buttons=(Да\x05Нет\x05Не знаю)",
        "Questions:",
        "Земля круглая?",
        "Луна больше Земли?",
        "Variants: all",
        "Верно",
        "Неверно",
        "Затрудняюсь ответить",
        "Больше",
        "Меньше",
        "Не знаю",
        "Numbers:",
        "2,0,1,0,2,1,",
        "Message:",
        "=0-2",
        "Стоит повторить материал.",
        "=3-4",
        "Хороший результат.",
        "$",
    };
}

QString Program::writeExample(const QString& name) const { return writeTest(name, exampleLines()); }

QByteArray Program::bytes(const QString& path) {
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly)) return {};
    return in.readAll();
}

QStringList Program::visibleWindows() const {
    QStringList names;
    for (QWidget* w : std::initializer_list<QWidget*>{windows->Manag, windows->Redactor, windows->UserForm,
                                                      windows->ResForm, windows->ErrorForm, windows->AB}) {
        if (w->isVisible()) names << w->objectName();
    }
    return names;
}
