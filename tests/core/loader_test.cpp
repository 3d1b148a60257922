// Reading test files: the order of reading, the variant layouts, files that
// end early, the message section, refused counts and failures part-way; and
// a test read from memory as from its file.
#include <gtest/gtest.h>

#include <functional>

#include "core_support.h"
#include "errors.h"
#include "file_loading.h"
#include "loader.h"
#include "text_writer.h"

namespace {

// Records, in order, what the loader hands to its destination. The message
// lines also go into MessageLines, as in a run, which refuses line 1001.
class RecordingDestination : public qv::LoadDestination {
  public:
    std::vector<std::string> calls;
    std::string buttonCountText;
    std::int32_t variantMode = 0;
    std::string title, author, windowCaption;
    qv::LineFields captions;
    std::vector<std::string> messages;
    qv::MessageLines lines;

    void buttonCountRead(const std::string& text) override {
        calls.push_back("buttonCount");
        buttonCountText = text;
    }
    void variantModeRead(std::int32_t mode) override {
        calls.push_back("variantMode");
        variantMode = mode;
    }
    void titleRead(const std::string& t, const std::string& a, const std::string& c) override {
        calls.push_back("title");
        title = t;
        author = a;
        windowCaption = c;
    }
    void buttonsRead(const qv::LineFields& c) override {
        calls.push_back("buttons");
        captions = c;
    }
    void variantsRead() override { calls.push_back("variants"); }
    void messagesBegin() override {
        calls.push_back("messagesBegin");
        lines.clear();
    }
    void messageRead(std::string& line) override {
        calls.push_back("message");
        messages.push_back(line);
        lines.append(line);
    }
    void loadFinished() override { calls.push_back("finished"); }
};

using qvtest::crlf;
using qvtest::ru;
using qvtest::ruf;
using qvtest::TempFolder;
using Lines = std::vector<std::string>;

class Loader : public ::testing::Test {
  protected:
    // Writes the bytes to a file and loads it into doc, handing it to dest.
    void loadBytes(const std::string& bytes, RecordingDestination& destination) {
        qvtest::writeBytes(dir.file("t.tst"), bytes);
        qv::loadTestFile(loader, dir.file("t.tst"), doc, destination);
    }
    void loadLines(const Lines& lines) { loadBytes(crlf(lines), dest); }

    // A test with the given Info fields, questions, variant lines, points
    // lines and message lines.
    static Lines file(const std::string& info, const Lines& questions, const Lines& variants,
                      const Lines& points, const Lines& messages) {
        Lines lines{ruf("Info=(" + info + ")"), ruf("Title=(T^EA^EC)"), ruf("Buttons=(Y^EN)"),
                    "Questions:"};
        lines.insert(lines.end(), questions.begin(), questions.end());
        lines.push_back("Variants: all");
        lines.insert(lines.end(), variants.begin(), variants.end());
        lines.push_back("Numbers:");
        lines.insert(lines.end(), points.begin(), points.end());
        lines.push_back("Message:");
        lines.insert(lines.end(), messages.begin(), messages.end());
        return lines;
    }

    void fillVariants(const std::string& text) {
        for (int q = 1; q <= 4; ++q)
            for (int b = 1; b <= 6; ++b) doc.setVariant(q, b, text);
    }

