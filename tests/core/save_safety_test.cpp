// Saving never destroys the file it replaces: after every failed save the
// previous file is there byte for byte and no temporary file is left over.
// A save that succeeds keeps the target's permissions and its symbolic link.
#include <gtest/gtest.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

#include "core_support.h"
#include "errors.h"
#include "os_kept_copies.h"
#include "os_signals.h"
#include "run.h"
#include "text_writer.h"
#include "writer.h"

namespace {

using qvtest::ioCodeOf;
using qvtest::leftovers;
using qvtest::readBytes;
using qvtest::ru;
using qvtest::TempFolder;
using qvtest::writeBytes;

const std::string kPrevious =
    qvtest::ruf("Info=(1^E2^E3)\r\nprevious file, kept byte for byte\r\n");

// While alive, regular files of this process cannot grow past `bytes`: a
// write beyond that fails with EFBIG, as on a full disk.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        previousHandler_ = ::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &previous_);
        rlimit limit = previous_;
        limit.rlim_cur = bytes;
        active_ = ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &previous_);
        ::signal(SIGXFSZ, previousHandler_);
    }
    bool active() const { return active_; }

  private:
    rlimit previous_{};
    void (*previousHandler_)(int) = nullptr;
    bool active_ = false;
};

// A test large enough to cross the 128-byte buffer several times.
struct SampleTest {
    qv::TestDocument doc;
    qv::TestHeader header;
    std::vector<std::string> messages{"=0-100", ru("Результат"), "$"};
    SampleTest() {
        doc.questionCount = 12;
        doc.variantMode = qv::kOwnVariants;
        for (int q = 1; q <= 12; ++q) {
            doc.setText(q, ru("Вопрос номер ") + std::to_string(q));
            for (int b = 1; b <= 2; ++b) {
                doc.setVariant(q, b, ru("Вариант ") + std::to_string(b));
                doc.setPoints(q, b, std::to_string(q * b));
            }
        }
        header = {"2", ru("Заголовок"), ru("Автор"), ru("Тест"), {ru("Да"), ru("Нет")}};
    }
    std::size_t fileSize() const {
        return qvtest::crlf(qv::testFileLines(doc, 12, 2, header, messages)).size();
    }
};

TEST(SaveSafety, ReadOnlyTargetIsRefusedAndUntouched) {
    TempFolder dir;
    const std::string target = dir.file("quiz.tst");
    writeBytes(target, kPrevious);
    ASSERT_EQ(::chmod(target.c_str(), 0444), 0);
    SampleTest sample;
    EXPECT_EQ(ioCodeOf([&] { qv::saveTest(target, sample.doc, sample.header, sample.messages); }),
              5);

    qv::MessageLines lines;
    lines.append("=0-1");
    lines.append("A");
    qv::RunState run;
    run.resultFirst = 2;
    run.resultLast = 2;
    const std::string result = dir.file("result.txt");
    writeBytes(result, kPrevious);
    ASSERT_EQ(::chmod(result.c_str(), 0444), 0);
    EXPECT_EQ(ioCodeOf([&] { qv::saveResult(result, run, lines); }), 5);

    EXPECT_EQ(readBytes(target), kPrevious);
    EXPECT_EQ(readBytes(result), kPrevious);
    EXPECT_EQ(qvtest::modeOf(target), 0444u);
    EXPECT_EQ(dir.names(), (std::vector<std::string>{"quiz.tst", "result.txt"}));
}

TEST(SaveSafety, FullDiskKeepsThePreviousFile) {
    SampleTest sample;
    const std::size_t size = sample.fileSize();
    ASSERT_GT(size, 600u);
    ASSERT_NE(size % qv::TextWriter::kBufferSize, 0u) << "the last bytes must go out at close";
    // Nothing fits; the limit falls inside a buffer handed over by a line;
    // only the bytes flushed by the close do not fit.
    for (const rlim_t limit : {rlim_t{0}, rlim_t{300}, rlim_t{size - 1}}) {
        TempFolder dir;
        const std::string target = dir.file("quiz.tst");
        writeBytes(target, kPrevious);
        int code = -1;
        {
            FileSizeLimit guard(limit);
            ASSERT_TRUE(guard.active());
            code =
                ioCodeOf([&] { qv::saveTest(target, sample.doc, sample.header, sample.messages); });
        }
        EXPECT_EQ(code, 112) << "limit " << limit;
        EXPECT_EQ(readBytes(target), kPrevious) << "limit " << limit;
        EXPECT_EQ(leftovers(dir), std::vector<std::string>{}) << "limit " << limit;
    }
}

