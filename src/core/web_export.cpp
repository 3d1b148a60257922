#include "web_export.h"

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <openssl/evp.h>
#include <zip.h>

#include <cstdio>
#include <memory>

#include "cp1251.h"
#include "errors.h"
#include "file_loading.h"
#include "file_names.h"
#include "loader.h"
#include "os_errors.h"
#include "os_file.h"
#include "session.h"
#include "sha256.h"
#include "writer.h"

namespace qv {

namespace {

std::string readWholeFile(const std::string& path, std::uint64_t limit) {
    std::string bytes;
    ioCheck(os::readWholeFile(path, limit, bytes));
    return bytes;
}

std::string base64(const std::string& bytes) {
    std::string out(4 * ((bytes.size() + 2) / 3) + 1, '\0');
    const int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                                  reinterpret_cast<const unsigned char*>(bytes.data()),
                                  static_cast<int>(bytes.size()));
    out.resize(static_cast<std::size_t>(n));
    return out;
}

// A script's text may not hold "</script", which would end the element early.
std::string safeScript(std::string script) {
    for (std::size_t at = script.find("</"); at != std::string::npos; at = script.find("</", at))
        script.replace(at, 2, "<\\/");
    return script;
}

// Only the title of a test, which names the page and the package; the
// loading stops there, and the rest of the file is the player's to read.
class TitleOnly : public LoadDestination {
  public:
    std::string title;
    void buttonCountRead(const std::string&) override {}
    void titleRead(const std::string& t, const std::string&, const std::string&) override {
        title = t;
        throw EAbort();  // nothing more is needed
    }
    void buttonsRead(const LineFields&) override {}
    void messageRead(std::string&) override {}
    void loadFinished() override {}
};

std::string testTitle(const std::string& testPath) {
    TestDocument doc;
    TitleOnly destination;
    try {
        TestLoader loader;
        loadTestFile(loader, testPath, doc, destination);
    } catch (const Exception&) {
        // A test the run refuses has no title yet; the file's name stands in.
    }
    if (!destination.title.empty()) return cp1251::toUtf8(destination.title);
    return withoutExtension(baseName(testPath));
}

[[noreturn]] void zipFailed(zip_error_t* error) {
    const std::string message = std::string("zip: ") + zip_error_strerror(error);
    zip_error_fini(error);
    throw Exception(message);
}

}  // namespace

namespace {

// Each control character XML 1.0 or HTML cannot hold (C0 but tab and line
// ends, DEL, C1) shown as U+FFFD.
std::string visibleText(const std::string& utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        const bool c1 = c == 0xC2 && i + 1 < utf8.size() &&
                        static_cast<unsigned char>(utf8[i + 1]) >= 0x80 &&
                        static_cast<unsigned char>(utf8[i + 1]) <= 0x9F;
        if ((c < 0x20 && c != '\t' && c != '\n' && c != '\r') || c == 0x7F || c1) {
            out += "\xEF\xBF\xBD";
            if (c1) ++i;
        } else {
            out += utf8[i];
        }
    }
    return out;
}

}  // namespace

std::string markupText(const std::string& utf8) {
    const std::string visible = visibleText(utf8);
    std::string out;
    out.reserve(visible.size());
    for (const char c : visible) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&#39;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string sha256Base64(const std::string& bytes) {
    return base64(sha256(bytes));
}

PageParts readPageParts(const std::string& folder) {
    const std::uint64_t limit = std::uint64_t{16} << 20;
    const auto part = [&](const char* name) { return readWholeFile(folder + "/" + name, limit); };
    PageParts parts;
    parts.html = part("page.html");
    parts.style = part("page.css");
    parts.script = part("quorvane-player.js") + "\n" + part("platform.js") + "\n" +
                   part("view.js") + "\n" + part("page.js");
    parts.keyStyle = part("key.css");
    return parts;
}

std::string testPage(const PageParts& parts, const std::string& testBytes,
                     const std::string& titleUtf8) {
    const std::string script = safeScript(parts.script);
    const std::string csp = "default-src 'none'; script-src 'sha256-" + sha256Base64(script) +
                            "' 'wasm-unsafe-eval'; style-src 'sha256-" + sha256Base64(parts.style) +
                            "'; img-src data:; connect-src 'none'; base-uri 'none'; "
                            "form-action 'none'";
    // The places are filled in one pass over the template, so that nothing
    // put in is taken for a place.
    const std::pair<const char*, std::string> values[] = {
        {"{{csp}}", csp},           {"{{title}}", markupText(titleUtf8)},
        {"{{style}}", parts.style}, {"{{test}}", base64(testBytes)},
        {"{{script}}", script},
    };
    std::string page;
    page.reserve(parts.html.size() + parts.script.size() + parts.style.size() +
                 testBytes.size() * 4 / 3 + 1024);
    std::size_t from = 0;
    for (;;) {
        const std::size_t at = parts.html.find("{{", from);
        if (at == std::string::npos) break;
        bool filled = false;
        for (const auto& [place, value] : values) {
            if (parts.html.compare(at, std::char_traits<char>::length(place), place) == 0) {
                page.append(parts.html, from, at - from);
                page += value;
                from = at + std::char_traits<char>::length(place);
                filled = true;
                break;
            }
        }
        if (!filled) {
            page.append(parts.html, from, at + 2 - from);
            from = at + 2;
        }
    }
    page.append(parts.html, from);
    return page;
}

