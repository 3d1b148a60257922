// Handing a test out: a self-contained web page that takes the test with the
// program's own rules (compiled for the browser), a SCORM 1.2 package with that
// page as its one activity, and the author's key, a document of its own that
// no taker is given. A page and a package carry the test's points, as the
// page scores in the browser; the key's messages and ranges are in them too.
#pragma once

#include <string>

namespace qv {

// The parts every exported page is made of, as the program installs them.
struct PageParts {
    std::string html;      // the page with its {{...}} places
    std::string style;     // the style sheet, screen and print
    std::string script;    // the compiled player followed by the page's scripts
    std::string keyStyle;  // the author's key's style sheet
};

// Reads page.html, page.css, quorvane-player.js, platform.js, page.js and
// key.css from `folder`;
// raises EInOutError when one cannot be read.
PageParts readPageParts(const std::string& folder);

// The page and the package are for the takers; the key, with the points of
// every button and the ranges, is for the author alone.
enum class ExportKind { WebPage, ScormPackage, AnswerKey };

struct ExportOptions {
    ExportKind kind = ExportKind::WebPage;
};

// Text made fit for XML 1.0 and HTML: markup characters escaped, and each
// control character neither can hold shown as U+FFFD.
std::string markupText(const std::string& utf8);

// The page for a test's bytes: the bytes embedded as they are (the player
// reads them with the loader), a Content-Security-Policy that lets nothing
// but the page's own script and style run and nothing be fetched.
// `titleUtf8` names the page until the player has read the test.
std::string testPage(const PageParts& parts, const std::string& testBytes,
                     const std::string& titleUtf8);

// The package's imsmanifest.xml, naming the title and launching index.html.
std::string scormManifest(const std::string& titleUtf8, const std::string& identifier);

// Reads `manifest` back with an XML parser, as a platform will; raises an
// Exception saying why when it is not well-formed or does not name
// `titleUtf8` (made fit for XML) as its title.
void readBackManifest(const std::string& manifest, const std::string& titleUtf8);

// A SCORM 1.2 package (zip bytes) with one SCO: imsmanifest.xml naming the
// title, read back before it is zipped, and the page as index.html.
std::string scormPackage(const std::string& page, const std::string& titleUtf8);

// The author's key for the test at `testPath`, as the run reads it: a page
// to print, with no script, giving the points of every shown button of each
// question under a header row repeated on every sheet, then the message
// section. Raises what the run raises for a test it refuses.
std::string answerKeyDocument(const std::string& testPath, const std::string& keyStyle);

// "quiz.tst" gives "quiz.html", "quiz.zip" or "quiz-key.html", beside it.
std::string exportName(const std::string& testPath, ExportKind kind);

// Exports the test at `testPath` to `outputPath` (exportName() when empty),
// with the parts read from `partsFolder`, and returns the name written. Any
// test that can be read is exported, as the page then meets its problems as
// the desktop does; the output replaces a file of that name only once it is
// complete. Raises EInOutError when the test or a part cannot be read or the
// output cannot be written.
std::string exportTest(const std::string& testPath, const std::string& outputPath,
                       const std::string& partsFolder, const ExportOptions& options);

// The SHA-256 of `bytes` in base64, as a Content-Security-Policy names a script.
std::string sha256Base64(const std::string& bytes);

}  // namespace qv