TEST(SaveSafety, FullDiskForANewFileLeavesNothingBehind) {
    TempFolder dir;
    int code = -1;
    {
        FileSizeLimit guard(100);
        ASSERT_TRUE(guard.active());
        code = ioCodeOf([&] { qv::writeLines(dir.file("new.txt"), {std::string(500, 'x')}); });
    }
    EXPECT_EQ(code, 112);
    EXPECT_EQ(dir.names(), std::vector<std::string>{});
}

TEST(SaveSafety, CloseAfterAFailedWriteDoesNotReplaceTheTarget) {
    TempFolder dir;
    const std::string target = dir.file("quiz.tst");
    writeBytes(target, kPrevious);
    int writeCode = -1;
    int closeCode = -1;
    {
        FileSizeLimit guard(0);
        ASSERT_TRUE(guard.active());
        qv::TextWriter writer;
        if (writer.create(target) == 0) {
            writeCode = writer.writeLine(std::string(300, 'n'));
            closeCode = writer.close();
        }
    }
    EXPECT_EQ(writeCode, 112);
    EXPECT_NE(closeCode, 0);
    EXPECT_EQ(readBytes(target), kPrevious);
    EXPECT_EQ(leftovers(dir), std::vector<std::string>{});
}

TEST(SaveSafety, AFailingReplacementLeavesNoTemporaryFile) {
    // The target turns into a folder while it is being written, so the
    // written file cannot take its place.
    TempFolder dir;
    const std::string target = dir.file("quiz.tst");
    writeBytes(target, kPrevious);
    qv::TextWriter writer;
    ASSERT_EQ(writer.create(target), 0);
    ASSERT_EQ(writer.writeLine(std::string(300, 'n')), 0);
    ASSERT_EQ(::unlink(target.c_str()), 0);
    ASSERT_EQ(::mkdir(target.c_str(), 0755), 0);
    writeBytes(target + "/inside", "x");
    EXPECT_EQ(writer.close(), 5);
    EXPECT_EQ(dir.names(), std::vector<std::string>{"quiz.tst"});
    EXPECT_EQ(readBytes(target + "/inside"), "x");
}

TEST(SaveSafety, MissingFolderCreatesNothing) {
    TempFolder dir;
    SampleTest sample;
    EXPECT_EQ(ioCodeOf([&] {
                  qv::saveTest(dir.file("gone/quiz"), sample.doc, sample.header, sample.messages);
              }),
              3);
    EXPECT_EQ(dir.names(), std::vector<std::string>{});
}

TEST(SaveSafety, ASuccessfulSaveReplacesContentAndKeepsPermissions) {
    TempFolder dir;
    const std::string target = dir.file("quiz.tst");
    writeBytes(target, std::string(5000, 'o'));  // longer than what replaces it
    ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
    qv::writeLines(target, {"new"});
    EXPECT_EQ(readBytes(target), "new\r\n");
    EXPECT_EQ(qvtest::modeOf(target), 0640u);

    // A new file gets the usual permissions of a new file.
    const mode_t oldMask = ::umask(027);
    qv::writeLines(dir.file("fresh.txt"), {"x"});
    ::umask(oldMask);
    EXPECT_EQ(qvtest::modeOf(dir.file("fresh.txt")), 0640u);
    EXPECT_EQ(leftovers(dir), std::vector<std::string>{});
}