std::string scormManifest(const std::string& titleUtf8, const std::string& identifier) {
    const std::string title = markupText(titleUtf8);
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<manifest identifier=\"" +
           identifier +
           "\" version=\"1.0\"\n"
           "  xmlns=\"http://www.imsproject.org/xsd/imscp_rootv1p1p2\"\n"
           "  xmlns:adlcp=\"http://www.adlnet.org/xsd/adlcp_rootv1p2\"\n"
           "  xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"\n"
           "  xsi:schemaLocation=\"http://www.imsproject.org/xsd/imscp_rootv1p1p2 "
           "imscp_rootv1p1p2.xsd http://www.imsglobal.org/xsd/imsmd_rootv1p2p1 "
           "imsmd_rootv1p2p1.xsd http://www.adlnet.org/xsd/adlcp_rootv1p2 adlcp_rootv1p2.xsd\">\n"
           "  <metadata>\n"
           "    <schema>ADL SCORM</schema>\n"
           "    <schemaversion>1.2</schemaversion>\n"
           "  </metadata>\n"
           "  <organizations default=\"test\">\n"
           "    <organization identifier=\"test\">\n"
           "      <title>" +
           title +
           "</title>\n"
           "      <item identifier=\"run\" identifierref=\"page\" isvisible=\"true\">\n"
           "        <title>" +
           title +
           "</title>\n"
           "      </item>\n"
           "    </organization>\n"
           "  </organizations>\n"
           "  <resources>\n"
           "    <resource identifier=\"page\" type=\"webcontent\" adlcp:scormtype=\"sco\" "
           "href=\"index.html\">\n"
           "      <file href=\"index.html\"/>\n"
           "    </resource>\n"
           "  </resources>\n"
           "</manifest>\n";
}

void readBackManifest(const std::string& manifest, const std::string& titleUtf8) {
    const std::unique_ptr<xmlDoc, void (*)(xmlDocPtr)> doc(
        xmlReadMemory(manifest.data(), static_cast<int>(manifest.size()), "imsmanifest.xml",
                      "UTF-8", XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING),
        xmlFreeDoc);
    const xmlError* error = xmlGetLastError();
    if (!doc) {
        std::string reason = error && error->message ? error->message : "unreadable";
        while (!reason.empty() && reason.back() == '\n') reason.pop_back();
        xmlResetLastError();
        throw Exception("imsmanifest.xml is not well-formed XML: " + reason);
    }
    // The organization's title, as a platform shows it, is the test's.
    const xmlNode* root = xmlDocGetRootElement(doc.get());
    const auto child = [](const xmlNode* parent, const char* name) -> const xmlNode* {
        for (const xmlNode* n = parent ? parent->children : nullptr; n; n = n->next)
            if (n->type == XML_ELEMENT_NODE && xmlStrcmp(n->name, BAD_CAST name) == 0) return n;
        return nullptr;
    };
    const xmlNode* title = child(child(child(root, "organizations"), "organization"), "title");
    std::string read;
    if (title) {
        xmlChar* text = xmlNodeGetContent(title);
        if (text) read = reinterpret_cast<const char*>(text);
        xmlFree(text);
    }
    // What the parser gives back: the visible title, its line ends as XML reads them.
    std::string expected;
    const std::string visible = visibleText(titleUtf8);
    for (std::size_t i = 0; i < visible.size(); ++i) {
        if (visible[i] == '\r' && i + 1 < visible.size() && visible[i + 1] == '\n') continue;
        expected += visible[i] == '\r' ? '\n' : visible[i];
    }
    if (!title || read != expected)
        throw Exception("imsmanifest.xml does not read back with the test's title");
}

