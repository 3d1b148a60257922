#include "command_line.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <optional>
#include <sstream>

#include "checker.h"
#include "cp1251.h"
#include "encoding.h"
#include "errors.h"
#include "file_loading.h"
#include "pg_journal_store.h"
#include "results_and_export.h"
#include "writer.h"

namespace {

// The program's options, each declared once on the parser.
struct Options {
    QCommandLineOption help;
    QCommandLineOption version;
    QCommandLineOption edit{{"e", "edit"},
                            "Открыть файл теста в редакторе, как по команде «Редактор»; без файла "
                            "редактор откроет тест, выбранный в окне открытия файла."};
    QCommandLineOption check{
        {"c", "check"},
        "Проверить файлы тестов перед тем, как их раздавать, и вывести по строке на каждую "
        "найденную проблему. "
        "Код возврата: 0, если проблем нет, 1, если они есть, 2, если файл не удалось прочитать."};
    QCommandLineOption journal{
        "journal",
        "Записывать в журнал результатов в этой папке (или на сервере: postgresql://…) каждое "
        "прохождение, только при этом запуске.",
        "папка"};
    QCommandLineOption journalExport{
        "journal-export",
        "Вывести журнал результатов из этой папки (или с сервера: postgresql://…) в формате CSV (в "
        "файл -o или на экран) или, "
        "если имя файла -o кончается на .xlsx, электронной таблицей. Код возврата: 0; 1, если "
        "какие-то файлы или записи журнала пропущены (они названы); 2, если папку не удалось "
        "прочитать или файл -o записать.",
        "папка"};
    QCommandLineOption journalSetup{
        "journal-setup",
        "Создать на сервере PostgreSQL (адрес postgresql://…) таблицы журнала результатов и "
        "вывести SQL двух ролей: для компьютеров, которые только добавляют записи, и для "
        "учителей, которые их читают. Можно запускать повторно. Код возврата: 0, или 2, если "
        "не удалось.",
        "адрес"};
    QCommandLineOption exportWeb{
        "export-web",
        "Сохранить тест как веб-страницу (.html): один файл, который открывается в любом браузере, "
        "на компьютере и на телефоне, без сети."};
    QCommandLineOption exportScorm{
        "export-scorm",
        "Сохранить тест как пакет SCORM 1.2 (.zip) для систем дистанционного обучения "
        "(Moodle и других)."};
    QCommandLineOption output{
        {"o", "output"}, "Куда сохранить страницу, пакет, ключ или таблицу журнала.", "файл"};
    QCommandLineOption printKey{
        "print-key",
        "Сохранить ключ для автора (.html, для печати): баллы каждой кнопки и диапазоны с "
        "сообщениями. Ключ не кладут в страницу или пакет: их открывают проходящие."};

    QCommandLineOption serve{
        "serve",
        "Провести тест в классе: компьютер раздаёт его по локальной сети, ученики открывают "
        "адрес (первая строка вывода) в браузере телефона или компьютера, каждый результат "
        "записывается в журнал результатов. Ctrl+C завершает."};
    QCommandLineOption port{"port", "Порт для --serve (по умолчанию 8080; 0 — любой свободный).",
                            "номер"};
    QCommandLineOption loopback{"loopback",
                                "С --serve: принимать подключения только с этого компьютера."};

    explicit Options(QCommandLineParser& parser)
        : help(parser.addHelpOption()), version(parser.addVersionOption()) {
        parser.setApplicationDescription(
            "Quorvane: составление и прохождение тестов.\n"
            "Без параметров открывается окно «Менеджер тестов». С файлом теста начинается его "
            "прохождение, "
            "как по команде «Запустить».");
        parser.addOptions({edit, check, journal, journalExport, journalSetup, exportWeb,
                           exportScorm, output, printKey});
        parser.addOptions({serve, port, loopback});
        acceptToolkitOptions(parser);
        parser.addPositionalArgument(
            "файл", "Файл теста (.tst); для --check их может быть несколько.", "[файл...]");
    }

