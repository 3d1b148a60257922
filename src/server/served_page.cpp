#include "served_page.h"

#include <cstdint>
#include <stdexcept>

#include "os_file.h"
#include "web_export.h"

namespace qv {

namespace {

std::string readPart(const std::string& path) {
    // The parts are the program's own: none comes near this size.
    const std::uint64_t limit = std::uint64_t{16} << 20;
    std::string bytes;
    if (os::readWholeFile(path, limit, bytes) != 0)
        throw std::runtime_error("Не удалось прочитать часть страницы: " + path);
    return bytes;
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
