// The copies of previous content that saves written in place keep, and the
// temporary files of saves cut short: found, told of and cleared at start-up.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qv::os {

// What became of a save written in place that left its copy behind.
enum class SaveOutcome {
    Interrupted,  // the file may be damaged: its previous content is in the copy
    Completed,    // the file holds what the save meant to write
    NotBegun,     // the file still holds its previous content (the copy is gone)
};

// A copy of a file's previous content that a save written in place left
// behind because the program ended before the save did, or because the
// content could not be put back.
struct InterruptedSave {
    std::string copyPath;    // where the previous content is
    std::string targetPath;  // the file it was the content of
    std::string recordPath;  // the note that ties the two together
    SaveOutcome outcome = SaveOutcome::Interrupted;
    bool isTest = true;  // the file was a test (".tst"), else a result or other text
};

// The folder for such copies: $XDG_CACHE_HOME/quorvane, else ~/.cache/quorvane
// (the home folder from the user database when HOME is not set).
std::string copiesFolder();
// Copies left behind by saves that did not end; a save still running in
// another process is not among them. Only regular files are opened, none in
// a way that can wait. Records without a copy and empty records are removed,
// and so is a copy identical to its file. The work is bounded: only the
// files of the first kCheckedSaves records are read, each only when its size
// could tell a finished save or an untouched file, and no more than
// kCheckedBytes in all; the others are listed as possibly damaged. Files on
// a share that does not answer can still hold it up: windows call it away
// from their own thread.
inline constexpr std::size_t kCheckedSaves = 50;
inline constexpr std::uint64_t kCheckedBytes = 256ULL << 20;
std::vector<InterruptedSave> interruptedSaves();
// Forgets a copy once the user has been told of it: the copy itself stays.
void forgetInterruptedSave(const InterruptedSave& save);

// Removes the hidden temporary files that saves cut short by a kill left
// beside their targets.
void removeLeftoverTemporaries();

}  // namespace qv::os
