#include "served_page.h"

#include <fstream>
#include <sstream>
#include <stdexcept>

#include "web_export.h"

namespace qv {

namespace {

std::string readPart(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    if (in) bytes << in.rdbuf();
    if (!in || in.bad()) throw std::runtime_error("Не удалось прочитать часть страницы: " + path);
    return bytes.str();
}

void replaceOnce(std::string& text, const std::string& from, const std::string& to) {
    const std::size_t at = text.find(from);
    if (at != std::string::npos) text.replace(at, from.size(), to);
}

}  // namespace

std::string servedPage(const std::string& partsFolder, const std::string& titleUtf8) {
    PageParts parts;
    parts.html = readPart(partsFolder + "/page.html");
    parts.style = readPart(partsFolder + "/page.css") + readPart(partsFolder + "/served.css");
    parts.script = readPart(partsFolder + "/view.js") + "\n" + readPart(partsFolder + "/served.js");
    // The export's page, with no test in it, talking to where it came from.
    std::string page = testPage(parts, std::string(), titleUtf8);
    replaceOnce(page, " 'wasm-unsafe-eval'", "");
    replaceOnce(page, "connect-src 'none'", "connect-src 'self'");
    return page;
}

}  // namespace qv
