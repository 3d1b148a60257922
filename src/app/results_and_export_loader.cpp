#include <QCoreApplication>
#include <QFileInfo>
#include <QLibrary>

#include "cp1251.h"
#include "errors.h"
#include "results_and_export.h"

#include <QStandardPaths>

#ifndef QV_INSTALLED_MODULE_DIR
#define QV_INSTALLED_MODULE_DIR "/usr/lib/quorvane"
#endif

namespace {

ResultsAndExport* loaded = nullptr;

[[noreturn]] void cannotLoad(const QString& why) {
    throw qv::Exception(qv::cp1251::fromUtf8(
        ("Не удалось загрузить часть программы, которая ведёт журнал результатов и экспорт: " + why)
            .toStdString()));
}

}  // namespace

QString serverQueueFile() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           "/quorvane/queue/results.sqlite";
}

void useLinkedResultsAndExport(ResultsAndExport& parts) {
    loaded = &parts;
}

ResultsAndExport& resultsAndExport() {
    if (loaded) return *loaded;
    const QString name = QString::fromLatin1(kResultsModuleFile);
    QString path;
    for (const QString& folder :
         {qEnvironmentVariable("QUORVANE_MODULE_DIR"), QCoreApplication::applicationDirPath(),
          QStringLiteral(QV_INSTALLED_MODULE_DIR)}) {
        if (!folder.isEmpty() && QFileInfo(folder + "/" + name).isFile()) {
            path = folder + "/" + name;
            break;
        }
    }
    if (path.isEmpty()) cannotLoad("файла «" + name + "» нет.");
    // Kept loaded until the program ends: its windows and records live as long.
    auto* library = new QLibrary(path);
    using Entry = ResultsAndExport* (*)();
    const auto entry = reinterpret_cast<Entry>(library->resolve(kResultsModuleEntry));
    if (!entry) cannotLoad(library->errorString() + ".");
    loaded = entry();
    return *loaded;
}
