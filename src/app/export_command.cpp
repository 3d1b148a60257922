#include "export_command.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <sstream>

#include "command_line.h"
#include "cp1251.h"
#include "encoding.h"
#include "errors.h"
#include "journal.h"
#include "journal_xlsx.h"
#include "web_export.h"
#include "writer.h"

#ifndef QV_INSTALLED_DATA_DIR
#define QV_INSTALLED_DATA_DIR "/usr/share/quorvane"
#endif

QString webPartsFolder() {
    for (const QString& folder :
         {qEnvironmentVariable("QUORVANE_WEB_DIR"), QCoreApplication::applicationDirPath() + "/web",
          QStringLiteral(QV_INSTALLED_DATA_DIR "/web")}) {
        if (folder.isEmpty()) continue;
        if (QFileInfo(QDir(folder), "page.html").isFile()) return folder;
    }
    return {};
}

std::string partsFolderBytes() {
    const QString folder = webPartsFolder();
    return fileNameBytes(folder.isEmpty() ? QStringLiteral(QV_INSTALLED_DATA_DIR "/web") : folder);
}

int exportFromCommandLine(const CommandLine& line, std::FILE* out, std::FILE* err) {
    const QString& test = line.files.front();
    int status = checkTestFiles({test}, out);
    if (status == 2) return status;
    qv::ExportOptions options;
    options.kind = line.printKey        ? qv::ExportKind::AnswerKey
                   : line.exportPackage ? qv::ExportKind::ScormPackage
                                        : qv::ExportKind::WebPage;
    try {
        const std::string written = qv::exportTest(fileNameBytes(test), fileNameBytes(line.output),
                                                   partsFolderBytes(), options);
        std::fprintf(out, "%s: записано в %s\n", test.toUtf8().constData(),
                     fileNameText(written).toUtf8().constData());
    } catch (const qv::Exception& e) {
        std::fprintf(err, "quorvane: %s\n",
                     qv::cp1251::toUtf8(qv::withFullStop(e.message())).c_str());
        status = 2;
    }
    std::fflush(out);
    return status;
}

int exportJournal(const QString& folder, const QString& csvFile, std::FILE* out, std::FILE* err) {
    // Names and texts come from a shared folder: control characters are shown, never sent.
    const auto tell = [err](const std::string& text) {
        const std::string line = "quorvane: " + qv::terminalText(text) + "\n";
        std::fwrite(line.data(), 1, line.size(), err);
    };
    const std::string folderBytes = fileNameBytes(folder);
    qv::JournalContents contents = qv::readJournalFolder(folderBytes);
    if (!contents.folderProblem.empty()) {
        tell(contents.folderProblem);
        return 2;
    }
    for (const auto& skipped : contents.skipped) tell(skipped);
    std::stable_sort(contents.records.begin(), contents.records.end(),
                     [](const auto& a, const auto& b) { return a.takenAtUnix < b.takenAtUnix; });
    qv::checkRecordsAgainstTests(contents.records, qv::testFilesIn(folderBytes));
    const int status = contents.skippedFiles || contents.unreadableRecords ? 1 : 0;
    if (csvFile.isEmpty()) {
        std::ostringstream csv;
        qv::writeJournalCsv(contents.records, csv);
        const std::string bytes = csv.str();
        std::fwrite(bytes.data(), 1, bytes.size(), out);
        std::fflush(out);
        return status;
    }
    const QString where = QFileInfo(csvFile).absoluteFilePath();
    std::string problem;
    if (!QFileInfo(where).absoluteDir().exists()) {
        problem = "Файл «" + where.toStdString() + "» не удалось записать: такой папки нет.";
    } else if (csvFile.endsWith(".xlsx", Qt::CaseInsensitive)) {
        problem = qv::writeJournalXlsx(contents.records, fileNameBytes(csvFile));
    } else {
        std::ostringstream csv;
        qv::writeJournalCsv(contents.records, csv);
        try {
            qv::writeBytes(fileNameBytes(csvFile), csv.str());
        } catch (const qv::Exception& failure) {
            problem = "Файл «" + where.toStdString() +
                      "» не удалось записать: " + toQt(failure.message()).toStdString();
        }
    }
    if (!problem.empty()) {
        tell(problem);
        return 2;
    }
    tell("Записей: " + std::to_string(contents.records.size()) + "; журнал записан в «" +
         where.toStdString() + "».");
    return status;
}
