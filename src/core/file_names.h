// The parts of a file's name, as the system's bytes: the folder, the last
// part and its extension. Only the text is looked at, never the disk.
#pragma once

#include <string>

namespace qv {

// Everything before the last "/": "." when there is none, "/" for the root.
std::string folderOf(const std::string& path);
// Everything after the last "/".
std::string baseName(const std::string& path);
// The last part's extension from its last dot (".tst"), or nothing: a dot
// that begins the name (".profile") starts no extension.
std::string extensionOf(const std::string& path);
// The path without that extension ("a/quiz.tst" gives "a/quiz").
std::string withoutExtension(const std::string& path);

}  // namespace qv
