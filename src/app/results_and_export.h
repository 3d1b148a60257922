// What only the results journal and the export need: the journal's window
// with its charts, the records written to the results store, the export
// dialog, and the command line's exports. They live in a module of their
// own, loaded the first time one of them is used, so that the program starts
// without the libraries behind them (Qt Charts, SQLite, OpenSSL, libzip,
// libxml2, libxlsxwriter). The window tests link the same parts into their
// programs instead.
#pragma once

#include <QString>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>

struct CommandLine;
class QObject;
class QWidget;
class RunJournal;
struct WindowServices;
namespace qv {
struct FinishedRun;
}

// This installation's file of records in one journal folder.
class JournalRecorder {
  public:
    virtual ~JournalRecorder() = default;
    // Commits the record of a finished run; what went wrong, in Russian, or
    // an empty text when the record is safely on the disk.
    virtual std::string append(const qv::FinishedRun& run, const std::string& taker,
                               const std::string& computer) = 0;
    // After an append: what the person should know though the record was written.
    virtual const std::string& notice() const = 0;
};

class ResultsAndExport {
  public:
    virtual ~ResultsAndExport() = default;

    // The journal's window over `journal`, hidden; the caller owns it.
    virtual QWidget* makeJournalWindow(WindowServices& services, RunJournal& journal) = 0;
    // Has a window made above read every file of its folder again.
    virtual void reloadJournalWindow(QWidget* window) = 0;
    // The "Экспорт…" dialog for `testFile`, until it is closed.
    virtual void askExport(WindowServices& services, const QString& testFile, QWidget* parent) = 0;

    // The folder the user chose made, or what went wrong (Russian, UTF-8).
    virtual std::string createJournalFolder(const std::string& folder) = 0;
    // Why no record can go into `folder`, or nothing.
    virtual std::string journalFolderProblem(const std::string& folder) = 0;
    // This installation's file in `folder`, named after `computer` and the
    // identifier kept in `configFolder`; `idProblem` says why that could not
    // be kept, if it could not.
    virtual std::unique_ptr<JournalRecorder> openJournal(const std::string& folder,
                                                         const std::string& computer,
                                                         const std::string& configFolder,
                                                         std::string& idProblem) = 0;

    // The queue of records for a results server (server_queue.h): commits
    // the record of a finished run for the server at `target` and sends it
    // behind; what went wrong, in Russian, or an empty text.
    virtual QString queueForServer(const QString& target, const qv::FinishedRun& run,
                                   const std::string& taker, const std::string& computer) = 0;
    // Sends what waits now, and tells `waiting` how many records wait, now
    // and whenever that changes while `context` lives.
    virtual void sendQueued(QObject* context, std::function<void(int)> waiting) = 0;

    // A class served from this computer: its window, or, from the command
    // line, the serving itself until SIGINT or SIGTERM (class_session.h).
    virtual void openClassWindow(WindowServices& services, QWidget* parent) = 0;
    virtual int serve(const CommandLine& line, std::FILE* out, std::FILE* err) = 0;

    // The command line's exports (export_command.h).
    virtual int exportTest(const CommandLine& line, std::FILE* out, std::FILE* err) = 0;
    // `folder` may also be a results server's address.
    virtual int exportJournal(const QString& folder, const QString& file, std::FILE* out,
                              std::FILE* err) = 0;
    // What is wrong with a results server's address, or nothing.
    virtual std::string serverAddressProblem(const std::string& target) = 0;
    // --journal-setup: the tables a results server needs (server_journal_cli.h).
    virtual int setupServerJournal(const QString& target, std::FILE* out, std::FILE* err) = 0;
};

// The parts, loaded the first time they are asked for: from
// $QUORVANE_MODULE_DIR, beside the program (the build tree), or from the
// installed library folder. Raises qv::Exception saying why when the module
// cannot be loaded.
ResultsAndExport& resultsAndExport();
// Parts linked into the program itself, used from now on instead of the module.
void useLinkedResultsAndExport(ResultsAndExport& parts);
// The parts themselves, in the module and in the programs that link them.
ResultsAndExport& linkedResultsAndExport();

// Where records wait for a results server: while there is no such file,
// nothing waits and the parts need not be loaded for it.
QString serverQueueFile();

// The module's file name, and the function in it that gives its parts.
inline constexpr char kResultsModuleFile[] = "quorvane-results.so";
inline constexpr char kResultsModuleEntry[] = "quorvaneResultsAndExport";
