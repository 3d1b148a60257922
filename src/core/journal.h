// The results journal: one record per finished run, kept in SQLite database
// files in one folder. Each installation writes only its own file, named
// after it, so that computers sharing a network folder never contend for a
// lock the network file system may not keep; reading takes every file of the
// folder together, skipping (and naming) those it cannot use.
//
// The folder may be shared with people who mean harm: only regular files are
// opened, never through a link and never waiting on a pipe; readers read a
// copy of bounded size taken through the descriptor they checked.
//
// Unlike the rest of the core, the journal's texts are UTF-8: a taker's name
// may hold any character, emoji included, which Windows-1251 cannot.
#pragma once

#include <cstdint>
#include <ostream>
#include <span>
#include <string>
#include <vector>

#include "finished_run.h"

struct sqlite3;

namespace qv {

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

    // Not kept in the file: the name of the journal file the record was read
    // from (empty when it was not read from a folder), and why the record
    // does not hold up, in Russian (empty when nothing is wrong with it).
    std::string sourceFile;
    std::string doubt;
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
// letters, digits, "-" and "_" replaced, then "-" and the installation's
// identifier when there is one, and the journal's extension. Two computers
// cloned from one image share a name but not an identifier.
std::string journalFileName(const std::string& computer, const std::string& installationId = {});
inline constexpr const char* kJournalExtension = ".qvjournal";

// This installation's identifier: 16 random hexadecimal digits, made once and
// kept in `configFolder` (made when needed). When it cannot be kept, a new
// one for this start is returned and `problem`, if given, says why.
std::string installationId(const std::string& configFolder, std::string* problem = nullptr);

// A journal file larger than this is named and not read: no class's journal
// comes near it.
inline constexpr std::uint64_t kMaxJournalFileBytes = std::uint64_t{200} << 20;

// Makes the folder the user chose for the journal (with its parents). Returns
// what went wrong, in Russian, or an empty text. The writer never makes its
// folder: a shared folder that is not there must not be replaced unseen by
// an empty local one.
std::string createJournalFolder(const std::string& folder);
// Empty when `folder` is a folder; otherwise why no record goes there, in Russian.
std::string journalFolderProblem(const std::string& folder);

// Appends records to this installation's file in the folder, making the file
// (never the folder) when needed, each in a connection of its own. Two writers on one computer take
// turns (a busy timeout); every record is committed to the disk before
// append returns.
class JournalWriter {
  public:
    JournalWriter(std::string folder, const std::string& computer,
                  const std::string& installationId = {});
    ~JournalWriter();
    JournalWriter(const JournalWriter&) = delete;
    JournalWriter& operator=(const JournalWriter&) = delete;

    // Commits the record. Returns what went wrong, in Russian, or an empty
    // text when the record is safely on the disk. The file is checked first;
    // one that is damaged, or that is not a regular file, is left as it is
    // and the record goes into a new file beside it.
    std::string append(const JournalRecord& record);
    // Commits the records together, all or none: a class's runs that end at
    // one moment take one commit, not one each.
    std::string appendAll(std::span<const JournalRecord> records);

    // After an append: what the person should know though the record was
    // written (a damaged file left beside the new one), once per file.
    const std::string& notice() const { return notice_; }

  private:
    std::string open();
    void close();

    std::string folder_;
    std::string baseName_;                 // the file's name without the extension
    std::string path_;                     // the file being written
    std::vector<std::string> leftBehind_;  // files found unfit and told of
    std::string notice_;
    sqlite3* db_ = nullptr;
    void* insert_ = nullptr;  // the prepared INSERT
};

struct JournalContents {
    std::vector<JournalRecord> records;  // file by file, each in the order written
    // One line per file that was skipped or read only in part: its name and
    // why, in Russian.
    std::vector<std::string> skipped;
    std::size_t skippedFiles = 0;       // files of which nothing was read
    std::size_t unreadableRecords = 0;  // records of damaged files that were lost
    // Set when the folder itself could not be read: why, in Russian.
    std::string folderProblem;
};

// Every record of every journal file in the folder. Files are only read,
// never written, and each is read from a copy taken through one checked
// descriptor; the intact records of a damaged file are read all the same.
// A record in the file of another computer than the one it names is doubted.
JournalContents readJournalFolder(const std::string& folder);

// Removes the copies readers that were killed left in the temporary folder.
void removeLeftoverJournalCopies();

// Checks the records whose test is among `testPaths` (by the SHA-256 of its
// bytes): the answers are taken again with the program's own scoring and
// result selection, and a record whose total, outcome or range does not
// follow from them gets its `doubt`.
void checkRecordsAgainstTests(std::vector<JournalRecord>& records,
                              const std::vector<std::string>& testPaths);
// The test files (".tst", regular files only) directly in `folder`.
std::vector<std::string> testFilesIn(const std::string& folder);

// The records as CSV: UTF-8 with a byte-order mark, RFC 4180 quoting, CR LF,
// a heading row, then one row per record: its fields, the journal file it was
// read from and its doubt, then one column per question. A text a spreadsheet would take for a
// formula (beginning with "=", "+", "-", "@", a tab or a carriage return) is written after an
// apostrophe; numbers stay numbers.
void writeJournalCsv(const std::vector<JournalRecord>& records, std::ostream& out);
// The headings of the columns the CSV and the spreadsheet give every record,
// before the columns of the questions ("Вопрос 1", "Вопрос 2"...).
inline constexpr const char* kRecordHeadings[] = {"Дата",
                                                  "Имя",
                                                  "Компьютер",
                                                  "Файл теста",
                                                  "Название теста",
                                                  "SHA-256 теста",
                                                  "Сумма баллов",
                                                  "Диапазон или исход",
                                                  "Первая строка результата",
                                                  "Файл журнала",
                                                  "Сомнение"};
// How many question columns the records need: the most answers any one holds.
std::size_t questionColumns(const std::vector<JournalRecord>& records);
// A CSV cell's text as the CSV gives it, before quoting.
std::string csvCellText(const std::string& text);

// A text for a terminal: control characters, invalid UTF-8 and the marks
// that reorder text shown by their codes ("\x1B", "\u202E"), never raw.
std::string terminalText(const std::string& utf8);

// What the outcome column of the table and the CSV says for a record.
std::string outcomeText(const JournalRecord& record);

}  // namespace qv