    // The toolkit's own options ("-style fusion", "-platform offscreen"), which
    // the application object takes from the command line later: accepted and
    // not shown. They are words after a single dash.
    static void acceptToolkitOptions(QCommandLineParser& parser) {
        parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
        const auto accept = [&parser](const char* name, bool takesValue) {
            QCommandLineOption option(QString::fromLatin1(name));
            if (takesValue) option.setValueName(QString::fromLatin1(name));
            option.setFlags(QCommandLineOption::HiddenFromHelp);
            parser.addOption(option);
        };
        for (const char* name :
             {"platform", "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry",
              "qwindowicon", "qwindowtitle", "session", "display", "geometry", "name", "title",
              "style", "stylesheet", "qmljsdebugger"})
            accept(name, true);
        for (const char* name : {"reverse", "widgetcount", "nograb", "dograb", "sync"})
            accept(name, false);
    }
};

// What is wrong with a command line, which keeps what was read of it.
CommandLine wrong(CommandLine line, const QString& text) {
    line.action = CommandLine::Action::Wrong;
    line.text = text;
    return line;
}

// What the options that need no window ask for, if one of them is given.
std::optional<CommandLine> windowlessAction(const QCommandLineParser& parser, const Options& o,
                                            CommandLine line) {
    if (parser.isSet(o.help) || parser.isSet("help-all")) {
        line.action = CommandLine::Action::Help;
        // The help names the program as it was started, which needs the application object.
        if (QCoreApplication::instance()) line.text = parser.helpText();
        return line;
    }
    if (parser.isSet(o.version)) {
        line.action = CommandLine::Action::Version;
        line.text =
            QCoreApplication::applicationName() + ' ' + QCoreApplication::applicationVersion();
        return line;
    }
    if (parser.isSet(o.journalExport)) {
        if (!line.files.isEmpty() || parser.isSet(o.check) || parser.isSet(o.edit) ||
            parser.isSet(o.journal))
            return wrong(line, "С --journal-export указывают только папку журнала и -o.");
        line.action = CommandLine::Action::JournalExport;
        line.journalFolder = parser.value(o.journalExport);
        line.journalCsv = parser.value(o.output);
        return line;
    }
    if (parser.isSet(o.journalSetup)) {
        if (!line.files.isEmpty() || parser.isSet(o.check) || parser.isSet(o.edit) ||
            parser.isSet(o.journal) || parser.isSet(o.output))
            return wrong(line, "С --journal-setup указывают только адрес сервера.");
        line.action = CommandLine::Action::JournalSetup;
        line.journalFolder = parser.value(o.journalSetup);
        if (!qv::isServerJournal(line.journalFolder.toStdString()))
            return wrong(line, "Для --journal-setup укажите адрес сервера: postgresql://…");
        return line;
    }
    if (parser.isSet(o.serve)) {
        if (parser.isSet(o.check) || parser.isSet(o.edit) || parser.isSet(o.exportWeb) ||
            parser.isSet(o.exportScorm) || parser.isSet(o.printKey) || parser.isSet(o.output))
            return wrong(line,
                         "С --serve указывают только файл теста, --port, --loopback и --journal.");
        if (line.files.size() != 1) return wrong(line, "Укажите один файл теста для --serve.");
        if (parser.isSet(o.port)) {
            bool number = false;
            const uint port = parser.value(o.port).toUInt(&number);
            if (!number || port > 65535) return wrong(line, "Порт — число от 0 до 65535.");
            line.port = static_cast<quint16>(port);
        }
        line.loopbackOnly = parser.isSet(o.loopback);
        line.action = CommandLine::Action::Serve;
        return line;
    }
    if (parser.isSet(o.port) || parser.isSet(o.loopback))
        return wrong(line, "Параметры --port и --loopback относятся к --serve.");
    if (parser.isSet(o.exportWeb) || parser.isSet(o.exportScorm) || parser.isSet(o.printKey)) {
        if (parser.isSet(o.exportWeb) && parser.isSet(o.exportScorm))
            return wrong(line, "Параметры --export-web и --export-scorm нельзя указывать вместе.");
        // What a taker opens never holds the author's key.
        if (parser.isSet(o.printKey) && (parser.isSet(o.exportWeb) || parser.isSet(o.exportScorm)))
            return wrong(line,
                         "Ключ для автора нельзя класть в страницу или пакет: их открывают "
                         "проходящие тест. Сохраните ключ отдельно: --print-key файл.tst.");
        if (parser.isSet(o.check) || parser.isSet(o.edit))
            return wrong(line, "Экспорт нельзя совмещать с --check и --edit.");
        if (line.files.size() != 1) return wrong(line, "Укажите один файл теста для экспорта.");
        line.action = CommandLine::Action::Export;
        line.exportPackage = parser.isSet(o.exportScorm);
        line.output = parser.value(o.output);
        line.printKey = parser.isSet(o.printKey);
        return line;
    }
    if (parser.isSet(o.output))
        return wrong(line, "Параметр -o относится к --export-web, --export-scorm и --print-key.");
    if (parser.isSet(o.check)) {
        if (parser.isSet(o.edit))
            return wrong(line, "Параметры --check и --edit нельзя указывать вместе.");
        if (line.files.isEmpty())
            return wrong(line, "Укажите файлы тестов, которые нужно проверить.");
        line.action = CommandLine::Action::Check;
        return line;
    }
    return std::nullopt;
}

}  // namespace

