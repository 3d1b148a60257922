// Saves that a rename would turn into another file are written in place,
// and no full disk or killed process loses a test's previous content.
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>

#include "core_support.h"
#include "errors.h"
#include "os_errors.h"
#include "os_kept_copies.h"
#include "text_writer.h"
#include "writer.h"

namespace {

using qvtest::ChildEnd;
using qvtest::CopiesFolderAt;
using qvtest::inChild;
using qvtest::ioCodeOf;
using qvtest::kNobody;
using qvtest::readBytes;
using qvtest::TempFolder;
using qvtest::writeBytes;

const std::string kOld = "previous test, kept byte for byte\r\n";
const std::vector<std::string> kNew(60, std::string(70, 'n'));  // about 4 KB

struct stat statOf(const std::string& path) {
    struct stat st {};
    ::stat(path.c_str(), &st);
    return st;
}

struct KeepCase {
    const char* name;
    bool needsRoot;
    bool asNobody;
    uid_t owner;  // given to the file and the folder when run as root
    gid_t group;
    uid_t folderOwner;
    mode_t folderMode;
    bool secondLink;
};

TEST(SaveMethod, KeepsTheFileWhereARenameWouldNot) {
    const KeepCase cases[] = {
        {"a file with a second hard link", false, false, 0, 0, 0, 0755, true},
        {"someone else's file in a shared folder", true, true, 1, 1, 0, 01777, false},
        {"a group the saver is not in", true, true, kNobody, 1, kNobody, 0755, false},
        {"root saving someone else's file", true, false, 1, 1, 0, 0755, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.needsRoot && ::geteuid() != 0) continue;
        TempFolder dir;
        ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
        CopiesFolderAt copies(dir.file("copies"));
        const std::string folder = dir.file("f");
        const std::string target = folder + "/quiz.tst";
        ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
        writeBytes(target, kOld);
        ASSERT_EQ(::chmod(target.c_str(), 0666), 0);
        if (c.secondLink) {
            ASSERT_EQ(::link(target.c_str(), (folder + "/other.tst").c_str()), 0);
        }
        if (c.needsRoot) {
            ASSERT_EQ(::chown(target.c_str(), c.owner, c.group), 0);
            ASSERT_EQ(::chown(folder.c_str(), c.folderOwner, 0), 0);
        }
        ASSERT_EQ(::chmod(folder.c_str(), c.folderMode), 0);
        const struct stat before = statOf(target);

        const auto save = [&] { return ioCodeOf([&] { qv::writeLines(target, kNew); }); };
        const ChildEnd end = inChild(save, c.asNobody);
        ASSERT_TRUE(end.exited);
        EXPECT_EQ(end.code, 0);

        const struct stat after = statOf(target);
        EXPECT_EQ(readBytes(target), qvtest::crlf(kNew));
        EXPECT_EQ(after.st_uid, before.st_uid);
        EXPECT_EQ(after.st_gid, before.st_gid);
        EXPECT_EQ(after.st_mode, before.st_mode);
        if (c.secondLink) {
            EXPECT_EQ(readBytes(folder + "/other.tst"), qvtest::crlf(kNew));
        }
        EXPECT_TRUE(qvtest::leftovers(dir, "f").empty());
        EXPECT_TRUE(!std::filesystem::exists(dir.file("copies/quorvane")) ||
                    dir.names("copies/quorvane").empty());
    }
}

TEST(SaveMethod, InPlaceWithoutACopyIsRefused) {
    TempFolder dir;
    CopiesFolderAt copies("/dev/null/none");  // no folder can be made there
    const std::string target = dir.file("quiz.tst");
    writeBytes(target, kOld);
    ASSERT_EQ(::link(target.c_str(), dir.file("other.tst").c_str()), 0);
    try {
        qv::writeLines(target, kNew);
        ADD_FAILURE() << "written without a copy";
    } catch (const qv::EInOutError& e) {
        EXPECT_EQ(e.errorCode(), qv::io::kNoSafeCopy);
        EXPECT_NE(e.message().find(qvtest::ru("без изменений")), std::string::npos);
    }
    EXPECT_EQ(readBytes(target), kOld);
}

// A save on a file system with no room left: in place (a linked file) and by
// replacing. A private mount namespace keeps the small file system to the child.
TEST(SaveMethod, AFullFileSystemKeepsThePreviousContent) {
    if (::geteuid() != 0) GTEST_SKIP() << "mounting a small file system needs root";
    for (const bool inPlace : {true, false}) {
        SCOPED_TRACE(inPlace ? "in place" : "replace");
        TempFolder dir;
        CopiesFolderAt copies(dir.file("copies"));
        const std::string fs = dir.file("fs");
        ASSERT_EQ(::mkdir(fs.c_str(), 0755), 0);
        const std::string target = fs + "/quiz.tst";
        const std::string previous(8000, 'o');
        const ChildEnd end = inChild([&] {
            if (::unshare(CLONE_NEWNS) != 0 ||
                ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
                ::mount("tmpfs", fs.c_str(), "tmpfs", 0, "size=64k") != 0) {
                return 77;
            }
            writeBytes(target, previous);
            if (inPlace && ::link(target.c_str(), (fs + "/other.tst").c_str()) != 0) return 1;
            // Fill what is left.
            std::ofstream filler(fs + "/filler", std::ios::binary);
            const std::string block(4096, 'f');
            while (filler.write(block.data(), static_cast<std::streamsize>(block.size())))
                filler.flush();
            const int code = ioCodeOf([&] {
                qv::writeLines(target, std::vector<std::string>(300, std::string(98, 'n')));
            });
            const bool leftovers = !qvtest::leftovers(dir, "fs").empty();
            if (code != qv::io::kDiskFull) return 2;
            if (readBytes(target) != previous) return 3;
            if (inPlace && readBytes(fs + "/other.tst") != previous) return 4;
            return leftovers ? 5 : 0;
        });
        if (end.code == 77) GTEST_SKIP() << "no small file system could be mounted";
        ASSERT_TRUE(end.exited);
        EXPECT_EQ(end.code, 0)
            << "2: not a full disk, 3/4: previous content lost, 5: temporary left";
        EXPECT_EQ(qv::os::interruptedSaves().size(), 0u);
    }
}

// The child is killed (SIGXFSZ) when the save's file reaches 1 KB.
TEST(SaveMethod, AKilledSaveLosesNothing) {
    for (const bool inPlace : {false, true}) {
        SCOPED_TRACE(inPlace ? "in place" : "replace");
        TempFolder dir;
        CopiesFolderAt copies(dir.file("copies"));
        const std::string target = dir.file("quiz.tst");
        writeBytes(target, kOld);
        if (inPlace) {
            ASSERT_EQ(::link(target.c_str(), dir.file("other.tst").c_str()), 0);
        }

        const ChildEnd end =
            inChild([&] { return ioCodeOf([&] { qv::writeLines(target, kNew); }); }, false, 1024);
        ASSERT_FALSE(end.exited);
        EXPECT_EQ(end.signal, SIGXFSZ);
        EXPECT_TRUE(qvtest::leftovers(dir).empty());

        const auto saves = qv::os::interruptedSaves();
        if (!inPlace) {
            EXPECT_EQ(readBytes(target), kOld);
            EXPECT_TRUE(saves.empty());
            continue;
        }
        // The test itself is cut short, but its previous content waits in a
        // copy that names it, until the user has been told.
        ASSERT_EQ(saves.size(), 1u);
        EXPECT_EQ(saves[0].targetPath, target);
        EXPECT_EQ(saves[0].outcome, qv::os::SaveOutcome::Interrupted);
        EXPECT_EQ(readBytes(saves[0].copyPath), kOld);
        qv::os::forgetInterruptedSave(saves[0]);
        EXPECT_TRUE(qv::os::interruptedSaves().empty());
        EXPECT_EQ(readBytes(saves[0].copyPath), kOld);
    }
}

// A copy left behind is told as what it is: the save finished but its copy
// could not be removed, the save never changed the file, or the file may be
// damaged. A result's copy stays a text file. The copies folder is made
// read-only while the save runs, so that the copy stays behind.
TEST(SaveMethod, ACopyLeftBehindSaysWhatBecameOfTheSave) {
    using qv::os::SaveOutcome;
    struct Case {
        const char* name;
        const char* file;
        bool closed;  // else the save is dropped unfinished
        SaveOutcome outcome;
    };
    const Case cases[] = {
        {"finished test", "quiz.tst", true, SaveOutcome::Completed},
        {"dropped test", "quiz.tst", false, SaveOutcome::NotBegun},
        {"finished result", "result.txt", true, SaveOutcome::Completed},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder dir;
        ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
        CopiesFolderAt copies(dir.file("copies"));
        const std::string target = dir.file(c.file);
        writeBytes(target, kOld);
        ASSERT_EQ(::chmod(target.c_str(), 0666), 0);
        ASSERT_EQ(::link(target.c_str(), dir.file("other").c_str()), 0);
        const std::string kept = dir.file("copies/quorvane");

        const ChildEnd end = inChild(
            [&] {
                qv::TextWriter writer;
                if (writer.create(target) != 0 || writer.writeLine("new") != 0) return 1;
                if (::chmod(kept.c_str(), 0500) != 0) return 2;
                return c.closed ? writer.close() : 0;
            },
            true);
        ASSERT_TRUE(end.exited);
        ASSERT_EQ(end.code, 0);
        ASSERT_EQ(::chmod(kept.c_str(), 0700), 0);

        const auto saves = qv::os::interruptedSaves();
        ASSERT_EQ(saves.size(), 1u);
        EXPECT_EQ(saves[0].outcome, c.outcome);
        EXPECT_EQ(saves[0].isTest, c.file == std::string("quiz.tst"));
        const std::string extension = std::string(c.file).substr(std::string(c.file).size() - 4);
        EXPECT_EQ(saves[0].copyPath.substr(saves[0].copyPath.size() - 4), extension);
        EXPECT_EQ(readBytes(target), c.closed ? "new\r\n" : kOld);
        // A copy identical to its file is not kept.
        EXPECT_EQ(std::filesystem::exists(saves[0].copyPath), c.outcome != SaveOutcome::NotBegun);
    }
}

// What another program (or a crash) leaves in the copies folder: start-up
// opens nothing that could wait, and cleans away records that tell nothing.
TEST(SaveMethod, StartUpNeverWaitsOnTheCopiesFolder) {
    TempFolder dir;
    CopiesFolderAt copies(dir.file("copies"));
    const std::string kept = dir.file("copies/quorvane");
    ASSERT_EQ(::mkdir(kept.c_str(), 0700), 0);
    const auto at = [&](const std::string& name) { return kept + "/" + name; };
    // A copy that is a pipe, and a record that is one.
    ASSERT_EQ(::mkfifo(at("pipe-AAAAAA.tst").c_str(), 0600), 0);
    writeBytes(at("pipe-AAAAAA.tst.source"), "/somewhere/pipe.tst");
    writeBytes(at("fifo-BBBBBB.tst"), kOld);
    ASSERT_EQ(::mkfifo(at("fifo-BBBBBB.tst.source").c_str(), 0600), 0);
    // A record without its copy, and an empty record.
    writeBytes(at("gone-CCCCCC.tst.source"), "/somewhere/gone.tst");
    writeBytes(at("empty-DDDDDD.tst"), kOld);
    writeBytes(at("empty-DDDDDD.tst.source"), "");
    // Fifty copies of real saves that were cut short.
    for (int i = 0; i < 50; ++i) {
        const std::string copy = at("quiz" + std::to_string(i) + "-EEEEEE.tst");
        writeBytes(copy, kOld);
        writeBytes(copy + ".source", dir.file("quiz" + std::to_string(i) + ".tst"));
    }

    const ChildEnd end = inChild([] {
        ::alarm(10);
        return static_cast<int>(qv::os::interruptedSaves().size());
    });
    ASSERT_TRUE(end.exited) << "start-up waited until signal " << end.signal;
    EXPECT_EQ(end.code, 50);
    const auto left = dir.names("copies/quorvane");
    const auto has = [&](const std::string& name) {
        return std::find(left.begin(), left.end(), name) != left.end();
    };
    EXPECT_FALSE(has("pipe-AAAAAA.tst.source"));
    EXPECT_TRUE(has("pipe-AAAAAA.tst"));  // not the program's to remove
    EXPECT_TRUE(has("fifo-BBBBBB.tst.source"));
    EXPECT_FALSE(has("gone-CCCCCC.tst.source"));
    EXPECT_FALSE(has("empty-DDDDDD.tst"));
    EXPECT_FALSE(has("empty-DDDDDD.tst.source"));
    EXPECT_EQ(left.size(), 3u + 100u);
}

// A write in place that fails, and whose undoing fails as well, names the
// copy that keeps the previous content at once.
TEST(SaveMethod, AFailedRestoreNamesTheCopyAtOnce) {
    TempFolder dir;
    CopiesFolderAt copies(dir.file("copies"));
    const std::string target = dir.file("quiz.tst");
    writeBytes(target, kOld);
    ASSERT_EQ(::link(target.c_str(), dir.file("other.tst").c_str()), 0);
    const ChildEnd end = inChild([&] {
        ::signal(SIGXFSZ, SIG_IGN);
        qv::TextWriter writer;
        if (writer.create(target) != 0) return 1;
        // From here no byte can be written: neither the new content nor the old.
        const rlimit none{0, 0};
        ::setrlimit(RLIMIT_FSIZE, &none);
        if (writer.writeLine(std::string(300, 'n')) != qv::io::kDiskFull) return 2;
        if (writer.close() != qv::io::kDiskFull) return 3;
        if (writer.keptCopy().empty() || readBytes(writer.keptCopy()) != kOld) return 4;
        const qv::EInOutError error(qv::io::kDiskFull, target, writer.keptCopy());
        return error.message().find(writer.keptCopy()) == std::string::npos ? 5 : 0;
    });
    ASSERT_TRUE(end.exited);
    EXPECT_EQ(end.code, 0) << "2/3: not a full disk, 4: no copy named, 5: not in the message";
    EXPECT_EQ(qv::os::interruptedSaves().size(), 1u);
}

}  // namespace
