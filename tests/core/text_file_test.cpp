// Text files on real files: line ends, the end-of-file byte, reading past
// the end, the result codes, and the 128-byte output buffer; and the same
// lines read from bytes in memory as from a file.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "byte_source.h"
#include "core_support.h"
#include "file_source.h"
#include "os_errors.h"
#include "text_reader.h"
#include "text_writer.h"

namespace {

using qvtest::readBytes;
using qvtest::TempFolder;
using qvtest::writeBytes;

// Reads every line until the end, checking atEnd before each read.
std::vector<std::string> readAll(qv::ByteSource& source) {
    qv::TextReader reader;
    EXPECT_EQ(reader.open(source), 0);
    std::vector<std::string> lines;
    for (;;) {
        bool end = true;
        EXPECT_EQ(reader.atEnd(end), 0);
        if (end || lines.size() >= 100000) break;
        std::string line;
        EXPECT_EQ(reader.readLine(line), 0);
        lines.push_back(line);
    }
    EXPECT_EQ(reader.close(), 0);
    return lines;
}

std::vector<std::string> readAll(const std::string& path) {
    qv::FileSource file(path);
    return readAll(file);
}

// The result code of opening the file at `path` for reading.
int openCode(const std::string& path) {
    qv::FileSource file(path);
    std::uint64_t size = 0;
    return file.open(size);
}

struct ReadCase {
    const char* name;
    std::string bytes;
    std::vector<std::string> lines;
};

TEST(TextReader, SplitsLinesAsTheFileFormatSays) {
    // clang-format off
    const std::vector<ReadCase> cases = {
        {"CR LF ends a line", "ab\r\ncd\r\n", {"ab", "cd"}},
        {"lone CR ends a line", "ab\rcd", {"ab", "cd"}},
        {"only one LF after CR is skipped", "ab\r\n\ncd\r\n", {"ab", "\ncd"}},
        {"lone LF belongs to the line", "a\nb\r\nc\n", {"a\nb", "c\n"}},
        {"LF CR is part then end", "a\n\rb", {"a\n", "b"}},
        {"empty lines", "\r\n\r\nx", {"", "", "x"}},
        {"no line end at the end", "last", {"last"}},
        {"empty file", "", {}},
        {"0x1A ends the file", "ab\r\ncd\x1A" "ef\r\ngh\r\n", {"ab", "cd"}},
        {"0x1A at a line start", "ab\r\n\x1A" "cd", {"ab"}},
        {"0x1A first", "\x1A" "ab", {}},
        {"NUL bytes are ordinary", std::string("a\0b\r\n", 5), {std::string("a\0b", 3)}},
    };
    // clang-format on
    TempFolder dir;
    for (const auto& c : cases) {
        writeBytes(dir.file("in.txt"), c.bytes);
        EXPECT_EQ(readAll(dir.file("in.txt")), c.lines) << c.name;
        // The page's player reads the same bytes from memory.
        qv::MemorySource memory(c.bytes);
        EXPECT_EQ(readAll(memory), c.lines) << c.name << ", in memory";
        EXPECT_EQ(readAll(memory), c.lines) << c.name << ", in memory again";
    }
}

TEST(TextReader, ReadingPastTheEndGivesEmptyLinesWithoutFailure) {
    TempFolder dir;
    writeBytes(dir.file("in.txt"), "one\r\ntwo" + std::string(1, 0x1A) + "three\r\n");
    qv::TextReader reader;
    qv::FileSource file(dir.file("in.txt"));
    ASSERT_EQ(reader.open(file), 0);
    std::string line;
    bool end = true;
    ASSERT_EQ(reader.atEnd(end), 0);
    EXPECT_FALSE(end);
    ASSERT_EQ(reader.readLine(line), 0);
    EXPECT_EQ(line, "one");
    ASSERT_EQ(reader.readLine(line), 0);
    EXPECT_EQ(line, "two");
    for (int i = 0; i < 3; ++i) {
        line = "stale";
        EXPECT_EQ(reader.readLine(line), 0);
        EXPECT_EQ(line, "");
        EXPECT_EQ(reader.atEnd(end), 0);
        EXPECT_TRUE(end);
    }
}

TEST(TextReader, LinesLongerThanTheReadBuffer) {
    // The reader takes the file in 64 KiB chunks; lines and line ends that
    // straddle a chunk boundary must come out whole.
    constexpr std::size_t kChunk = 64 * 1024;
    TempFolder dir;
    const std::string longLine(3 * kChunk + 17, 'q');
    const std::string beforeCr(kChunk - 1, 'a');  // its CR is the chunk's last byte
    const std::string bytes = longLine + "\r\n" + "x\r\n";
    writeBytes(dir.file("long.txt"), bytes);
    EXPECT_EQ(readAll(dir.file("long.txt")), (std::vector<std::string>{longLine, "x"}));

    writeBytes(dir.file("edge.txt"), beforeCr + "\r\n" + "\nnext\r\n");
    EXPECT_EQ(readAll(dir.file("edge.txt")), (std::vector<std::string>{beforeCr, "\nnext"}));

    // A CR ending the first chunk with nothing after it ends the file too.
    writeBytes(dir.file("cr.txt"), beforeCr + "\r");
    EXPECT_EQ(readAll(dir.file("cr.txt")), (std::vector<std::string>{beforeCr}));

    // The end-of-file byte as the first byte of the second chunk.
    writeBytes(dir.file("eof.txt"), std::string(kChunk, 'b') + "\x1A" + "hidden\r\n");
    EXPECT_EQ(readAll(dir.file("eof.txt")), (std::vector<std::string>{std::string(kChunk, 'b')}));
}

TEST(TextFileCodes, OpeningForReading) {
    TempFolder dir;
    EXPECT_EQ(openCode(dir.file("missing.tst")), 2);
    EXPECT_EQ(openCode(dir.file("no-folder/missing.tst")), 3);
    EXPECT_EQ(openCode(dir.path()), 5);
    writeBytes(dir.file("plain"), "x");
    EXPECT_EQ(openCode(dir.file("plain/below")), 3);  // a file used as a folder
    // Only a regular file is read: a device never ends, a pipe may never answer.
    ASSERT_EQ(::mkfifo(dir.file("pipe").c_str(), 0644), 0);
    EXPECT_EQ(openCode(dir.file("pipe")), 5);
    qv::TextReader reader;
    qv::FileSource device("/dev/zero");
    EXPECT_EQ(reader.open(device), 5);
    EXPECT_FALSE(reader.isOpen());
}

TEST(TextFileCodes, OpeningForWriting) {
    TempFolder dir;
    qv::TextWriter writer;
    EXPECT_EQ(writer.create(dir.file("no-folder/out.tst")), 3);
    EXPECT_EQ(writer.create(dir.path()), 5);
    writeBytes(dir.file("ro.tst"), "keep");
    ASSERT_EQ(::chmod(dir.file("ro.tst").c_str(), 0444), 0);
    EXPECT_EQ(writer.create(dir.file("ro.tst")), 5);
    EXPECT_FALSE(writer.isOpen());
    EXPECT_EQ(readBytes(dir.file("ro.tst")), "keep");
    // Only a regular file is saved: a reader leaving a pipe would end the
    // program, and a device is no file to keep.
    ASSERT_EQ(::mkfifo(dir.file("pipe").c_str(), 0644), 0);
    EXPECT_EQ(writer.create(dir.file("pipe")), 5);
    EXPECT_EQ(writer.create("/dev/null"), 5);
    struct stat st {};
    ASSERT_EQ(::stat(dir.file("pipe").c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    EXPECT_EQ(dir.names(), (std::vector<std::string>{"pipe", "ro.tst"}));
}

TEST(TextFileCodes, MalformedNamesAndSharing) {
    TempFolder dir;
    qv::TextReader reader;
    qv::TextWriter writer;
    EXPECT_EQ(openCode(dir.file(std::string(300, 'n'))), 123);  // a name part too long
    EXPECT_EQ(writer.create(dir.file(std::string(300, 'n'))), 123);
    EXPECT_EQ(writer.create(dir.file(std::string("a\0b", 3))), 123);
    EXPECT_EQ(dir.names(), std::vector<std::string>{});

    // A file being written is not shared, and a file being read is shared
    // with readers only.
    writeBytes(dir.file("t.tst"), "x");
    ASSERT_EQ(writer.create(dir.file("t.tst")), 0);
    qv::FileSource file(dir.file("t.tst"));
    EXPECT_EQ(reader.open(file), 32);
    qv::TextWriter second;
    EXPECT_EQ(second.create(dir.file("t.tst")), 32);
    ASSERT_EQ(writer.close(), 0);
    ASSERT_EQ(reader.open(file), 0);
    qv::TextReader another;
    qv::FileSource again(dir.file("t.tst"));
    EXPECT_EQ(another.open(again), 0);
    EXPECT_EQ(second.create(dir.file("t.tst")), 32);
}

TEST(TextFileCodes, OperationsOnAFileThatIsNotOpen) {
    qv::TextReader reader;
    std::string line = "x";
    bool end = false;
    EXPECT_EQ(reader.readLine(line), 104);
    EXPECT_EQ(line, "");
    EXPECT_EQ(reader.atEnd(end), 104);
    EXPECT_EQ(reader.close(), 103);

    qv::TextWriter writer;
    EXPECT_EQ(writer.writeLine("x"), 105);
    EXPECT_EQ(writer.close(), 103);

    // A closed file counts as not open again.
    TempFolder dir;
    ASSERT_EQ(writer.create(dir.file("a.txt")), 0);
    ASSERT_EQ(writer.close(), 0);
    EXPECT_EQ(writer.writeLine("x"), 105);
    EXPECT_EQ(writer.close(), 103);
    qv::FileSource file(dir.file("a.txt"));
    ASSERT_EQ(reader.open(file), 0);
    ASSERT_EQ(reader.close(), 0);
    EXPECT_EQ(reader.readLine(line), 104);
    EXPECT_EQ(reader.close(), 103);
}

// A full disk: while the fixture lives, no file of this process can grow
// past 0 bytes, and a write fails with EFBIG as it would with ENOSPC.
class FullDisk : public ::testing::Test {
  protected:
    void SetUp() override {
        writeBytes(device, "kept");
        previousHandler_ = ::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &previous_);
        rlimit limit = previous_;
        limit.rlim_cur = 0;
        ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
    }
    void TearDown() override {
        ::setrlimit(RLIMIT_FSIZE, &previous_);
        ::signal(SIGXFSZ, previousHandler_);
    }
    bool behavesFull(const std::string& path) const { return readBytes(path) == "kept"; }
    TempFolder dir;
    std::string device = dir.file("full.txt");

  private:
    rlimit previous_{};
    void (*previousHandler_)(int) = nullptr;
};

TEST_F(FullDisk, IsReportedByTheWriteThatHandsTheBufferOver) {
    // 125 bytes and CR LF stay in the 128-byte buffer: only the close fails.
    {
        qv::TextWriter writer;
        ASSERT_EQ(writer.create(device), 0);
        EXPECT_EQ(writer.writeLine(std::string(125, 'a')), 0);
        EXPECT_EQ(writer.close(), 112);
        EXPECT_FALSE(writer.isOpen());
    }
    // 126 bytes and CR LF fill it exactly: that write fails.
    {
        qv::TextWriter writer;
        ASSERT_EQ(writer.create(device), 0);
        EXPECT_EQ(writer.writeLine(std::string(126, 'a')), 112);
    }
    // Short lines fail at the line whose bytes reach 128.
    {
        qv::TextWriter writer;
        ASSERT_EQ(writer.create(device), 0);
        const std::string line(30, 'b');  // 32 bytes with CR LF
        EXPECT_EQ(writer.writeLine(line), 0);
        EXPECT_EQ(writer.writeLine(line), 0);
        EXPECT_EQ(writer.writeLine(line), 0);
        EXPECT_EQ(writer.writeLine(line), 112);
    }
    EXPECT_TRUE(behavesFull(device)) << "a failed save replaced the file";
    // An empty file is written without a failure even to a full disk.
    {
        qv::TextWriter writer;
        ASSERT_EQ(writer.create(device), 0);
        EXPECT_EQ(writer.close(), 0);
    }
    EXPECT_EQ(readBytes(device), "");
}

TEST_F(FullDisk, AFailedWriteIsNotCommittedByALaterClose) {
    // Everything must succeed before the target is replaced: a close after a
    // failed write reports the failure again and leaves the target alone.
    qv::TextWriter writer;
    ASSERT_EQ(writer.create(device), 0);
    ASSERT_EQ(writer.writeLine(std::string(200, 'a')), 112);
    EXPECT_EQ(writer.writeLine("short"), 112);
    EXPECT_EQ(writer.close(), 112);
    EXPECT_EQ(writer.close(), 103);
    EXPECT_TRUE(behavesFull(device)) << "a failed save replaced the file";
}

}  // namespace
