// The results journal on a PostgreSQL server, for a school whose computers
// all write into one database. Records reach it through the local queue
// (journal_queue.h), each with a run identifier the server keeps once however
// often it is sent. Every value goes to the server as a bound parameter; a
// connection gives up after a few seconds; the password comes only from
// ~/.pgpass (or PGPASSFILE), as every PostgreSQL client reads it.
#pragma once

#include <string>
#include <vector>

#include "journal_store.h"

struct pg_conn;

namespace qv {

// The newest layout of the server's tables this program writes and reads.
inline constexpr int kServerJournalVersion = 1;
// A connection that has not answered in this many seconds is given up.
inline constexpr int kServerTimeoutSeconds = 3;

// Whether a --journal target names a server ("postgresql://…" or "postgres://…")
// rather than a folder.
inline bool isServerJournal(const std::string& target) {
    return target.rfind("postgresql://", 0) == 0 || target.rfind("postgres://", 0) == 0;
}
// Why a server address cannot be used (not understood, or holding a
// password), in Russian; empty when it can.
std::string serverAddressProblem(const std::string& target);

// A server's address as the journal window's fields show it.
struct ServerAddress {
    std::string host;
    std::string port;  // empty: PostgreSQL's 5432
    std::string database;
    std::string user;
    std::string sslMode;  // libpq's sslmode: disable, prefer, require, verify-full…
};
// The fields of a libpq address; empty fields where it names none.
ServerAddress serverAddressFields(const std::string& target);
// The "postgresql://" address of the fields, each percent-encoded.
std::string serverAddressText(const ServerAddress& address);

// A random identifier of a run, as a UUID's text.
std::string newRunId();

struct QueuedRecord {
    std::string runId;
    JournalRecord record;
};

// One connection to the server named by a libpq address.
class ServerJournal : public JournalStore {
  public:
    explicit ServerJournal(std::string target, int timeoutSeconds = kServerTimeoutSeconds);
    ~ServerJournal() override;
    ServerJournal(const ServerJournal&) = delete;
    ServerJournal& operator=(const ServerJournal&) = delete;

    // Makes the tables, their indexes and the layout version, or brings them
    // up to date; safe to run again. Refuses tables of a newer version.
    std::string setup();
    // What is wrong with the server for this program, in Russian, or an
    // empty text; `report` then says what the user may do there.
    std::string check(std::string* report = nullptr);
    // Sends the records in one transaction; those already there are left.
    std::string send(const std::vector<QueuedRecord>& records);

    // A record sent with a new identifier.
    std::string append(const JournalRecord& record) override;
    JournalContents readAll() override;

    // The database connected to (after a successful call), for the roles' SQL.
    std::string databaseName() const;

  private:
    std::string connect();
    std::string checkVersion();

    std::string target_;
    int timeoutSeconds_;
    pg_conn* conn_ = nullptr;
};

// The SQL an administrator runs once to make the two roles: one that may
// only add records, for the computers tests are taken on, and one that may
// read them, for teachers.
std::string serverRolesSql(const std::string& database);

}  // namespace qv
