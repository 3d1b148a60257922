// libFuzzer target for the test file loader.
//
// Each input is written to a file and loaded by the program's session, for
// editing or for a run (the parity of the byte sum picks which, so that every
// mutation may move an input to the other use), with the calls the windows
// make around the load. A load may fail only with one of the program's own
// exceptions, and whatever the session holds must stay within the document's
// limits, and what it stored must be what a plain reading of the file's lines
// gives. A load that succeeds is saved again and the saved file loaded once
// more: everything the file format carries must come back unchanged, and for
// the editing use, saving the reloaded test must give the same lines as the
// first save.
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "document.h"
#include "errors.h"
#include "format.h"
#include "number.h"
#include "session.h"
#include "session_setup.h"
#include "writer.h"

// Prints what failed and aborts, so that libFuzzer keeps the input.
#define QV_FUZZ_CHECK(cond)                                                               \
    do {                                                                                  \
        if (!(cond)) {                                                                    \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
            std::abort();                                                                 \
        }                                                                                 \
    } while (false)

namespace {

enum class Use { Editing, Run };

// Loads a file into the session as the program does: for editing, after the
// manager's command has named the file and the editor has opened; for a run,
// after the run has begun.
void load(qv::Session& session, const std::string& path, Use use) {
    if (use == Use::Editing) {
        session.editing().beginEditing(path);
        session.editing().editorOpened();
        session.editing().loadForEditing(path);
    } else {
        session.running().beginRun();
        session.running().loadForRun(path);
    }
}

// The header a load handed to the windows, as the session keeps it: the
// editor's fields when editing; for a run, the test window's, and the
// button-count field, which the editor and the run share.
qv::TestHeader headerOf(const qv::Session& session, Use use) {
    qv::TestHeader header = session.editing().editor().header;
    if (use == Use::Run) {
        const qv::TestWindowState& test = session.testWindow();
        header.title = test.title;
        header.author = test.authorLine;
        header.windowCaption = test.caption;
        header.captions = test.captions;
    }
    return header;
}

// The message lines a save of the loaded test would be handed: the editor's
// message field, whose last line the load empties; a run's MessageLines.
std::vector<std::string> messageLinesOf(const qv::Session& session, Use use) {
    if (use == Use::Editing) return session.editing().editor().messages;
    std::vector<std::string> lines;
    const qv::MessageLines& messages = session.running().messageLines();
    for (int i = 1; i <= messages.count(); ++i) lines.push_back(messages.line(i));
    return lines;
}

std::string g_inputPath;
std::string g_resavePath;

// Removes the two files when an input is done with. (libFuzzer may end the
// process without running exit handlers, so nothing is left for the end.)
struct RemoveFiles {
    RemoveFiles() = default;
    RemoveFiles(const RemoveFiles&) = delete;
    RemoveFiles& operator=(const RemoveFiles&) = delete;
    ~RemoveFiles() {
        std::error_code ec;
        std::filesystem::remove(g_inputPath, ec);
        std::filesystem::remove(g_resavePath, ec);
    }
};

void writeInput(const uint8_t* data, size_t size) {
    std::ofstream out(g_inputPath, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    out.close();
    QV_FUZZ_CHECK(out.good());
}

// What holds after any load, successful or not.
void checkLimits(const qv::Session& session) {
    const qv::TestDocument& doc = session.document();
    QV_FUZZ_CHECK(doc.questionCount >= 0 && doc.questionCount <= qv::kMaxQuestions);
    QV_FUZZ_CHECK(doc.buttonCount >= 0 && doc.buttonCount <= qv::kMaxButtons);
    // A load stores variants for questions 1..questionCount, and for
    // question 1 also when there are no questions.
    const int questions = std::max(1, doc.questionCount);
    for (int q = 1; q <= questions; ++q)
        for (int b = 1; b <= qv::kMaxButtons; ++b)
            QV_FUZZ_CHECK(doc.variant(q, b).size() <= qv::kVariantCapacity);
    QV_FUZZ_CHECK(session.running().messageLines().count() <= qv::kMaxMessageLines);
    const qv::EditorState& editor = session.editing().editor();
    for (const auto* captions : {&editor.header.captions, &session.testWindow().captions}) {
        for (const auto& field : *captions) {
            QV_FUZZ_CHECK(field.find(')') == std::string::npos);
            QV_FUZZ_CHECK(field.find(qv::kFieldSeparator) == std::string::npos);
        }
    }
}

// What holds after a load that failed: the test is not taken for loaded.
void checkFailed(const qv::Session& session, Use use) {
    if (use == Use::Editing) {
        // A save must not replace the file unasked.
        QV_FUZZ_CHECK(session.saving().replacesFailedLoad(g_inputPath));
    } else {
        // What the test window shows cannot be answered.
        QV_FUZZ_CHECK(!session.testWindow().buttonsEnabled);
    }
}

// What holds after a load that succeeded; `checkedMode` is the variant mode
// the editor had checked before it.
void checkLoaded(const qv::Session& session, Use use, const std::string& path, int checkedMode) {
    const qv::TestDocument& doc = session.document();
    const qv::EditorState& editor = session.editing().editor();
    const qv::TestWindowState& test = session.testWindow();
    // The load finished: the editor shows question 1, or the test window asks it.
    QV_FUZZ_CHECK(doc.currentQuestion == 1);
    if (use == Use::Editing) {
        QV_FUZZ_CHECK(!session.saving().replacesFailedLoad(path));
        QV_FUZZ_CHECK(editor.questionNumber == 1 && editor.question.text == doc.text(1));
        for (int b = 1; b <= qv::kMaxButtons; ++b) {
            const auto k = static_cast<std::size_t>(b - 1);
            QV_FUZZ_CHECK(editor.question.variants[k] == doc.variant(1, b));
            QV_FUZZ_CHECK(editor.question.points[k] == doc.points(1, b));
        }
    } else {
        QV_FUZZ_CHECK(test.buttonsEnabled && test.question == doc.text(1));
        for (int b = 1; b <= qv::kMaxButtons; ++b)
            QV_FUZZ_CHECK(test.variants[static_cast<std::size_t>(b - 1)] == doc.variant(1, b));
    }
    // The button count took effect.
    QV_FUZZ_CHECK(doc.buttonCount >= 1);
    QV_FUZZ_CHECK(doc.activeButtonCount == doc.buttonCount && test.shownButtons == doc.buttonCount);
    if (use == Use::Editing) QV_FUZZ_CHECK(editor.fieldsInUse == doc.buttonCount);
    QV_FUZZ_CHECK(qv::tryStrToInt(editor.header.buttonCountText) == doc.buttonCount);
    // The editor checks the variant mode read, when it has a radio button
    // for it, and else a new test's, as every open starts from one; a run
    // leaves the editor's as it was.
    const bool modeShown =
        doc.variantMode >= qv::kNoVariants && doc.variantMode <= qv::kOwnVariants;
    const int expectedMode = use == Use::Run ? checkedMode
                             : modeShown     ? doc.variantMode
                                             : qv::kOwnVariants;
    QV_FUZZ_CHECK(editor.checkedVariantMode == expectedMode);
    // Lines end at CR, and 0x1A ends the file: neither can reach a stored text.
    for (int q = 1; q <= doc.questionCount; ++q) {
        QV_FUZZ_CHECK(doc.text(q).find_first_of("\r\x1a") == std::string::npos);
        for (int b = 1; b <= doc.buttonCount; ++b) {
            QV_FUZZ_CHECK(doc.variant(q, b).find_first_of("\r\x1a") == std::string::npos);
            // "," ends a points value, so no value holds one.
            QV_FUZZ_CHECK(doc.points(q, b).find_first_of(",\r\x1a") == std::string::npos);
        }
    }
    if (doc.variantMode == qv::kNoVariants) {
        for (int q = 1; q <= doc.questionCount; ++q)
            for (int b = 1; b <= doc.buttonCount; ++b) QV_FUZZ_CHECK(doc.variant(q, b).empty());
    } else if (doc.variantMode == qv::kFirstQuestionVariants) {
        for (int q = 2; q <= doc.questionCount; ++q)
            for (int b = 1; b <= doc.buttonCount; ++b)
                QV_FUZZ_CHECK(doc.variant(q, b) == doc.variant(1, b));
    }
}

// The file as the format defines it, read independently of the program's
// reader: a line ends at CR, an LF right after that CR is skipped, 0x1A ends
// the file, and lines past the end are empty.
class ReferenceFile {
  public:
    ReferenceFile(const uint8_t* data, size_t size) {
        std::string line;
        bool pending = false;  // a line has begun and is not yet ended
        for (size_t i = 0; i < size && data[i] != 0x1A; ++i) {
            if (data[i] == '\r') {
                lines_.push_back(line);
                line.clear();
                pending = false;
                if (i + 1 < size && data[i + 1] == '\n') ++i;
            } else {
                line += static_cast<char>(data[i]);
                pending = true;
            }
        }
        if (pending) lines_.push_back(line);
    }

    std::size_t count() const { return lines_.size(); }
    std::string line(std::size_t i) const { return i < lines_.size() ? lines_[i] : std::string(); }

  private:
    std::vector<std::string> lines_;
};

// What a load must store, worked out from the lines alone: the question
// texts, the variants and the message section are whole lines at places the
// Info line fixes. Checks a load that succeeded, and that a file whose Info
// line is sound does load.
void checkAgainstReference(const ReferenceFile& file, const qv::Session& session, Use use,
                           bool loaded) {
    const qv::TestDocument& doc = session.document();
    const qv::LineFields info = qv::splitFields(file.line(0));
    const auto questions = qv::tryStrToInt(info[0]);
    const auto buttons = qv::tryStrToInt(info[1]);
    const auto mode = qv::tryStrToInt(info[2]);
    if (!questions || !buttons || !mode) {
        QV_FUZZ_CHECK(!loaded);
        return;
    }
    const bool countsFit = *questions >= 0 && *questions <= qv::kMaxQuestions && *buttons >= 1 &&
                           *buttons <= qv::kMaxButtons;
    if (!countsFit) return;  // refusing or trimming such a file is the loader's own rule
    const auto n = static_cast<std::size_t>(*questions);
    const auto b = static_cast<std::size_t>(*buttons);

    // Lines 0-2 are the header, 3 "Questions:", then the questions, the
    // variants header, the variant lines, "Numbers:" and the points lines.
    const std::size_t firstVariant = 4 + n + 1;
    const std::size_t variantLines = *mode == qv::kNoVariants              ? 0
                                     : *mode == qv::kFirstQuestionVariants ? b
                                                                           : n * b;
    const std::size_t firstPoints = firstVariant + variantLines + 1;
    // The first points line is taken as points, unless there are no
    // questions and it is the "Message:" line; the first "Message:" line
    // after it opens the message section. Without one, there are no messages.
    std::size_t messageHeader = file.count();
    if (n == 0 && file.line(firstPoints) == "Message:") {
        messageHeader = firstPoints;
    } else {
        for (std::size_t i = firstPoints + 1; i < file.count(); ++i) {
            if (file.line(i) == "Message:") {
                messageHeader = i;
                break;
            }
        }
    }
    std::vector<std::string> messages;
    for (std::size_t i = messageHeader + 1; i < file.count(); ++i) messages.push_back(file.line(i));

    if (!loaded) {
        // The refusals left for such a file are a run's: more message lines
        // than MessageLines holds, or no question to ask.
        QV_FUZZ_CHECK(use == Use::Run &&
                      (messages.size() > static_cast<std::size_t>(qv::kMaxMessageLines) || n == 0));
        return;
    }

    if (use == Use::Editing && n == 0) {
        // The editor edits a test without questions as one empty question;
        // only the variants the file gave question 1 stay.
        QV_FUZZ_CHECK(doc.questionCount == 1 && doc.text(1).empty());
        for (int k = 1; k <= qv::kMaxButtons; ++k) {
            QV_FUZZ_CHECK(doc.points(1, k).empty());
            if (*mode != qv::kFirstQuestionVariants || k > *buttons)
                QV_FUZZ_CHECK(doc.variant(1, k).empty());
        }
    } else {
        QV_FUZZ_CHECK(doc.questionCount == *questions);
    }
    QV_FUZZ_CHECK(doc.buttonCount == *buttons);
    QV_FUZZ_CHECK(doc.variantMode == *mode);
    const qv::TestHeader header = headerOf(session, use);
    QV_FUZZ_CHECK(header.buttonCountText == info[1]);
    const qv::LineFields title = qv::splitFields(file.line(1));
    QV_FUZZ_CHECK(header.title == title[0] && header.author == title[1] &&
                  header.windowCaption == title[2]);
    QV_FUZZ_CHECK(header.captions == qv::splitFields(file.line(2)));
    for (std::size_t q = 1; q <= n; ++q) {
        QV_FUZZ_CHECK(doc.text(static_cast<int>(q)) == file.line(4 + q - 1));
    }
    // Mode 1 empties the variants (checked with every load); mode 2 reads
    // those of question 1, also without questions; any other mode reads
    // those of every question.
    const auto variantLine = [&](std::size_t i) {
        std::string text = file.line(firstVariant + i);
        text.resize(std::min(text.size(), qv::kVariantCapacity));
        return text;
    };
    if (*mode == qv::kFirstQuestionVariants) {
        for (std::size_t k = 1; k <= b; ++k)
            QV_FUZZ_CHECK(doc.variant(1, static_cast<int>(k)) == variantLine(k - 1));
    } else if (*mode != qv::kNoVariants) {
        for (std::size_t q = 1; q <= n; ++q)
            for (std::size_t k = 1; k <= b; ++k)
                QV_FUZZ_CHECK(doc.variant(static_cast<int>(q), static_cast<int>(k)) ==
                              variantLine((q - 1) * b + k - 1));
    }
    if (use == Use::Editing && !messages.empty()) messages.back().clear();
    QV_FUZZ_CHECK(messageLinesOf(session, use) == messages);
}

// The session of each of an input's two loads. Each is kept across inputs,
// as the program keeps its one session from load to load, and its document
// is reset by assignment: a new session would build the large document anew,
// which takes most of an input's time in this build. Every part of the
// session that the checks compare with the file, a successful load sets
// anew; what a failed load leaves of an earlier input is held to the same
// limits. So no input's outcome depends on the inputs before it.
qv::Session& sessionFor(std::size_t which) {
    static const auto blank = std::make_unique<const qv::TestDocument>();
    static std::array<std::unique_ptr<qv::Session>, 2> sessions;
    auto& session = sessions.at(which);
    if (!session) session = std::make_unique<qv::Session>();
    qv::SessionSetUp::document(*session) = *blank;
    return *session;
}

std::vector<std::string> nonEmpty(const std::vector<std::string>& lines) {
    std::vector<std::string> kept;
    for (const auto& line : lines)
        if (!line.empty()) kept.push_back(line);
    return kept;
}

// Saves the loaded test, loads the saved file into a second session, and compares.
void checkRoundTrip(const qv::Session& firstSession, Use use) {
    const qv::TestDocument& first = firstSession.document();
    const qv::TestHeader header = headerOf(firstSession, use);
    const std::vector<std::string> messages = messageLinesOf(firstSession, use);
    const std::vector<std::string> saved =
        qv::testFileLines(first, first.questionCount, first.buttonCount, header, messages);
    qv::writeLines(g_resavePath, saved);

    // What the saved file's message section holds: the non-empty lines and
    // the end marker.
    std::vector<std::string> written = nonEmpty(messages);
    written.emplace_back("$");

    qv::Session& secondSession = sessionFor(1);
    const int checkedMode = secondSession.editing().editor().checkedVariantMode;
    try {
        load(secondSession, g_resavePath, use);
    } catch (const qv::Exception&) {
        // The one refusal a saved file can meet: the end marker the save adds
        // takes a run past the limit on message lines.
        checkLimits(secondSession);
        QV_FUZZ_CHECK(use == Use::Run);
        QV_FUZZ_CHECK(written.size() > static_cast<std::size_t>(qv::kMaxMessageLines));
        return;
    }
    checkLimits(secondSession);
    checkLoaded(secondSession, use, g_resavePath, checkedMode);
    const qv::TestDocument& second = secondSession.document();
    const qv::TestHeader secondHeader = headerOf(secondSession, use);

    QV_FUZZ_CHECK(second.questionCount == first.questionCount);
    QV_FUZZ_CHECK(second.buttonCount == first.buttonCount);
    QV_FUZZ_CHECK(second.variantMode == first.variantMode);
    QV_FUZZ_CHECK(secondHeader.buttonCountText == header.buttonCountText);
    QV_FUZZ_CHECK(secondHeader.title == header.title);
    QV_FUZZ_CHECK(secondHeader.author == header.author);
    QV_FUZZ_CHECK(secondHeader.windowCaption == header.windowCaption);
    const auto buttons = static_cast<std::size_t>(first.buttonCount);
    for (std::size_t b = 0; b < secondHeader.captions.size(); ++b) {
        // Only the captions of the buttons in use are saved.
        if (b < buttons) {
            QV_FUZZ_CHECK(secondHeader.captions[b] == header.captions[b]);
        } else {
            QV_FUZZ_CHECK(secondHeader.captions[b].empty());
        }
    }
    for (int q = 1; q <= first.questionCount; ++q) {
        QV_FUZZ_CHECK(second.text(q) == first.text(q));
        for (int b = 1; b <= first.buttonCount; ++b) {
            QV_FUZZ_CHECK(second.points(q, b) == first.points(q, b));
        }
    }
    // The saved variants: those of question 1 in mode 2 (also without
    // questions), every question's otherwise, none in mode 1.
    if (first.variantMode == qv::kFirstQuestionVariants) {
        for (int b = 1; b <= first.buttonCount; ++b)
            QV_FUZZ_CHECK(second.variant(1, b) == first.variant(1, b));
    } else if (first.variantMode != qv::kNoVariants) {
        for (int q = 1; q <= first.questionCount; ++q)
            for (int b = 1; b <= first.buttonCount; ++b)
                QV_FUZZ_CHECK(second.variant(q, b) == first.variant(q, b));
    }

    if (use == Use::Run) {
        QV_FUZZ_CHECK(messageLinesOf(secondSession, use) == written);
    } else {
        std::vector<std::string> memo = written;
        memo.back().clear();
        QV_FUZZ_CHECK(secondSession.editing().editor().messages == memo);
        // Saving what the editor now shows gives the same file again.
        const std::vector<std::string> again =
            qv::testFileLines(second, second.questionCount, second.buttonCount, secondHeader,
                              messageLinesOf(secondSession, use));
        QV_FUZZ_CHECK(again == saved);
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
    // Saving syncs the file to disk; a memory-backed folder keeps that cheap.
    std::filesystem::path base = std::filesystem::temp_directory_path();
    if (const char* dir = std::getenv("QV_FUZZ_TMPDIR")) {
        base = dir;
    } else if (std::filesystem::is_directory("/dev/shm")) {
        base = "/dev/shm";
    }
    const std::string stem = "qv-load-fuzzer-" + std::to_string(::getpid());
    g_inputPath = (base / (stem + "-input.tst")).string();
    g_resavePath = (base / (stem + "-saved.tst")).string();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const RemoveFiles removeFiles;
    writeInput(data, size);
    unsigned sum = 0;
    for (size_t i = 0; i < size; ++i) sum += data[i];
    const Use use = (sum & 1U) != 0 ? Use::Run : Use::Editing;
    const ReferenceFile reference(data, size);

    qv::Session& session = sessionFor(0);
    const int checkedMode = session.editing().editor().checkedVariantMode;
    bool loaded = false;
    try {
        load(session, g_inputPath, use);
        loaded = true;
    } catch (const qv::EInOutError& e) {
        // The input file is an ordinary readable file: no I/O failure may occur.
        std::fprintf(stderr, "unexpected I/O error %d: %s\n", e.errorCode(), e.what());
        std::abort();
    } catch (const qv::Exception& e) {
        // A bad number, a count the document has no room for, or a run
        // without questions.
        QV_FUZZ_CHECK(!e.message().empty());
        checkFailed(session, use);
    }
    checkLimits(session);
    checkAgainstReference(reference, session, use, loaded);
    if (!loaded) return 0;
    checkLoaded(session, use, g_inputPath, checkedMode);
    checkRoundTrip(session, use);
    return 0;
}
