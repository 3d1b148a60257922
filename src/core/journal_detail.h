// What the journal's files share and do not offer to the rest of the program.
#pragma once

#include <string>
#include <system_error>

namespace qv::journal_detail {

// A path's last part.
std::string fileNameOf(const std::string& path);
// What a failed file-system call on a folder means, in Russian.
std::string folderProblemText(const std::error_code& ec);
// What a failed call on a file means (`error` as errno), in Russian.
std::string fileProblemText(int error);

}  // namespace qv::journal_detail
