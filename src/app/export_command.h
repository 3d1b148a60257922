// The exports of the command line, which need no window: a test handed out
// as a web page, a package or the author's key, and the results journal
// written out; and the folder of the page's parts, which the export dialog
// reads too.
#pragma once

#include <QString>
#include <cstdio>
#include <string>

struct CommandLine;

// The page's parts: in $QUORVANE_WEB_DIR, beside the program (the build
// tree) or in the installed data folder; empty when none has them.
QString webPartsFolder();
// That folder as the export reads it; a missing folder reads as one where
// the page is not found.
std::string partsFolderBytes();

// --export-web, --export-scorm and --print-key: the check's lines as --check
// prints them, then the export. The status is the check's (0 clean, 1
// problems, 2 the test or a part could not be read, or the output not written).
int exportFromCommandLine(const CommandLine& line, std::FILE* out, std::FILE* err);

// Writes the results journal in `folder` to `csvFile` (a spreadsheet when
// its name ends in ".xlsx", else CSV), or as CSV to `out` when it is empty;
// a file of the folder that is skipped is named on `err`. Returns 0; 1 when
// files or records were skipped; 2 when the folder cannot be read or the
// file not written.
int exportJournal(const QString& folder, const QString& csvFile, std::FILE* out, std::FILE* err);
