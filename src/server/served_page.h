// The page a class's pupils open: the exported page's own document and
// style, with the served script instead of the player, so that it holds no
// test at all; its security policy lets it talk to its own origin only.
#pragma once

#include <string>

namespace qv {

// Reads page.html, page.css, served.css and served.js from `partsFolder`;
// raises std::runtime_error, naming it, when one cannot be read.
std::string servedPage(const std::string& partsFolder, const std::string& titleUtf8);

}  // namespace qv
