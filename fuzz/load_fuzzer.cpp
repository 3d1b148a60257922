// libFuzzer target for the test file loader.
//
// Each input is written to a file and loaded as the editor or the test window
// would load it (the parity of the byte sum picks which, so that every
// mutation may move an input to the other use). A load may fail only with one of
// the program's own exceptions, and whatever it stored must stay within the
// document's limits, and what it stored must be what a plain reading of the
// file's lines gives. A load that succeeds is saved again and the saved file
// loaded once more: everything the file format carries must come back
// unchanged, and for the editing use, saving the reloaded test must give the
// same lines as the first save.
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

#include "errors.h"
#include "number.h"
#include "document.h"
#include "format.h"
#include "loader.h"
#include "writer.h"

// Prints what failed and aborts, so that libFuzzer keeps the input.
#define QV_FUZZ_CHECK(cond)                                                          \
    do {                                                                             \
        if (!(cond)) {                                                               \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
            std::abort();                                                            \
        }                                                                            \
    } while (false)

namespace {

enum class Use { Editing, Run };

// Stores what a load hands to the windows, the way the two windows keep it:
// the editor keeps the message section as the lines of its memo and empties
// the last one at the end; the test window keeps MessageLines.
class RecordingDestination : public qv::LoadDestination {
public:
    explicit RecordingDestination(Use use) : use_(use) {}

    void buttonCountRead(const std::string& text) override { buttonCountText = text; }
    void variantModeRead(std::int32_t mode) override { modeSeen = mode; }
    void titleRead(const std::string& t, const std::string& a, const std::string& c) override {
        title = t;
        author = a;
        windowCaption = c;
    }
    void buttonsRead(const qv::LineFields& c) override { captions = c; }
    void variantsRead() override { variantsDone = true; }
    void messagesBegin() override {
        if (use_ == Use::Run) runMessages.clear();
    }
    void messageRead(std::string& line) override {
        if (use_ == Use::Run) {
            runMessages.append(line);
        } else {
            memo.push_back(line);
        }
    }
    void loadFinished() override {
        if (use_ == Use::Editing && !memo.empty()) memo.back().clear();
        finished = true;
    }

    // The message lines a save of this test would be handed.
    std::vector<std::string> messageLines() const {
        if (use_ == Use::Editing) return memo;
        std::vector<std::string> lines;
        for (int i = 1; i <= runMessages.count(); ++i) lines.push_back(runMessages.line(i));
        return lines;
    }

