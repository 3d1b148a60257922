#include "results_and_export.h"

#include "class_session.h"
#include "class_window.h"
#include "export_command.h"
#include "export_dialog.h"
#include "journal.h"
#include "journal_window.h"
#include "pg_journal_store.h"
#include "server_journal_cli.h"
#include "server_queue.h"

namespace {

class JournalFile final : public JournalRecorder {
  public:
    JournalFile(const std::string& folder, const std::string& computer, const std::string& id)
        : writer_(folder, computer, id) {}

    std::string append(const qv::FinishedRun& run, const std::string& taker,
                       const std::string& computer) override {
        return writer_.append(qv::recordOfRun(run, taker, computer));
    }
    const std::string& notice() const override { return writer_.notice(); }

  private:
    qv::JournalWriter writer_;
};

class Parts final : public ResultsAndExport {
  public:
    QWidget* makeJournalWindow(WindowServices& services, RunJournal& journal) override {
        return new JournalWindow(services, journal);
    }
    void reloadJournalWindow(QWidget* window) override {
        static_cast<JournalWindow*>(window)->reload();
    }
    void askExport(WindowServices& services, const QString& testFile, QWidget* parent) override {
        ExportDialog dialog(services, testFile, parent);
        dialog.exec();
    }

    std::string createJournalFolder(const std::string& folder) override {
        return qv::createJournalFolder(folder);
    }
    std::string journalFolderProblem(const std::string& folder) override {
        return qv::journalFolderProblem(folder);
    }
    std::unique_ptr<JournalRecorder> openJournal(const std::string& folder,
                                                 const std::string& computer,
                                                 const std::string& configFolder,
                                                 std::string& idProblem) override {
        const std::string id = qv::installationId(configFolder, &idProblem);
        return std::make_unique<JournalFile>(folder, computer, id);
    }

    QString queueForServer(const QString& target, const qv::FinishedRun& run,
                           const std::string& taker, const std::string& computer) override {
        return ServerQueue::instance().add(target, qv::recordOfRun(run, taker, computer));
    }
    void sendQueued(QObject* context, std::function<void(int)> waiting) override {
        ServerQueue& queue = ServerQueue::instance();
        waiting(queue.waiting());
        QObject::connect(&queue, &ServerQueue::waitingChanged, context, std::move(waiting));
        queue.sendSoon();
    }

    void openClassWindow(WindowServices& services, QWidget* parent) override {
        ::openClassWindow(services, parent);
    }
    int serve(const CommandLine& line, std::FILE* out, std::FILE* err) override {
        return serveFromCommandLine(line, out, err);
    }

    int exportTest(const CommandLine& line, std::FILE* out, std::FILE* err) override {
        return exportFromCommandLine(line, out, err);
    }
    int exportJournal(const QString& folder, const QString& file, std::FILE* out,
                      std::FILE* err) override {
        if (qv::isServerJournal(folder.toStdString()))
            return exportServerJournal(folder, file, out, err);
        return ::exportJournal(folder, file, out, err);
    }
    std::string serverAddressProblem(const std::string& target) override {
        return qv::serverAddressProblem(target);
    }
    int setupServerJournal(const QString& target, std::FILE* out, std::FILE* err) override {
        return ::setupServerJournal(target, out, err);
    }
};

}  // namespace

ResultsAndExport& linkedResultsAndExport() {
    static Parts parts;
    return parts;
}
