// The journal as a spreadsheet (.xlsx): what a teacher's spreadsheet opens
// as it is, whatever its list separator, with dates and numbers as such.
#pragma once

#include <string>
#include <vector>

#include "journal.h"

namespace qv {

// Writes the records to `path`, replacing the file only once the new one is
// whole: the CSV's columns, a frozen heading row, dates as dates, totals and
// answers as numbers, one column per question. Returns an empty text, or
// what went wrong in Russian.
std::string writeJournalXlsx(const std::vector<JournalRecord>& records, const std::string& path);

}  // namespace qv
