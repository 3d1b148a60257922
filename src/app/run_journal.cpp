#include "run_journal.h"

#include <QDir>
#include <QStandardPaths>
#include <QSysInfo>

#include "encoding.h"
#include "pg_journal_store.h"
#include "platform.h"
#include "program_settings.h"
#include "server_queue.h"
#include "session.h"

namespace {

const QString kRecordingKey = QStringLiteral("journal/recording");
const QString kFolderKey = QStringLiteral("journal/folder");

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

void RunJournal::save() const {
    if (forThisStart_) return;
    QSettings settings = programSettings();
    settings.setValue(kRecordingKey, recording_);
    settings.setValue(kFolderKey, folder_);
}

void RunJournal::setRecording(bool on) {
    recording_ = on;
    save();
}

void RunJournal::setFolder(const QString& folder) {
    if (folder != folder_) writer_.reset();
    folder_ = folder;
    save();
}

void RunJournal::recordForThisStart(const QString& folder) {
    forThisStart_ = true;
    recording_ = true;
    writer_.reset();
    folder_ = qv::isServerJournal(folder.toStdString()) ? folder : QDir(folder).absolutePath();
}

void RunJournal::beginRun(QWidget* parent) {
    taker_.reset();
    if (recording_) taker_ = platform_.askTakerName(parent);
}

void RunJournal::record(const qv::FinishedRun& run) {
    if (!taker_) return;
    const std::string taker = taker_->toStdString();
    taker_.reset();
    if (qv::isServerJournal(folder_.toStdString())) {
        // Committed to the local queue before the result appears; sent behind it.
        const QString problem = ServerQueue::instance().add(
            folder_, qv::recordOfRun(run, taker, computerName().toStdString()));
        if (!problem.isEmpty()) platform_.showError(problem);
        return;
    }
    if (!writer_) {
        writer_ = std::make_unique<qv::JournalWriter>(fileNameBytes(folder_),
                                                      computerName().toStdString());
    }
    const std::string problem =
        writer_->append(qv::recordOfRun(run, taker, computerName().toStdString()));
    // Told before the result appears, which it then does all the same.
    if (!problem.empty()) platform_.showError(QString::fromStdString(problem));
}