    std::string buttonCountText;
    std::int32_t modeSeen = 0;
    std::string title, author, windowCaption;
    qv::LineFields captions;
    bool variantsDone = false;
    bool finished = false;
    std::vector<std::string> memo;
    qv::MessageLines runMessages;

private:
    Use use_;
};

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
void checkLimits(const qv::TestDocument& doc, const RecordingDestination& dest) {
    QV_FUZZ_CHECK(doc.questionCount >= 0 && doc.questionCount <= qv::kMaxQuestions);
    QV_FUZZ_CHECK(doc.buttonCount >= 0 && doc.buttonCount <= qv::kMaxButtons);
    // A load stores variants for questions 1..questionCount, and for
    // question 1 also when there are no questions.
    const int questions = std::max(1, doc.questionCount);
    for (int q = 1; q <= questions; ++q)
        for (int b = 1; b <= qv::kMaxButtons; ++b)
            QV_FUZZ_CHECK(doc.variant(q, b).size() <= qv::kVariantCapacity);
    QV_FUZZ_CHECK(dest.runMessages.count() <= qv::kMaxMessageLines);
    for (const auto& field : dest.captions) {
        QV_FUZZ_CHECK(field.find(')') == std::string::npos);
        QV_FUZZ_CHECK(field.find(qv::kFieldSeparator) == std::string::npos);
    }
}

// What holds after a load that succeeded.
void checkLoaded(const qv::TestDocument& doc, const RecordingDestination& dest) {
    QV_FUZZ_CHECK(dest.finished && dest.variantsDone);
    QV_FUZZ_CHECK(doc.buttonCount >= 1);
    QV_FUZZ_CHECK(qv::tryStrToInt(dest.buttonCountText) == doc.buttonCount);
    QV_FUZZ_CHECK(dest.modeSeen == doc.variantMode);
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
void checkAgainstReference(const ReferenceFile& file, const qv::TestDocument& doc,
                           const RecordingDestination& dest, Use use, bool loaded) {
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
        // The one refusal left for such a file: a run with more message
        // lines than MessageLines holds.
        QV_FUZZ_CHECK(use == Use::Run &&
                      messages.size() > static_cast<std::size_t>(qv::kMaxMessageLines));
        return;
    }

    QV_FUZZ_CHECK(doc.questionCount == *questions);
    QV_FUZZ_CHECK(doc.buttonCount == *buttons);
    QV_FUZZ_CHECK(doc.variantMode == *mode);
    QV_FUZZ_CHECK(dest.buttonCountText == info[1]);
    const qv::LineFields title = qv::splitFields(file.line(1));
    QV_FUZZ_CHECK(dest.title == title[0] && dest.author == title[1] &&
                  dest.windowCaption == title[2]);
    QV_FUZZ_CHECK(dest.captions == qv::splitFields(file.line(2)));
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
    if (use == Use::Run) {
        QV_FUZZ_CHECK(dest.messageLines() == messages);
    } else {
        if (!messages.empty()) messages.back().clear();
        QV_FUZZ_CHECK(dest.memo == messages);
    }
}

qv::TestHeader headerOf(const RecordingDestination& dest) {
    qv::TestHeader header;
    header.buttonCountText = dest.buttonCountText;
    header.title = dest.title;
    header.author = dest.author;
    header.windowCaption = dest.windowCaption;
    header.captions = dest.captions;
    return header;
}

// A document as a fresh one is: every count 0, every text empty. The two
// documents are kept across inputs and reset by assignment, which costs far
// less than building the large document anew for every input.
qv::TestDocument& freshDocument(std::size_t which) {
    static const auto blank = std::make_unique<const qv::TestDocument>();
    static std::array<std::unique_ptr<qv::TestDocument>, 2> docs;
    auto& doc = docs.at(which);
    if (!doc) doc = std::make_unique<qv::TestDocument>();
    *doc = *blank;
    return *doc;
}

std::vector<std::string> nonEmpty(const std::vector<std::string>& lines) {
    std::vector<std::string> kept;
    for (const auto& line : lines)
        if (!line.empty()) kept.push_back(line);
    return kept;
}

// Saves the loaded test, loads the saved file, and compares.
void checkRoundTrip(qv::TestLoader& loader, const qv::TestDocument& first,
                    const RecordingDestination& firstDest, Use use) {
    const qv::TestHeader header = headerOf(firstDest);
    const std::vector<std::string> messages = firstDest.messageLines();
    const std::vector<std::string> saved =
        qv::testFileLines(first, first.questionCount, first.buttonCount, header, messages);
    qv::writeLines(g_resavePath, saved);

    // What the saved file's message section holds: the non-empty lines and
    // the end marker.
    std::vector<std::string> written = nonEmpty(messages);
    written.emplace_back("$");

    qv::TestDocument& second = freshDocument(1);
    RecordingDestination secondDest(use);
    try {
        loader.load(g_resavePath, second, secondDest);
    } catch (const qv::Exception&) {
        // The one refusal a saved file can meet: the end marker the save adds
        // takes a run past the limit on message lines.
        checkLimits(second, secondDest);
        QV_FUZZ_CHECK(use == Use::Run);
        QV_FUZZ_CHECK(written.size() > static_cast<std::size_t>(qv::kMaxMessageLines));
        return;
    }
    checkLimits(second, secondDest);
    checkLoaded(second, secondDest);

    QV_FUZZ_CHECK(second.questionCount == first.questionCount);
    QV_FUZZ_CHECK(second.buttonCount == first.buttonCount);
    QV_FUZZ_CHECK(second.variantMode == first.variantMode);
    QV_FUZZ_CHECK(secondDest.buttonCountText == firstDest.buttonCountText);
    QV_FUZZ_CHECK(secondDest.title == firstDest.title);
    QV_FUZZ_CHECK(secondDest.author == firstDest.author);
    QV_FUZZ_CHECK(secondDest.windowCaption == firstDest.windowCaption);
    const auto buttons = static_cast<std::size_t>(first.buttonCount);
    for (std::size_t b = 0; b < secondDest.captions.size(); ++b) {
        // Only the captions of the buttons in use are saved.
        if (b < buttons) {
            QV_FUZZ_CHECK(secondDest.captions[b] == firstDest.captions[b]);
        } else {
            QV_FUZZ_CHECK(secondDest.captions[b].empty());
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
        QV_FUZZ_CHECK(secondDest.messageLines() == written);
    } else {
        std::vector<std::string> memo = written;
        memo.back().clear();
        QV_FUZZ_CHECK(secondDest.memo == memo);
        // Saving what the editor now shows gives the same file again.
        const std::vector<std::string> again =
            qv::testFileLines(second, second.questionCount, second.buttonCount,
                              headerOf(secondDest), secondDest.messageLines());
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

    qv::TestLoader loader;
    qv::TestDocument& doc = freshDocument(0);
    RecordingDestination dest(use);
    bool loaded = false;
    try {
        loader.load(g_inputPath, doc, dest);
        loaded = true;
    } catch (const qv::EInOutError& e) {
        // The input file is an ordinary readable file: no I/O failure may occur.
        std::fprintf(stderr, "unexpected I/O error %d: %s\n", e.errorCode(), e.what());
        std::abort();
    } catch (const qv::Exception& e) {
        // A bad number, or a count the document has no room for.
        QV_FUZZ_CHECK(!e.message().empty());
        QV_FUZZ_CHECK(!dest.finished);
    }
    checkLimits(doc, dest);
    checkAgainstReference(reference, doc, dest, use, loaded);
    if (!loaded) return 0;
    checkLoaded(doc, dest);
    checkRoundTrip(loader, doc, dest, use);
    return 0;
}
