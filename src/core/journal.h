// The results journal: one record per finished run, kept in SQLite database
// files in one folder. Each computer writes only its own file, named after
// it, so that computers sharing a network folder never contend for a lock
// the network file system may not keep; reading takes every file of the
// folder together, skipping (and naming) those it cannot use.
//
// Unlike the rest of the core, the journal's texts are UTF-8: a taker's name
// may hold any character, emoji included, which Windows-1251 cannot.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

struct sqlite3;

namespace qv {

struct FinishedRun;

enum class RunOutcome : int {
    Result = 1,   // a range held the total: the result window
    NoRange = 2,  // no range held it: the error window
    Failure = 3,  // result selection failed (a bound that is not a number)
};

struct JournalRecord {
    std::string takenAt;           // local time with its zone, "2026-03-01T10:15:00+03:00"
    std::int64_t takenAtUnix = 0;  // the same moment in seconds since 1970 UTC
    std::string taker;
    std::string computer;
    std::string testFile;  // the file's name, without its folder
    std::string testTitle;
    std::string testSha256;  // of the file's bytes, lower-case hex; empty when unreadable
    std::string answers;     // the button pressed for each question in turn, '1'..'6'
    std::int32_t total = 0;  // before result selection sets the Score to 0
    RunOutcome outcome = RunOutcome::Result;
    std::string range;       // the chosen range line, or what happened instead
    std::string resultLine;  // the first line of the chosen block
    std::string sourceFile;  // the journal file the record was read from
    std::string doubt;       // why the record does not hold up; empty when it does
};

// The newest layout this program writes and reads (`PRAGMA user_version`).
inline constexpr int kJournalVersion = 1;

// The record of a run that has just finished, taken now on this computer.
JournalRecord recordOfRun(const FinishedRun& run, std::string taker, std::string computer);

// "2026-03-01T10:15:00+03:00" for `unixSeconds` in the local zone.
std::string localTimeText(std::int64_t unixSeconds);
// SHA-256 of a file's bytes in lower-case hex; empty when it cannot be read.
std::string sha256OfFile(const std::string& path);

// The database file of a computer: its name lower-cased, with anything but
// letters, digits, "-" and "_" replaced, and the journal's extension.
std::string journalFileName(const std::string& computer);
inline constexpr const char* kJournalExtension = ".qvjournal";

// Appends records to this computer's file in the folder, making both when
// needed, each in a connection of its own. Two writers on one computer take
// turns (a busy timeout); every record is committed to the disk before
// append returns.
class JournalWriter {
  public:
    JournalWriter(std::string folder, const std::string& computer);
    ~JournalWriter();
    JournalWriter(const JournalWriter&) = delete;
    JournalWriter& operator=(const JournalWriter&) = delete;

    // Commits the record. Returns what went wrong, in Russian, or an empty
    // text when the record is safely on the disk.
    std::string append(const JournalRecord& record);

  private:
    std::string open();
    void close();

    std::string folder_;
    std::string path_;
    sqlite3* db_ = nullptr;
    void* insert_ = nullptr;  // the prepared INSERT
};

struct JournalContents {
    std::vector<JournalRecord> records;  // file by file, each in the order written
    // One line per file that was skipped: its name and why, in Russian.
    std::vector<std::string> skipped;
    // Set when the folder itself could not be read: why, in Russian.
    std::string folderProblem;
};

// Every record of every journal file in the folder. Files are only read,
// never written: one whose writer was killed mid-record is read from a copy.
JournalContents readJournalFolder(const std::string& folder);

// The records as CSV: UTF-8 with a byte-order mark, RFC 4180 quoting, CR LF,
// a heading row, then one row per record with one column per question.
void writeJournalCsv(const std::vector<JournalRecord>& records, std::ostream& out);

// What the outcome column of the table and the CSV says for a record.
std::string outcomeText(const JournalRecord& record);

}  // namespace qv
