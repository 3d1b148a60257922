// The journal in a folder of SQLite files, one per computer, as a store.
#pragma once

#include <string>

#include "journal_store.h"

namespace qv {

class FolderJournalStore : public JournalStore {
  public:
    FolderJournalStore(std::string folder, const std::string& computer)
        : folder_(folder), writer_(std::move(folder), computer) {}

    std::string append(const JournalRecord& record) override { return writer_.append(record); }
    JournalContents readAll() override { return readJournalFolder(folder_); }

  private:
    std::string folder_;
    JournalWriter writer_;
};

}  // namespace qv
