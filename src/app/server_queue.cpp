#include "server_queue.h"

#include "results_and_export.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QPointer>
#include <QStandardPaths>

#include "encoding.h"
#include "journal_queue.h"
#include "pg_journal_store.h"

namespace {

QPointer<ServerQueue> theQueue;

}  // namespace

ServerQueue& ServerQueue::instance() {
    if (!theQueue) theQueue = new ServerQueue(defaultPath(), QCoreApplication::instance());
    return *theQueue;
}

QString ServerQueue::defaultPath() {
    return serverQueueFile();
}

ServerQueue::ServerQueue(QString path, QObject* parent) : QObject(parent), path_(std::move(path)) {
    // No queue yet, nothing to count: the file is not opened at every start.
    if (QFileInfo::exists(path_))
        waiting_ = static_cast<int>(qv::JournalQueue(fileNameBytes(path_)).waiting());
    minute_.setInterval(60 * 1000);
    connect(&minute_, &QTimer::timeout, this, [this] { sendSoon(); });
    minute_.start();
}

ServerQueue::~ServerQueue() {
    // A send under way ends within the connection's time limit.
    if (sender_.joinable()) sender_.join();
}

QString ServerQueue::add(const QString& target, const qv::JournalRecord& record) {
    const std::string problem =
        qv::JournalQueue(fileNameBytes(path_)).add(target.toStdString(), record);
    if (problem.empty()) {
        ++waiting_;
        emit waitingChanged(waiting_);
        sendSoon();
    }
    return QString::fromStdString(problem);
}

void ServerQueue::sendSoon() {
    // No queue yet: nothing was ever recorded for a server here.
    if (!QFileInfo::exists(path_)) return;
    if (sending_) {
        again_ = true;
        return;
    }
    if (sender_.joinable()) sender_.join();
    sending_ = true;
    again_ = false;
    sender_ = std::thread([this, path = fileNameBytes(path_)] {
        const qv::DrainReport report = qv::JournalQueue(path).drain(qv::kServerTimeoutSeconds);
        const int left = static_cast<int>(report.waiting);
        const QString problem = QString::fromStdString(report.problem);
        // Told on the window side; this object outlives the thread.
        QMetaObject::invokeMethod(
            this, [this, left, problem] { sent(left, problem); }, Qt::QueuedConnection);
    });
}

void ServerQueue::sent(int waiting, const QString& problem) {
    sending_ = false;
    waiting_ = waiting;
    problem_ = problem;
    emit waitingChanged(waiting_);
    if (again_) sendSoon();
}
