// Where the results journal keeps its records: a folder of per-computer
// files, or a database server. A window or the command line writes and reads
// records through this, whichever store the user chose.
#pragma once

#include <string>

#include "journal.h"

namespace qv {

class JournalStore {
  public:
    virtual ~JournalStore() = default;

    // Keeps one record so that it survives the program being killed. Returns
    // what went wrong, in Russian, or an empty text.
    virtual std::string append(const JournalRecord& record) = 0;

    // Every record the store holds, with what was skipped and why.
    virtual JournalContents readAll() = 0;
};

}  // namespace qv