CommandLine readCommandLine(const QStringList& arguments) {
    QCommandLineParser parser;
    const Options options(parser);
    if (!parser.parse(arguments)) return wrong({}, parser.errorText());
    CommandLine line;
    line.files = parser.positionalArguments();
    line.journalFolder = parser.value(options.journal);
    // A server's address holding a password is refused before it is kept anywhere.
    for (const QString& target : {line.journalFolder, parser.value(options.journalSetup),
                                  parser.value(options.journalExport)}) {
        // Read once the program's application object exists (the parts are
        // found beside the program).
        if (!qv::isServerJournal(target.toStdString()) || !QCoreApplication::instance()) continue;
        // A results server's address is read by the parts loaded for it.
        std::string problem;
        try {
            problem = resultsAndExport().serverAddressProblem(target.toStdString());
        } catch (const qv::Exception& failure) {
            problem = qv::cp1251::toUtf8(failure.message());
        }
        if (!problem.empty()) return wrong(line, QString::fromStdString(problem));
    }
    if (auto windowless = windowlessAction(parser, options, line)) return *windowless;
    if (line.files.size() > 1) {
        return wrong(line, QString("Можно указать только один файл теста, а указано %1: «%2».")
                               .arg(line.files.size())
                               .arg(line.files.join("», «")));
    }
    // --edit without a file (a desktop's "Редактировать" given none): the open dialog asks.
    if (parser.isSet(options.edit))
        line.action = CommandLine::Action::Edit;
    else
        line.action = line.files.isEmpty() ? CommandLine::Action::Start : CommandLine::Action::Run;
    return line;
}

int checkTestFiles(const QStringList& files, std::FILE* out) {
    int status = 0;
    for (const QString& file : files) {
        const std::string name = file.toStdString() + ": ";
        // Written whole: a zero byte in a name or a problem must not end the line early.
        const auto print = [&](const std::string& bytes) {
            const std::string line = name + qv::cp1251::toUtf8(bytes) + "\n";
            std::fwrite(line.data(), 1, line.size(), out);
        };
        if (QFileInfo(file).isDir()) {
            print(qv::cp1251::fromUtf8("это папка, а не файл теста"));
            status = 2;
            continue;
        }
        try {
            const qv::CheckReport report = qv::checkTest(fileNameBytes(file));
            for (const auto& warning : report.warnings)
                print(qv::cp1251::fromUtf8("предупреждение: ") + warning);
            if (report.clean()) {
                print(qv::cp1251::fromUtf8("проблем нет; ") + report.summary());
                continue;
            }
            for (const auto& problem : report.problems) print(problem);
            if (report.opens) print(report.summary());
            status = std::max(status, 1);
        } catch (const qv::EInOutError& e) {
            print(qv::cp1251::fromUtf8("файл не удалось прочитать: ") +
                  qv::withFullStop(e.message()));
            status = 2;
        }
    }
    std::fflush(out);
    return status;
}
