// The records waiting for the results server, on the window side: a record
// is committed to the local queue at once (a run's result is never kept
// waiting on the network), then the queue is sent on a worker thread, at
// start-up, after each run and every minute while the program runs. Windows
// show how many wait through waitingChanged.
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <atomic>
#include <string>
#include <thread>

#include "journal.h"

class ServerQueue : public QObject {
    Q_OBJECT
  public:
    // The program's one queue, made when first asked for.
    static ServerQueue& instance();
    // $XDG_DATA_HOME/quorvane/queue/results.sqlite.
    static QString defaultPath();

    explicit ServerQueue(QString path, QObject* parent = nullptr);
    ~ServerQueue() override;

    // Commits the record for the server at `target`, then sends the queue.
    // Returns what went wrong, in Russian, or an empty text.
    QString add(const QString& target, const qv::JournalRecord& record);
    // Sends what waits, unless a send is already under way (which then goes
    // on to what was added meanwhile).
    void sendSoon();

    int waiting() const { return waiting_; }
    // Why the last send left records waiting; empty when it sent them all.
    const QString& problem() const { return problem_; }

  signals:
    void waitingChanged(int waiting);

  private:
    void sent(int waiting, const QString& problem);

    QString path_;
    QTimer minute_;
    std::thread sender_;
    bool sending_ = false;
    bool again_ = false;
    int waiting_ = 0;
    QString problem_;
};
