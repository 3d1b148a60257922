#include "run_journal.h"

#include <QDir>
#include <QStandardPaths>
#include <QSysInfo>

#include "cp1251.h"
#include "encoding.h"
#include "errors.h"
#include "pg_journal_store.h"
#include "platform.h"
#include "program_settings.h"
#include "results_and_export.h"
#include "session.h"

namespace {

const QString kRecordingKey = QStringLiteral("journal/recording");
const QString kFolderKey = QStringLiteral("journal/folder");

// Makes the journal's folder; a results server's address names none.
std::string makeJournalFolder(const QString& place) {
    if (qv::isServerJournal(place.toStdString())) return {};
    try {
        return resultsAndExport().createJournalFolder(fileNameBytes(place));
    } catch (const qv::Exception& failure) {
        return qv::cp1251::toUtf8(failure.message());
    }
}

}  // namespace

RunJournal::RunJournal(Platform& platform) : platform_(platform) {
    const QSettings settings = programSettings();
    recording_ = settings.value(kRecordingKey, false).toBool();
    folder_ = settings.value(kFolderKey, defaultFolder()).toString();
}

RunJournal::~RunJournal() = default;

QString RunJournal::defaultFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           "/quorvane/journal";
}

QString RunJournal::computerName() {
    return QSysInfo::machineHostName();
}

QString RunJournal::configFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + "/quorvane";
}

void RunJournal::save() const {
    if (forThisStart_) return;
    QSettings settings = programSettings();
    settings.setValue(kRecordingKey, recording_);
    settings.setValue(kFolderKey, folder_);
}

QString RunJournal::setRecording(bool on) {
    recording_ = on;
    save();
    toldFolderMissing_ = false;
    return on ? QString::fromStdString(makeJournalFolder(folder_)) : QString();
}

QString RunJournal::setFolder(const QString& folder) {
    if (folder != folder_) recorder_.reset();
    folder_ = folder;
    save();
    toldFolderMissing_ = false;
    return QString::fromStdString(makeJournalFolder(folder_));
}

void RunJournal::recordForThisStart(const QString& folder) {
    forThisStart_ = true;
    recording_ = true;
    recorder_.reset();
    if (qv::isServerJournal(folder.toStdString())) {
        folder_ = folder;  // a results server's address, kept as given
        return;
    }
    folder_ = QDir(folder).absolutePath();
    // Named on the command line of this start: made now, or told at the first run.
    try {
        resultsAndExport().createJournalFolder(fileNameBytes(folder_));
    } catch (const qv::Exception&) {
    }
}

void RunJournal::beginRun(QWidget* parent) {
    taker_.reset();
    if (recording_) taker_ = platform_.askTakerName(parent);
}

void RunJournal::record(const qv::FinishedRun& run) {
    if (!taker_) return;
    const std::string taker = taker_->toStdString();
    taker_.reset();
    ResultsAndExport* store = nullptr;
    try {
        store = &resultsAndExport();
    } catch (const qv::Exception& failure) {
        platform_.showError(toQt(failure.message()));
        return;
    }
    if (qv::isServerJournal(folder_.toStdString())) {
        // Committed to the local queue before the result appears; sent behind it.
        const QString problem =
            store->queueForServer(folder_, run, taker, computerName().toStdString());
        if (!problem.isEmpty()) platform_.showError(problem);
        return;
    }
    // A chosen folder that is gone (a share not mounted) is told at the first
    // run and not made again: nobody would look for the records there.
    const std::string folder = fileNameBytes(folder_);
    if (std::string missing = store->journalFolderProblem(folder); !missing.empty()) {
        if (!toldFolderMissing_) platform_.showError(QString::fromStdString(missing));
        toldFolderMissing_ = true;
        return;
    }
    toldFolderMissing_ = false;
    if (!recorder_) {
        std::string idProblem;
        recorder_ = store->openJournal(folder, computerName().toStdString(),
                                       fileNameBytes(configFolder()), idProblem);
        if (!idProblem.empty()) platform_.showError(QString::fromStdString(idProblem));
    }
    const std::string problem = recorder_->append(run, taker, computerName().toStdString());
    // Told before the result appears, which it then does all the same.
    if (!problem.empty()) platform_.showError(QString::fromStdString(problem));
    if (!recorder_->notice().empty())
        platform_.showInformation(QString::fromStdString(recorder_->notice()));
}
