// A test served to a class: the runs, the HTTP server and the results
// journal the finished runs go to, set up from the program's settings, for
// the class window and for `quorvane --serve`.
#pragma once

#include <QString>
#include <QStringList>
#include <memory>
#include <string>

#include "class_room.h"
#include "class_server.h"
#include "journal.h"

class ClassSession {
  public:
    ~ClassSession();

    // Reads the test at `test` and starts serving it; the journal goes to
    // `journalFolder` (made when needed), or to the folder the program
    // records in when it is empty. Returns nothing and sets `problem` (in
    // Russian) when the test or the server cannot be started.
    static std::unique_ptr<ClassSession> open(const QString& test, const QString& journalFolder,
                                              const qv::ServeOptions& options, QString& problem);

    qv::ClassRoom& room() { return *room_; }
    const QString& journalFolder() const { return folder_; }
    // The local queue of a results server's records; empty for a folder.
    const std::string& queue() const { return queue_; }
    // Every address pupils may open, the likeliest first.
    QStringList addresses() const;
    // Stops serving: every press being answered is answered and recorded first.
    void stop();

  private:
    ClassSession() = default;
    QString folder_;
    std::string queue_;
    std::unique_ptr<qv::JournalWriter> writer_;
    std::unique_ptr<qv::ClassRoom> room_;
    std::unique_ptr<qv::ClassServer> server_;
    bool loopbackOnly_ = false;
};

struct CommandLine;
// `quorvane --serve TEST`: prints the address as the first line of `out`,
// serves until SIGINT or SIGTERM, and returns the exit status.
int serveFromCommandLine(const CommandLine& line, std::FILE* out, std::FILE* err);