    TempFolder dir;
    qv::TestLoader loader;
    qv::TestDocument doc;
    RecordingDestination dest;
};

TEST_F(Loader, ReadsTheWorkedExampleInFileOrder) {
    loadLines(qvtest::workedExampleLines());

    EXPECT_EQ(doc.questionCount, 2);
    EXPECT_EQ(doc.buttonCount, 3);
    EXPECT_EQ(doc.variantMode, 3);
    qv::TestDocument expected;
    qvtest::fillWorkedExample(expected);
    for (int q = 1; q <= 2; ++q) {
        EXPECT_EQ(doc.text(q), expected.text(q));
        for (int b = 1; b <= 3; ++b) {
            EXPECT_EQ(doc.variant(q, b), expected.variant(q, b)) << q << "," << b;
            EXPECT_EQ(doc.points(q, b), expected.points(q, b)) << q << "," << b;
        }
    }
    EXPECT_EQ(dest.buttonCountText, "3");
    EXPECT_EQ(dest.variantMode, 3);
    EXPECT_EQ(dest.title, ru("Проверка знаний"));
    EXPECT_EQ(dest.author, ru("Неизвестен"));
    EXPECT_EQ(dest.windowCaption, ru("Тест"));
    EXPECT_EQ(dest.captions, (qv::LineFields{ru("Да"), ru("Нет"), ru("Не знаю"), "", "", ""}));
    EXPECT_EQ(dest.messages, (Lines{"=0-2", ru("Стоит повторить материал."), "=3-4",
                                    ru("Хороший результат."), "$"}));
    ASSERT_EQ(dest.lines.count(), 5);
    EXPECT_EQ(dest.lines.line(5), "$");
    EXPECT_EQ(dest.calls,
              (Lines{"buttonCount", "variantMode", "title", "buttons", "variants", "messagesBegin",
                     "message", "message", "message", "message", "message", "finished"}));
    EXPECT_EQ(loader.lastLine(), "$");
}

struct ModeCase {
    std::int32_t mode;
    std::string header;  // the variants header line, which the reader ignores
    Lines variantLines;
    Lines expected;  // Variants[1..3][1..2]
};

TEST_F(Loader, TheInfoLineDecidesTheVariantLayout) {
    const Lines six = {"a", "b", "c", "d", "e", "f"};
    const std::vector<ModeCase> cases = {
        {1, "Variants: all", {}, {"", "", "", "", "", ""}},
        {2, "Variants: all", {"a", "b"}, {"a", "b", "a", "b", "a", "b"}},
        {3, "Variants: none", six, six},
        {7, "Variants: none", six, six},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        fillVariants("old");
        dest = {};
        Lines lines = file("3^E2^E" + std::to_string(c.mode), {"q1", "q2", "q3"}, c.variantLines,
                           {"1,2,3,4,5,6,"}, {"$"});
        lines[7] = c.header;
        loadLines(lines);
        EXPECT_EQ(doc.variantMode, c.mode);
        EXPECT_EQ(dest.variantMode, c.mode);
        Lines got;
        for (int q = 1; q <= 3; ++q)
            for (int b = 1; b <= 2; ++b) got.push_back(doc.variant(q, b));
        EXPECT_EQ(got, c.expected);
        // Variants beyond the button count and beyond the questions stay as they were.
        EXPECT_EQ(doc.variant(1, 3), "old");
        EXPECT_EQ(doc.variant(3, 6), "old");
        EXPECT_EQ(doc.variant(4, 1), "old");
        // The variant lines were counted right: the points line came next.
        EXPECT_EQ(doc.points(3, 2), "6");
        EXPECT_EQ(dest.messages, Lines{"$"});
    }
}

TEST_F(Loader, HeaderFieldsAsTheSplitterGivesThem) {
    Lines lines = file(" 2^E+2^E3", {"q1", "q2"}, {"1", "2", "3", "4"}, {"1,2,3,4,"}, {"$"});
    lines[1] = ruf("Title=(Тест (часть 1)^EНеизвестен^EПроверка)");
    lines[2] = ruf("Buttons=(Да^E^EНе знаю)");
    loadLines(lines);
    EXPECT_EQ(doc.questionCount, 2);
    EXPECT_EQ(doc.buttonCount, 2);
    EXPECT_EQ(dest.buttonCountText, "+2");  // the text as written, for the editor's box
    EXPECT_EQ(dest.title, ru("Тест (часть 1"));
    EXPECT_EQ(dest.author, "");
    EXPECT_EQ(dest.windowCaption, ru("Неизвестен"));
    EXPECT_EQ(dest.captions, (qv::LineFields{ru("Да"), "", ru("Не знаю"), "", "", ""}));
}

struct MessageCase {
    const char* name;
    std::string tail;  // the bytes after the "Message:" line
    Lines messages;
};

TEST_F(Loader, MessageSection) {
    const std::vector<MessageCase> cases = {
        {"end marker kept", "=0-10\r\nGood\r\n$\r\n", {"=0-10", "Good", "$"}},
        {"no end marker", "=0-10\r\nGood\r\n", {"=0-10", "Good"}},
        {"file ends after Message:", "", {}},
        {"empty lines kept", "=0-10\r\n\r\nGood\r\n\r\n$\r\n", {"=0-10", "", "Good", "", "$"}},
        {"a second Message: is a message", "Message:\r\n$\r\n", {"Message:", "$"}},
        {"last line without line end", "=0-1\r\n$", {"=0-1", "$"}},
        {"0x1A after the end marker",
         "=0-1\r\n$\r\n" + std::string(1, 0x1A) + "junk",
         {"=0-1", "$"}},
    };
    for (const auto& c : cases) {
        dest = {};
        loadBytes(crlf(file("1^E2^E1", {"q"}, {}, {"1,2,"}, {})) + c.tail, dest);
        EXPECT_EQ(dest.messages, c.messages) << c.name;
        EXPECT_EQ(dest.lines.count(), static_cast<int>(c.messages.size())) << c.name;
        EXPECT_EQ(dest.calls.back(), "finished") << c.name;
    }
}

TEST_F(Loader, MessageHeaderMustMatchExactly) {
    // Lines that only look like the message header are points lines.
    loadLines(file("2^E1^E1", {"a", "b"}, {}, {"1,", "message:", " Message:", "2,"}, {"$"}));
    EXPECT_EQ(doc.points(1, 1), "1");
    EXPECT_EQ(doc.points(2, 1), "message: Message:2");
    EXPECT_EQ(dest.messages, Lines{"$"});
}

TEST_F(Loader, AFileThatEndsEarlyReadsEmptyLines) {
    for (int q = 1; q <= 3; ++q) doc.setText(q, "old");
    fillVariants("old");
    loadLines({ruf("Info=(3^E2^E3)"), ruf("Title=(T^EA^EC)"), ruf("Buttons=(Y^EN)"),
               "Questions:", "first"});
    EXPECT_EQ(doc.questionCount, 3);
    EXPECT_EQ(doc.text(1), "first");
    EXPECT_EQ(doc.text(2), "");
    EXPECT_EQ(doc.text(3), "");
    EXPECT_EQ(doc.variant(3, 2), "");
    EXPECT_EQ(doc.variant(3, 3), "old");
    EXPECT_TRUE(dest.messages.empty());
    EXPECT_EQ(dest.calls.back(), "finished");
}

TEST_F(Loader, StopsAtTheEndWhenNoMessageHeaderComes) {
    Lines lines = file("1^E2^E1", {"q"}, {}, {"1,2,", "3,4,"}, {"=0-1", "A,", "$"});
    lines.erase(lines.end() - 4);  // no "Message:" line: the rest is taken as points
    loadLines(lines);
    EXPECT_EQ(dest.messages, Lines{});
    EXPECT_EQ(doc.points(2, 2), "4");
    EXPECT_EQ(doc.points(3, 1), "=0-1A");
    EXPECT_EQ(dest.calls.back(), "finished");
}

TEST_F(Loader, NoQuestionsKeepsItsMessages) {
    // What the saver writes when it drops the only question.
    fillVariants("old");
    loadLines(file("0^E2^E2", {}, {"v1", "v2"}, {}, {"=0-0", ru("Пусто"), "$"}));
    EXPECT_EQ(doc.questionCount, 0);
    EXPECT_EQ(doc.variant(1, 1), "v1");
    EXPECT_EQ(doc.variant(1, 2), "v2");
    EXPECT_EQ(dest.messages, (Lines{"=0-0", ru("Пусто"), "$"}));
}

struct RefusedCase {
    std::string info;
    std::int32_t questionCount;  // stored before the refusal
    std::int32_t buttonCount;
    std::string limit;  // named in the message
};

TEST_F(Loader, RefusesCountsTheDocumentHasNoRoomFor) {
    const std::vector<RefusedCase> cases = {
        {"501^E2^E3", 9, 4, "500"}, {"2147483647^E2^E3", 9, 4, "500"},
        {"-1^E2^E3", 9, 4, "500"},  {"3^E0^E3", 3, 4, "6"},
        {"3^E7^E3", 3, 4, "6"},     {"3^E-1^E3", 3, 4, "6"},
    };
    for (const auto& c : cases) {
        doc.questionCount = 9;
        doc.buttonCount = 4;
        doc.variantMode = 5;
        dest = {};
        const Lines lines = file(c.info, {"q"}, {"v", "v"}, {"1,2,"}, {"$"});
        try {
            loadLines(lines);
            ADD_FAILURE() << c.info << " was accepted";
        } catch (const qv::EConvertError&) {
            ADD_FAILURE() << c.info << " gave a conversion error";
        } catch (const qv::Exception& e) {
            EXPECT_NE(e.message().find(c.limit), std::string::npos) << c.info;
        }
        EXPECT_EQ(doc.questionCount, c.questionCount) << c.info;
        EXPECT_EQ(doc.buttonCount, c.buttonCount) << c.info;
        EXPECT_EQ(doc.variantMode, 5) << c.info;
        EXPECT_TRUE(dest.calls.empty()) << c.info;
    }
    // The limits themselves are accepted.
    loadLines(file("500^E6^E1", Lines(500, "q"), {}, {"1,"}, {"$"}));
    EXPECT_EQ(doc.questionCount, 500);
    EXPECT_EQ(doc.buttonCount, 6);
}

TEST_F(Loader, MoreThanAThousandMessageLinesAreRefused) {
    Lines messages(1000, "line");
    loadLines(file("1^E2^E1", {"q"}, {}, {"1,2,"}, messages));
    EXPECT_EQ(dest.lines.count(), 1000);

    messages.push_back("$");
    doc.setText(1, "before");
    EXPECT_THROW(loadLines(file("1^E2^E1", {"kept"}, {}, {"3,4,"}, messages)), qv::Exception);
    EXPECT_EQ(dest.lines.count(), 1000);
    EXPECT_EQ(dest.lines.line(1000), "line");
    EXPECT_EQ(doc.text(1), "kept");  // what was read before the failure stays
    EXPECT_EQ(doc.points(1, 2), "4");
    EXPECT_NE(dest.calls.back(), "finished");
}

struct ConversionCase {
    std::string info;
    std::string failingText;
    std::int32_t questionCount, buttonCount, variantMode;
};

TEST_F(Loader, AConversionErrorKeepsWhatWasAssignedBeforeIt) {
    const std::vector<ConversionCase> cases = {
        {"^E2^E3", "", -7, -7, -7},
        {"4^Etwo^E3", "two", 4, -7, -7},
        {"4^E2^E3 ", "3 ", 4, 2, -7},
        {"4^E2", "", 4, 2, -7},
    };
    for (const auto& c : cases) {
        doc.questionCount = doc.buttonCount = doc.variantMode = -7;
        dest = {};
        try {
            loadLines(file(c.info, {"q"}, {}, {"1,"}, {"$"}));
            ADD_FAILURE() << c.info << " was accepted";
        } catch (const qv::EConvertError& e) {
            EXPECT_EQ(e.message(), "'" + c.failingText + "' is not a valid integer value");
        }
        EXPECT_EQ(doc.questionCount, c.questionCount) << c.info;
        EXPECT_EQ(doc.buttonCount, c.buttonCount) << c.info;
        EXPECT_EQ(doc.variantMode, c.variantMode) << c.info;
        // The button-count text reaches the editor as soon as it has been read.
        EXPECT_EQ(dest.buttonCountText, c.buttonCount == 2 ? "2" : "") << c.info;
    }
    // The same loader reads a good file afterwards.
    dest = {};
    loadLines(qvtest::workedExampleLines());
    EXPECT_EQ(doc.text(2), ru("Луна больше Земли?"));
    EXPECT_EQ(dest.messages.size(), 5u);
}

TEST_F(Loader, AFileThatCannotBeOpened) {
    doc.questionCount = 3;
    try {
        qv::loadTestFile(loader, dir.file("missing.tst"), doc, dest);
        ADD_FAILURE() << "a missing file was read";
    } catch (const qv::EInOutError& e) {
        EXPECT_EQ(e.errorCode(), 2);
    }
    EXPECT_EQ(doc.questionCount, 3);
    EXPECT_TRUE(dest.calls.empty());
}

TEST_F(Loader, LetsGoOfTheFileAndOfLargeBuffers) {
    // A load that fails closes the file, so that it can be saved over at once.
    try {
        loadLines(file("1^Ex^E3", {"q"}, {}, {"1,"}, {"$"}));
        ADD_FAILURE() << "a bad button count was accepted";
    } catch (const qv::EConvertError&) {
    }
    qv::TextWriter writer;
    EXPECT_EQ(writer.create(dir.file("t.tst")), 0);
    EXPECT_EQ(writer.close(), 0);

    // A very long line leaves no large buffer behind once a short one replaces it.
    loadLines(file("1^E2^E3", {std::string(1 << 20, 'q')}, {"a", "b"}, {"1,2,"}, {"$"}));
    loadLines(file("1^E2^E3", {"short"}, {"a", "b"}, {"1,2,"}, {"$"}));
    EXPECT_LT(doc.text(1).capacity(), qv::kSpareTextCapacity);
    EXPECT_LT(loader.lastLine().capacity(), qv::kSpareTextCapacity);

    // A file far larger than any test is refused before it is read.
    const std::string huge = dir.file("huge.tst");
    qvtest::writeBytes(huge, qvtest::crlf(file("1^E2^E3", {"q"}, {"a", "b"}, {"1,2,"}, {"$"})));
    ASSERT_EQ(::truncate(huge.c_str(), static_cast<off_t>(qv::kMaxTestFileBytes + 1)), 0);
    doc.questionCount = 7;
    try {
        qv::loadTestFile(loader, huge, doc, dest);
        ADD_FAILURE() << "a huge file was read";
    } catch (const qv::Exception& e) {
        EXPECT_NE(e.message().find(ru("256 МБ")), std::string::npos) << e.message();
    }
    EXPECT_EQ(doc.questionCount, 7);
}

TEST_F(Loader, LongVariantsAreCutAndSurplusQuestionsStay) {
    for (int q = 1; q <= 5; ++q) {
        doc.setText(q, "earlier " + std::to_string(q));
        doc.setPoints(q, 1, "p" + std::to_string(q));
    }
    const std::string longVariant(100, 'v');
    loadLines(file("2^E2^E3", {"a", "b"}, {longVariant, "x", "y", std::string(80, 'w')},
                   {"1,2,3,4,"}, {"$"}));
    EXPECT_EQ(doc.variant(1, 1), std::string(80, 'v'));
    EXPECT_EQ(doc.variant(2, 2), std::string(80, 'w'));
    EXPECT_EQ(doc.questionCount, 2);
    EXPECT_EQ(doc.text(3), "earlier 3");
    EXPECT_EQ(doc.text(5), "earlier 5");
    EXPECT_EQ(doc.points(3, 1), "p3");
}

// What a load left: the document's questions, what the destination was
// handed, the loader's own account and the failure, if any.
struct LoadTrace {
    std::vector<std::string> fields;
    std::vector<std::string> calls;
    std::vector<std::string> messages;
    std::uint64_t size = 0;
    std::string lastLine;
    std::string failure;
    bool operator==(const LoadTrace&) const = default;
};

LoadTrace traceLoad(
    const std::function<void(qv::TestLoader&, qv::TestDocument&, RecordingDestination&)>& load) {
    LoadTrace trace;
    qv::TestLoader loader;
    qv::TestDocument doc;
    RecordingDestination dest;
    try {
        load(loader, doc, dest);
    } catch (const qv::Exception& e) {
        trace.failure = e.message();
    }
    trace.fields = {std::to_string(doc.questionCount),
                    std::to_string(doc.buttonCount),
                    std::to_string(doc.variantMode),
                    dest.title,
                    dest.author,
                    dest.windowCaption};
    for (int q = 1; q <= 3; ++q) {
        trace.fields.push_back(doc.text(q));
        for (int b = 1; b <= 3; ++b) {
            trace.fields.push_back(doc.variant(q, b));
            trace.fields.push_back(doc.points(q, b));
        }
    }
    trace.calls = dest.calls;
    trace.messages = dest.messages;
    trace.size = loader.lastFileSize();
    trace.lastLine = loader.lastLine();
    return trace;
}

TEST(LoaderSources, BytesInMemoryLoadAsTheirFileDoes) {
    const std::string example = qvtest::workedExampleBytes();
    const std::string eof(1, '\x1A');
    const std::vector<std::pair<const char*, std::string>> cases = {
        {"the worked example", example},
        {"lone CRs for line ends",
         "Info=(1^E2^E3)\rTitle=(T^EA^EC)\rButtons=(Y^EN)\rQuestions:\r"
         "q\rVariants:\ra\rb\rNumbers:\r1,2,\rMessage:\r=0-9\rok\r$"},
        {"lone LFs inside lines",
         "Info=(1^E2^E3)\r\nTitle=(T\n^EA^EC)\r\nButtons=(Y^EN)\r\n"
         "Questions:\r\nq\nq\r\nVariants:\r\na\n\r\nb\r\n"
         "Numbers:\r\n1,2,\r\nMessage:\r\n\n=0-9\r\n$\n"},
        {"an end-of-file byte among the messages",
         example.substr(0, example.size() - 8) + eof + "=0-9\r\nhidden\r\n"},
        {"an end-of-file byte among the questions", example.substr(0, 80) + eof + example},
        {"a bad Info line", "Info=(1^Ex^E3)\r\n" + example},
        {"nothing at all", ""},
    };
    qvtest::TempFolder dir;
    for (const auto& [name, bytes] : cases) {
        SCOPED_TRACE(name);
        qvtest::writeBytes(dir.file("t.tst"), bytes);
        const LoadTrace fromFile = traceLoad([&](auto& loader, auto& doc, auto& dest) {
            qv::loadTestFile(loader, dir.file("t.tst"), doc, dest);
        });
        const LoadTrace fromMemory = traceLoad([&](auto& loader, auto& doc, auto& dest) {
            qv::MemorySource source(bytes);
            loader.load(source, doc, dest);
        });
        EXPECT_EQ(fromMemory, fromFile);
        EXPECT_EQ(fromMemory.size, bytes.size());
    }
}

}  // namespace
