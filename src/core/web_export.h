// Handing a test out: a self-contained web page that takes the test with the
// program's own rules (compiled for the browser), a SCORM 1.2 package with that
// page as its one activity, and the page's printed copy with or without the
// author's key.
#pragma once

#include <string>

namespace qv {

// The parts every exported page is made of, as the program installs them.
struct PageParts {
    std::string html;    // the page with its {{...}} places
    std::string style;   // the style sheet, screen and print
    std::string script;  // the compiled player followed by the page's script
};

// Reads page.html, page.css, quorvane-player.js and page.js from `folder`;
// raises EInOutError when one cannot be read.
PageParts readPageParts(const std::string& folder);

enum class ExportKind { WebPage, ScormPackage };

struct ExportOptions {
    ExportKind kind = ExportKind::WebPage;
    bool answerKey = false;  // the printed copy ends with the points and the ranges
};

// The page for a test's bytes: the bytes embedded as they are (the player
// reads them with the loader), a Content-Security-Policy that lets nothing
// but the page's own script and style run and nothing be fetched.
// `titleUtf8` names the page until the player has read the test.
std::string testPage(const PageParts& parts, const std::string& testBytes,
                     const std::string& titleUtf8, bool answerKey);

// A SCORM 1.2 package (zip bytes) with one SCO: imsmanifest.xml naming the
// title, and the page as index.html.
std::string scormPackage(const std::string& page, const std::string& titleUtf8);

// "quiz.tst" gives "quiz.html" or "quiz.zip", beside it.
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