std::string scormPackage(const std::string& page, const std::string& titleUtf8) {
    // The identifier is an XML name: no "+", "/" or "=".
    std::string id = "quorvane-" + sha256Base64(page).substr(0, 16);
    for (char& c : id)
        if (c == '+' || c == '/' || c == '=') c = '_';
    const std::string manifest = scormManifest(titleUtf8, id);
    readBackManifest(manifest, titleUtf8);
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* memory = zip_source_buffer_create(nullptr, 0, 0, &error);
    if (!memory) zipFailed(&error);
    zip_t* archive = zip_open_from_source(memory, ZIP_TRUNCATE, &error);
    if (!archive) {
        zip_source_free(memory);
        zipFailed(&error);
    }
    zip_source_keep(memory);  // read back after the archive is closed
    const auto add = [&](const char* name, const std::string& bytes) {
        zip_source_t* source = zip_source_buffer(archive, bytes.data(), bytes.size(), 0);
        if (!source || zip_file_add(archive, name, source, ZIP_FL_ENC_UTF_8) < 0) {
            if (source) zip_source_free(source);
            zip_error_set(&error, zip_error_code_zip(zip_get_error(archive)), 0);
            zip_discard(archive);
            zip_source_free(memory);
            zipFailed(&error);
        }
    };
    add("imsmanifest.xml", manifest);
    add("index.html", page);
    if (zip_close(archive) < 0) {
        zip_error_set(&error, zip_error_code_zip(zip_get_error(archive)), 0);
        zip_discard(archive);
        zip_source_free(memory);
        zipFailed(&error);
    }
    std::string bytes;
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_source_stat(memory, &stat) < 0 || zip_source_open(memory) < 0) {
        zip_source_free(memory);
        throw Exception("zip: the package could not be read back");
    }
    bytes.resize(static_cast<std::size_t>(stat.size));
    const zip_int64_t got = zip_source_read(memory, bytes.data(), stat.size);
    zip_source_close(memory);
    zip_source_free(memory);
    if (got != static_cast<zip_int64_t>(stat.size))
        throw Exception("zip: the package could not be read back");
    return bytes;
}

std::string answerKeyDocument(const std::string& testPath, const std::string& keyStyle) {
    Session session;
    session.running().beginRun();
    session.running().loadForRun(testPath);
    const TestWindowState& window = session.testWindow();
    const TestDocument& doc = session.document();
    const auto text = [](const std::string& bytes) { return markupText(cp1251::toUtf8(bytes)); };
    const int shown = window.shownButtons < 1 ? 1 : window.shownButtons;
    const std::string title = text(window.title);
    std::string html =
        "<!DOCTYPE html>\n<html lang=\"ru\">\n<head>\n<meta charset=\"utf-8\">\n"
        "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; "
        "style-src 'sha256-" +
        sha256Base64(keyStyle) +
        "'\">\n<meta name=\"generator\" content=\"Quorvane\">\n<title>Ключ к тесту: " + title +
        "</title>\n<style>" + keyStyle + "</style>\n</head>\n<body>\n<h1>Ключ к тесту «" + title +
        "»</h1>\n<p class=\"author\">" + text(window.authorLine) +
        "</p>\n<p class=\"warning\">Только для автора: не давайте этот лист проходящим тест.</p>\n"
        "<h2>Баллы за каждую кнопку</h2>\n<table>\n<thead><tr><th>№</th><th>Вопрос</th>";
    for (int b = 1; b <= shown; ++b)
        html += "<th>" + std::to_string(b) + ". " +
                text(window.captions[static_cast<std::size_t>(b - 1)]) + "</th>";
    html += "</tr></thead>\n<tbody>\n";
    for (int q = 1; q <= doc.questionCount; ++q) {
        html += "<tr><td>" + std::to_string(q) + "</td><td><p>" + text(doc.text(q)) + "</p>";
        std::string variants;
        for (int b = 1; b <= shown; ++b) {
            if (!doc.variant(q, b).empty()) variants += "<li>" + text(doc.variant(q, b)) + "</li>";
        }
        if (!variants.empty()) html += "<ol>" + variants + "</ol>";
        html += "</td>";
        for (int b = 1; b <= shown; ++b) html += "<td>" + text(doc.points(q, b)) + "</td>";
        html += "</tr>\n";
    }
    html +=
        "</tbody>\n</table>\n<h2>Диапазоны и сообщения о результатах</h2>\n<div "
        "class=\"messages\">\n";
    const MessageLines& messages = session.running().messageLines();
    for (int i = 1; i <= messages.count(); ++i) html += "<p>" + text(messages.line(i)) + "</p>\n";
    html += "</div>\n</body>\n</html>\n";
    return html;
}

std::string exportName(const std::string& testPath, ExportKind kind) {
    return withoutExtension(testPath) + (kind == ExportKind::WebPage     ? ".html"
                                         : kind == ExportKind::AnswerKey ? "-key.html"
                                                                         : ".zip");
}

std::string exportTest(const std::string& testPath, const std::string& outputPath,
                       const std::string& partsFolder, const ExportOptions& options) {
    const PageParts parts = readPageParts(partsFolder);
    std::string output;
    if (options.kind == ExportKind::AnswerKey) {
        output = answerKeyDocument(testPath, parts.keyStyle);
    } else {
        const std::string bytes = readWholeFile(testPath, kMaxTestFileBytes);
        const std::string title = testTitle(testPath);
        const std::string page = testPage(parts, bytes, title);
        output = options.kind == ExportKind::WebPage ? page : scormPackage(page, title);
    }
    const std::string written =
        outputPath.empty() ? exportName(testPath, options.kind) : outputPath;
    writeBytes(written, output);
    return written;
}

}  // namespace qv
