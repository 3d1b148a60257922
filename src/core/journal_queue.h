// The records waiting for the results server: each finished run is committed
// to a local SQLite file (in the user's data folder) before its result is
// shown, with the run's identifier and the server it is for, and leaves the
// file only once the server has it. A killed program, a server that is down
// or a network that is gone loses nothing: the records go when sent again.
#pragma once

#include <cstddef>
#include <string>

#include "journal.h"

namespace qv {

struct DrainReport {
    std::size_t sent = 0;     // records the servers now have
    std::size_t waiting = 0;  // records still in the queue
    // Why some records were not sent, in Russian; empty when all were.
    std::string problem;
};

class JournalQueue {
  public:
    explicit JournalQueue(std::string path) : path_(std::move(path)) {}

    const std::string& path() const { return path_; }

    // Commits the record, for the server at `target`, under a new run
    // identifier. Returns what went wrong, in Russian, or an empty text.
    std::string add(const std::string& target, const JournalRecord& record);

    // How many records wait; 0 when the queue cannot be read.
    std::size_t waiting() const;

    // Sends every waiting record to its server, oldest first, and removes
    // those the server has. A server that cannot be reached is given up after
    // `timeoutSeconds`; its records wait for the next time.
    DrainReport drain(int timeoutSeconds);

  private:
    std::string path_;
};

}  // namespace qv
