// The command line's work with a results server, with no window:
//   quorvane --journal-setup postgresql://…   makes the journal's tables and
//                              prints the SQL of the roles to make
//   quorvane --journal-export postgresql://… [-o FILE]
//                              the server's journal as CSV
#pragma once

#include <QString>
#include <cstdio>

// Returns 0, or 2 when the server cannot be reached or its tables not made.
int setupServerJournal(const QString& target, std::FILE* out, std::FILE* err);
// Returns 0, or 2 when the server cannot be read or the file not written.
int exportServerJournal(const QString& target, const QString& file, std::FILE* out, std::FILE* err);
