#include "class_session.h"

#include <QDir>
#include <QFileInfo>
#include <csignal>
#include <ctime>
#include <set>

#include "command_line.h"
#include "cp1251.h"
#include "encoding.h"
#include "export_command.h"
#include "file_loading.h"
#include "journal_queue.h"
#include "pg_journal_store.h"
#include "program_settings.h"
#include "run_journal.h"
#include "served_page.h"
#include "server_queue.h"
#include "taker_run.h"

ClassSession::~ClassSession() {
    stop();
}

void ClassSession::stop() {
    if (server_) server_->stop();
}

QStringList ClassSession::addresses() const {
    QStringList list;
    const std::uint16_t port = server_->port();
    if (loopbackOnly_) return {QString("http://127.0.0.1:%1/").arg(port)};
    for (const auto& address : qv::classAddresses(port)) list << QString::fromStdString(address);
    return list;
}

std::unique_ptr<ClassSession> ClassSession::open(const QString& test, const QString& journalFolder,
                                                 const qv::ServeOptions& options,
                                                 QString& problem) {
    std::unique_ptr<ClassSession> session(new ClassSession);
    session->loopbackOnly_ = options.loopbackOnly;
    const std::string testPath = fileNameBytes(QFileInfo(test).absoluteFilePath());
    const std::shared_ptr<const qv::RunTest> runTest = qv::readRunTest(testPath);
    if (runTest->refusal) {
        problem = QString::fromStdString(qv::cp1251::toUtf8(*runTest->refusal));
        return nullptr;
    }
    // The journal the desktop records in, unless this class's is named.
    const QString place = journalFolder.isEmpty() ? programSettings()
                                                        .value(QStringLiteral("journal/folder"),
                                                               RunJournal::defaultFolder())
                                                        .toString()
                                                  : journalFolder;
    const std::string computer = RunJournal::computerName().toStdString();
    qv::RunRecorder recorder;
    if (qv::isServerJournal(place.toStdString())) {
        // A results server: each run is committed to the local queue before
        // the pupil sees the result, and sent behind it.
        session->folder_ = place;
        const std::string target = place.toStdString();
        const std::string queue = fileNameBytes(ServerQueue::defaultPath());
        session->queue_ = queue;
        ServerQueue* sender = &ServerQueue::instance();  // made on this thread
        recorder = [target, queue, computer, sender](const std::vector<qv::EndedRun>& runs) {
            qv::JournalQueue waiting(queue);
            for (const qv::EndedRun& ended : runs)
                if (std::string failed =
                        waiting.add(target, qv::recordOfRun(ended.run, ended.takerUtf8, computer));
                    !failed.empty())
                    return failed;
            QMetaObject::invokeMethod(
                sender, [sender] { sender->sendSoon(); }, Qt::QueuedConnection);
            return std::string{};
        };
    } else {
        session->folder_ = QDir(place).absolutePath();
        const std::string folder = fileNameBytes(session->folder_);
        if (std::string made = qv::createJournalFolder(folder); !made.empty()) {
            problem = QString::fromStdString(made);
            return nullptr;
        }
        std::string idProblem;
        const std::string id =
            qv::installationId(fileNameBytes(RunJournal::configFolder()), &idProblem);
        session->writer_ = std::make_unique<qv::JournalWriter>(folder, computer, id);
        qv::JournalWriter* writer = session->writer_.get();
        recorder = [writer, computer](const std::vector<qv::EndedRun>& runs) {
            std::vector<qv::JournalRecord> records;
            records.reserve(runs.size());
            for (const qv::EndedRun& ended : runs)
                records.push_back(qv::recordOfRun(ended.run, ended.takerUtf8, computer));
            return writer->appendAll(records);
        };
    }
    session->room_ = std::make_unique<qv::ClassRoom>(runTest, testPath, std::move(recorder));
    std::string page;
    try {
        const QString parts = webPartsFolder();
        page = qv::servedPage(fileNameBytes(parts.isEmpty() ? QStringLiteral(".") : parts),
                              qv::cp1251::toUtf8(runTest->window.title));
    } catch (const std::exception& e) {
        problem = QString::fromStdString(e.what());
        return nullptr;
    }
    session->server_ = std::make_unique<qv::ClassServer>(*session->room_, page, options);
    if (std::string failed = session->server_->start(); !failed.empty()) {
        problem = QString::fromStdString(failed);
        return nullptr;
    }
    return session;
}

int serveFromCommandLine(const CommandLine& line, std::FILE* out, std::FILE* err) {
    // The signals that end the class are waited for here, never delivered to
    // the server's threads, which inherit this mask.
    sigset_t ending;
    sigemptyset(&ending);
    sigaddset(&ending, SIGINT);
    sigaddset(&ending, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &ending, nullptr);
    qv::ServeOptions options;
    options.port = line.port;
    options.loopbackOnly = line.loopbackOnly;
    QString problem;
    std::unique_ptr<ClassSession> session =
        ClassSession::open(line.files.front(), line.journalFolder, options, problem);
    if (!session) {
        std::fprintf(err, "quorvane: %s\n", problem.toUtf8().constData());
        return 2;
    }
    const QStringList addresses = session->addresses();
    for (const QString& address : addresses)
        std::fprintf(out, "%s\n", address.toUtf8().constData());
    std::fflush(out);
    std::fprintf(err, "quorvane: журнал результатов: %s; Ctrl+C завершает.\n",
                 session->journalFolder().toUtf8().constData());
    std::fflush(err);
    // Who has finished is told as it happens; the totals stay in the journal.
    std::set<std::size_t> told;
    std::size_t problemsTold = 0;
    const timespec second{1, 0};
    int sinceSent = 0;
    for (;;) {
        const int signal = sigtimedwait(&ending, nullptr, &second);
        const auto rows = session->room().pupils();
        for (std::size_t i = 0; i < rows.size(); ++i) {
            if (!rows[i].finished || told.count(i)) continue;
            told.insert(i);
            std::fprintf(err, "quorvane: %s: тест пройден\n",
                         qv::terminalText(rows[i].name).c_str());
        }
        const auto problems = session->room().problems();
        for (; problemsTold < problems.size(); ++problemsTold)
            std::fprintf(err, "quorvane: %s\n", qv::terminalText(problems[problemsTold]).c_str());
        std::fflush(err);
        if (signal == SIGINT || signal == SIGTERM) break;
        // Without an event loop here, a results server's queue is sent from
        // this loop, every ten seconds while records wait.
        if (!session->queue().empty() && ++sinceSent >= 10) {
            sinceSent = 0;
            qv::JournalQueue(session->queue()).drain(3);
        }
    }
    session->stop();
    if (!session->queue().empty()) {
        const qv::DrainReport sent = qv::JournalQueue(session->queue()).drain(3);
        if (sent.waiting > 0)
            std::fprintf(err, "quorvane: ждут отправки на сервер результатов: %zu (%s)\n",
                         sent.waiting, qv::terminalText(sent.problem).c_str());
    }
    const auto rows = session->room().pupils();
    std::size_t unfinished = 0;
    for (const auto& row : rows) unfinished += row.finished ? 0 : 1;
    std::fprintf(err, "quorvane: записано прохождений: %zu; не закончили: %zu.\n",
                 session->room().recordedRuns(), unfinished);
    return session->room().problems().empty() ? 0 : 1;
}
