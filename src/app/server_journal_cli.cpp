#include "server_journal_cli.h"

#include <algorithm>
#include <sstream>

#include "encoding.h"
#include "errors.h"
#include "pg_journal_store.h"
#include "writer.h"

#if __has_include("journal_xlsx.h")
#include "journal_xlsx.h"
#endif

int setupServerJournal(const QString& target, std::FILE* out, std::FILE* err) {
    qv::ServerJournal server(target.toStdString());
    if (const std::string problem = server.setup(); !problem.empty()) {
        std::fprintf(err, "quorvane: %s\n", qv::terminalText(problem).c_str());
        return 2;
    }
    const std::string text = "Таблицы журнала на сервере готовы (версия " +
                             std::to_string(qv::kServerJournalVersion) +
                             ").\nРоли для компьютеров и для учителей создайте так (psql, от имени "
                             "владельца базы):\n\n" +
                             qv::serverRolesSql(server.databaseName());
    std::fwrite(text.data(), 1, text.size(), out);
    std::fflush(out);
    return 0;
}

int exportServerJournal(const QString& target, const QString& file, std::FILE* out,
                        std::FILE* err) {
    qv::ServerJournal server(target.toStdString());
    qv::JournalContents contents = server.readAll();
    if (!contents.folderProblem.empty()) {
        // The server's own words may hold anything: shown, never sent to the terminal.
        std::fprintf(err, "quorvane: %s\n", qv::terminalText(contents.folderProblem).c_str());
        return 2;
    }
    std::ostringstream csv;
    qv::writeJournalCsv(contents.records, csv);
    const std::string bytes = csv.str();
    if (file.isEmpty()) {
        std::fwrite(bytes.data(), 1, bytes.size(), out);
        std::fflush(out);
        return 0;
    }
#if __has_include("journal_xlsx.h")
    if (file.endsWith(QStringLiteral(".xlsx"), Qt::CaseInsensitive)) {
        const std::string problem = qv::writeJournalXlsx(contents.records, fileNameBytes(file));
        if (problem.empty()) return 0;
        std::fprintf(err, "quorvane: %s\n", qv::terminalText(problem).c_str());
        return 2;
    }
#endif
    try {
        qv::writeBytes(fileNameBytes(file), bytes);
    } catch (const qv::Exception& failure) {
        std::fprintf(err, "quorvane: файл «%s» не удалось записать: %s\n",
                     file.toUtf8().constData(), toQt(failure.message()).toUtf8().constData());
        return 2;
    }
    return 0;
}