TEST(SaveSafety, ASymbolicLinkStaysALinkToTheReplacedFile) {
    TempFolder dir;
    ASSERT_EQ(::mkdir(dir.file("real").c_str(), 0755), 0);
    writeBytes(dir.file("real/quiz.tst"), kPrevious);
    ASSERT_EQ(::chmod(dir.file("real/quiz.tst").c_str(), 0600), 0);
    ASSERT_EQ(::symlink("real/quiz.tst", dir.file("link.tst").c_str()), 0);

    qv::writeLines(dir.file("link.tst"), {"through the link"});

    struct stat st {};
    ASSERT_EQ(::lstat(dir.file("link.tst").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(readBytes(dir.file("real/quiz.tst")), "through the link\r\n");
    EXPECT_EQ(qvtest::modeOf(dir.file("real/quiz.tst")), 0600u);
    EXPECT_EQ(leftovers(dir), std::vector<std::string>{});
    EXPECT_EQ(leftovers(dir, "real"), std::vector<std::string>{});

    // A link to nothing gets the file it names.
    ASSERT_EQ(::symlink("real/new.tst", dir.file("dangling.tst").c_str()), 0);
    qv::writeLines(dir.file("dangling.tst"), {"created"});
    ASSERT_EQ(::lstat(dir.file("dangling.tst").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(readBytes(dir.file("real/new.tst")), "created\r\n");

    // A failed save through the link leaves the file it points to alone.
    ASSERT_EQ(::chmod(dir.file("real/quiz.tst").c_str(), 0444), 0);
    EXPECT_EQ(ioCodeOf([&] { qv::writeLines(dir.file("link.tst"), {"lost"}); }), 5);
    EXPECT_EQ(readBytes(dir.file("real/quiz.tst")), "through the link\r\n");
}

// Runs `save` as an ordinary user (root ignores folder permissions, so a
// child process gives up root first) and returns its I/O code, 0 on success.
int ioCodeAsOrdinaryUser(const std::function<void()>& save) {
    if (::geteuid() != 0) return ioCodeOf(save);
    const qvtest::ChildEnd end = qvtest::inChild([&] { return ioCodeOf(save); }, true);
    return end.exited ? end.code : -1;
}

// A folder that takes no new files, holding a file the user may write.
class LockedFolder : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
        ASSERT_EQ(::mkdir(locked.c_str(), 0755), 0);
        writeBytes(target, std::string(400, 'o'));
        ASSERT_EQ(::chmod(target.c_str(), 0644), 0);
        if (::geteuid() == 0) {
            ASSERT_EQ(::chown(target.c_str(), 65534, 65534), 0);
        }
        ASSERT_EQ(::chmod(locked.c_str(), 0555), 0);
    }
    TempFolder dir;
    qvtest::CopiesFolderAt copies{dir.file("copies")};
    std::string locked = dir.file("locked");
    std::string target = locked + "/quiz.tst";
};

TEST_F(LockedFolder, AWritableFileIsWrittenInPlace) {
    EXPECT_EQ(ioCodeAsOrdinaryUser([&] { qv::writeLines(target, {"in place", "second"}); }), 0);
    EXPECT_EQ(readBytes(target), "in place\r\nsecond\r\n");
    EXPECT_EQ(dir.names("locked"), std::vector<std::string>{"quiz.tst"});
}

TEST_F(LockedFolder, ANewFileIsRefused) {
    EXPECT_EQ(ioCodeAsOrdinaryUser([&] { qv::writeLines(locked + "/new.tst", {"x"}); }), 5);
    EXPECT_EQ(dir.names("locked"), std::vector<std::string>{"quiz.tst"});
}

TEST_F(LockedFolder, AFileTheUserMayNotWriteIsUntouched) {
    // Root's own file, or one without write permission, is not the user's to write.
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(target.c_str(), 0, 0), 0);
    } else {
        ASSERT_EQ(::chmod(target.c_str(), 0444), 0);
    }
    EXPECT_EQ(ioCodeAsOrdinaryUser([&] { qv::writeLines(target, {"x"}); }), 5);
    EXPECT_EQ(readBytes(target), std::string(400, 'o'));
}

// A save past the file size limit, and a write to a pipe whose reader has
// gone, are failures the program lives through: the old file stays.
TEST(SaveSafety, WriteSignalsEndNoSave) {
    TempFolder dir;
    const std::string target = dir.file("quiz.tst");
    writeBytes(target, kPrevious);
    const qvtest::ChildEnd end = qvtest::inChild(
        [&] {
            qv::os::keepRunningOnWriteFailures();
            int pipeEnds[2];
            if (::pipe(pipeEnds) != 0) return 1;
            ::close(pipeEnds[0]);
            if (::write(pipeEnds[1], "x", 1) >= 0 || errno != EPIPE) return 2;
            return ioCodeOf([&] { qv::writeLines(target, {std::string(4000, 'n')}); });
        },
        false, 1024);
    ASSERT_TRUE(end.exited) << "ended by signal " << end.signal;
    EXPECT_EQ(end.code, 112);
    EXPECT_EQ(readBytes(target), kPrevious);
    EXPECT_EQ(leftovers(dir), std::vector<std::string>{});
}

// The kernel's rule for links in shared sticky folders, where the program
// follows a link itself: someone else's link there is not followed unless
// the folder is theirs, whether it names the file or a folder on the way.
TEST(SaveSafety, ALinkPlantedInASharedFolderIsNotFollowed) {
    if (::geteuid() != 0) GTEST_SKIP() << "planting another user's link needs root";
    struct Case {
        const char* name;
        uid_t linkOwner;
        uid_t folderOwner;
        mode_t folderMode;
        bool followed;
        bool folderLink;  // the link names a folder the file is saved in
    };
    const Case cases[] = {
        {"someone else's link in a sticky shared folder", qvtest::kNobody, 0, 01777, false, false},
        {"the saver's own link there", 0, 0, 01777, true, false},
        {"a link of the folder's owner", qvtest::kNobody, qvtest::kNobody, 01777, true, false},
        {"someone else's link in a folder that is not shared", qvtest::kNobody, 0, 0755, true,
         false},
        {"someone else's folder link in a sticky shared folder", qvtest::kNobody, 0, 01777, false,
         true},
        {"the saver's own folder link there", 0, 0, 01777, true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder dir;
        const std::string shared = dir.file("shared");
        ASSERT_EQ(::mkdir(shared.c_str(), 0755), 0);
        ASSERT_EQ(::mkdir(dir.file("away").c_str(), 0755), 0);
        const std::string elsewhere = c.folderLink ? dir.file("away/quiz.tst") : dir.file("x.tst");
        const std::string link = shared + "/" + (c.folderLink ? "sub" : "quiz.tst");
        const std::string saved = c.folderLink ? link + "/quiz.tst" : link;
        writeBytes(elsewhere, kPrevious);
        ASSERT_EQ(
            ::symlink(c.folderLink ? dir.file("away").c_str() : elsewhere.c_str(), link.c_str()),
            0);
        ASSERT_EQ(::lchown(link.c_str(), c.linkOwner, c.linkOwner), 0);
        ASSERT_EQ(::chown(shared.c_str(), c.folderOwner, c.folderOwner), 0);
        ASSERT_EQ(::chmod(shared.c_str(), c.folderMode), 0);

        EXPECT_EQ(ioCodeOf([&] { qv::writeLines(saved, {"new"}); }), c.followed ? 0 : 5);
        EXPECT_EQ(readBytes(elsewhere), c.followed ? "new\r\n" : kPrevious);
        EXPECT_EQ(leftovers(dir, "away"), std::vector<std::string>{});
    }
}

// Where the temporary file has a name from its start (no /proc to name it
// later), a kill leaves it beside the test; the next start removes it.
TEST(SaveSafety, ATemporaryLeftByAKillGoesAtTheNextStart) {
    if (::geteuid() != 0) GTEST_SKIP() << "hiding /proc needs root";
    TempFolder dir;
    qvtest::CopiesFolderAt copies(dir.file("copies"));
    const std::string target = dir.file("quiz.tst");
    writeBytes(target, kPrevious);
    writeBytes(dir.file(".quorvane-mine"), "not a leftover of a save");
    const qvtest::ChildEnd end = qvtest::inChild(
        [&] {
            if (::unshare(CLONE_NEWNS) != 0 ||
                ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
                ::mount("tmpfs", "/proc", "tmpfs", 0, nullptr) != 0) {
                return 77;
            }
            return ioCodeOf([&] { qv::writeLines(target, {std::string(4000, 'n')}); });
        },
        false, 1024);
    if (end.exited && end.code == 77) GTEST_SKIP() << "/proc could not be hidden";
    ASSERT_EQ(end.signal, SIGXFSZ);
    ASSERT_EQ(leftovers(dir).size(), 2u);

    qv::os::removeLeftoverTemporaries();
    EXPECT_EQ(leftovers(dir), std::vector<std::string>{".quorvane-mine"});
    EXPECT_EQ(readBytes(target), kPrevious);
    EXPECT_EQ(dir.names("copies/quorvane"), std::vector<std::string>{});
}

}  // namespace
