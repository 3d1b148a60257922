// Saves where someone else has a hand in the files: a second user who swaps
// the target between the save's look at it and its open, a kill at every
// step, a copies folder that start-up must get through quickly, and causes
// that share one code.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <functional>

#include "core_support.h"
#include "errors.h"
#include "os_errors.h"
#include "os_kept_copies.h"
#include "os_save.h"
#include "writer.h"

namespace {

using qv::os::SaveOutcome;
using qv::os::SaveStep;
using qvtest::ChildEnd;
using qvtest::CopiesFolderAt;
using qvtest::inChild;
using qvtest::ioCodeOf;
using qvtest::kNobody;
using qvtest::readBytes;
using qvtest::TempFolder;
using qvtest::writeBytes;

const std::string kOld = "previous content\r\n";
const std::vector<std::string> kNew(60, std::string(70, 'n'));  // longer than kOld

// Calls `act` once, at `step` of the next save.
class AtStep {
  public:
    AtStep(SaveStep step, std::function<void()> act) {
        qv::os::setSaveStepHook([step, act = std::move(act), done = false](SaveStep at) mutable {
            if (at == step && !done) {
                done = true;
                act();
            }
        });
    }
    ~AtStep() { qv::os::setSaveStepHook({}); }
    AtStep(const AtStep&) = delete;
    AtStep& operator=(const AtStep&) = delete;
};

// A second user owns the target in a sticky folder that everyone may write,
// and puts something else in its place while root saves it. The save never
// writes anywhere but the file it looked at, never waits, and says so.
TEST(HostileSave, ASwapBetweenTheLookAndTheOpenIsRefused) {
    if (::geteuid() != 0) GTEST_SKIP() << "a second user needs root";
    struct Case {
        const char* name;
        SaveStep step;
        std::function<void(const std::string& target, const std::string& victim)> swap;
        int code;
    };
    const auto toLink = [](const std::string& target, const std::string& victim) {
        ::unlink(target.c_str());
        ::symlink(victim.c_str(), target.c_str());
        ::lchown(target.c_str(), kNobody, kNobody);
    };
    const auto toPipe = [](const std::string& target, const std::string&) {
        ::unlink(target.c_str());
        ::mkfifo(target.c_str(), 0666);
        ::lchown(target.c_str(), kNobody, kNobody);
    };
    const auto toOthersFile = [](const std::string& target, const std::string& victim) {
        ::unlink(target.c_str());
        ::link(victim.c_str(), target.c_str());
    };
    const Case cases[] = {
        {"a link to root's file", SaveStep::TargetChecked, toLink, 5},
        {"a pipe", SaveStep::TargetChecked, toPipe, 5},
        {"root's file under the name", SaveStep::TargetChecked, toOthersFile, 5},
        // Once open, the file opened is the one written, whatever the name becomes.
        {"a pipe after the open", SaveStep::RecordMade, toPipe, 0},
        {"a link after the open", SaveStep::RecordMade, toLink, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder dir;
        ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
        CopiesFolderAt copies(dir.file("copies"));
        const std::string shared = dir.file("shared");
        ASSERT_EQ(::mkdir(shared.c_str(), 0755), 0);
        ASSERT_EQ(::chmod(shared.c_str(), 01777), 0);
        const std::string target = shared + "/quiz.tst";
        const std::string victim = shared + "/root.tst";
        writeBytes(target, kOld);
        writeBytes(victim, "root's own\r\n");
        ASSERT_EQ(::chown(target.c_str(), kNobody, kNobody), 0);
        ASSERT_EQ(::chmod(target.c_str(), 0666), 0);
        // A second name keeps the opened file in reach once the name is swapped,
        // and makes the save one in place.
        ASSERT_EQ(::link(target.c_str(), dir.file("kept.tst").c_str()), 0);

        const ChildEnd end = inChild([&] {
            ::alarm(10);
            AtStep swap(c.step, [&] { c.swap(target, victim); });
            return ioCodeOf([&] { qv::writeLines(target, kNew); });
        });
        ASSERT_TRUE(end.exited) << "the save waited until signal " << end.signal;
        EXPECT_EQ(end.code, c.code);
        EXPECT_EQ(readBytes(victim), "root's own\r\n");
        EXPECT_EQ(readBytes(dir.file("kept.tst")), c.code == 0 ? qvtest::crlf(kNew) : kOld);
        EXPECT_TRUE(qv::os::interruptedSaves().empty());
    }
}

// A kill at any step of a save in place leaves in the copies folder either
// nothing, or a copy with a record that the next start reports truthfully
// and no other file. Only what the save meant to write counts as finished.
TEST(HostileSave, AKillAtAnyStepLeavesARecordOrNothing) {
    struct Case {
        SaveStep step;
        bool reported;
        SaveOutcome outcome;
        bool newContent;
    };
    const Case cases[] = {
        {SaveStep::RecordStarted, false, SaveOutcome::NotBegun, false},
        {SaveStep::CopyMade, false, SaveOutcome::NotBegun, false},
        {SaveStep::RecordMade, true, SaveOutcome::NotBegun, false},
        {SaveStep::MeantNoted, true, SaveOutcome::Interrupted, false},
        {SaveStep::LastBytesWritten, true, SaveOutcome::Completed, true},
        {SaveStep::CopyRemoved, false, SaveOutcome::Completed, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.step));
        TempFolder dir;
        CopiesFolderAt copies(dir.file("copies"));
        const std::string target = dir.file("quiz.tst");
        writeBytes(target, kOld);
        ASSERT_EQ(::link(target.c_str(), dir.file("other.tst").c_str()), 0);

        const ChildEnd end = inChild([&] {
            AtStep kill(c.step, [] { ::raise(SIGKILL); });
            return ioCodeOf([&] { qv::writeLines(target, kNew); });
        });
        ASSERT_EQ(end.signal, SIGKILL);
        if (c.newContent) {
            EXPECT_EQ(readBytes(target), qvtest::crlf(kNew));
        }

        const auto saves = qv::os::interruptedSaves();
        ASSERT_EQ(saves.size(), c.reported ? 1u : 0u);
        std::size_t expectedFiles = 0;
        if (c.reported) {
            EXPECT_EQ(saves[0].outcome, c.outcome);
            EXPECT_EQ(saves[0].targetPath, target);
            qv::os::forgetInterruptedSave(saves[0]);
            // A copy that differs from the file stays for the user.
            expectedFiles = c.outcome == SaveOutcome::NotBegun ? 0 : 1;
        }
        EXPECT_EQ(dir.names("copies/quorvane").size(), expectedFiles);
    }
}

// A temporary file beside the target that a kill leaves is removed by the
// next start, even when the save gave it to the target's owner. Where no
// note of it can be made, it never gets a name.
TEST(HostileSave, AKilledReplacementLeavesNothingTheNextStartCannotFind) {
    struct Case {
        const char* name;
        bool othersFile;
        bool copiesWritable;
    };
    const Case cases[] = {
        {"the saver's own file", false, true},
        {"a file root saves for its owner", true, true},
        {"no copies folder to note the temporary in", false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.othersFile && ::geteuid() != 0) continue;
        TempFolder dir;
        CopiesFolderAt copies(c.copiesWritable ? dir.file("copies") : "/dev/null/none");
        const std::string target = dir.file("quiz.tst");
        writeBytes(target, kOld);
        if (c.othersFile) {
            ASSERT_EQ(::chown(target.c_str(), kNobody, kNobody), 0);
        }

        const ChildEnd end = inChild([&] {
            AtStep kill(SaveStep::TemporaryNamed, [] { ::raise(SIGKILL); });
            try {
                qv::writeLines(target, kNew);
            } catch (const qv::EInOutError& e) {
                // The refusal says which folder could not be written.
                const bool named = e.message().find(qv::os::copiesFolder()) != std::string::npos;
                return e.errorCode() == qv::io::kNoNote && named ? 0 : 1;
            }
            return 1;
        });
        if (c.copiesWritable) {
            ASSERT_EQ(end.signal, SIGKILL);
            EXPECT_EQ(qvtest::leftovers(dir).size(), 1u);
        } else {
            ASSERT_TRUE(end.exited);
            EXPECT_EQ(end.code, 0) << "not refused, naming the copies folder, for want of a note";
        }
        qv::os::removeLeftoverTemporaries();
        EXPECT_EQ(qvtest::leftovers(dir), std::vector<std::string>{});
        EXPECT_EQ(readBytes(target), kOld);
        if (c.copiesWritable) {
            EXPECT_TRUE(dir.names("copies/quorvane").empty());
        }
    }
}

// Start-up reads few files, and a large one only when its size could tell.
TEST(HostileSave, StartUpReadsABoundedAmount) {
    TempFolder dir;
    CopiesFolderAt copies(dir.file("copies"));
    const std::string kept = dir.file("copies/quorvane");
    ASSERT_EQ(::mkdir(kept.c_str(), 0700), 0);
    // A sparse file far larger than anything that could be read in time.
    const std::string huge = dir.file("huge.tst");
    const int fd = ::open(huge.c_str(), O_WRONLY | O_CREAT, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, off_t{64} << 30), 0);
    ::close(fd);
    writeBytes(kept + "/huge-AAAAAA.tst", kOld);
    writeBytes(kept + "/huge-AAAAAA.tst.source",
               huge + std::string(1, '\0') + "1000 0123456789abcdef");
    // More untouched files than start-up reads.
    const std::size_t count = qv::os::kCheckedSaves + 10;
    for (std::size_t i = 0; i < count; ++i) {
        const std::string copy = kept + "/quiz" + std::to_string(i) + "-BBBBBB.tst";
        writeBytes(dir.file("quiz" + std::to_string(i) + ".tst"), kOld);
        writeBytes(copy, kOld);
        writeBytes(copy + ".source", dir.file("quiz" + std::to_string(i) + ".tst"));
    }
    const auto started = std::chrono::steady_clock::now();
    const auto saves = qv::os::interruptedSaves();
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2));
    ASSERT_EQ(saves.size(), count + 1);
    std::size_t untouched = 0;
    for (const auto& save : saves) untouched += save.outcome == SaveOutcome::NotBegun;
    // The huge file may take a turn too, and is told as possibly damaged.
    EXPECT_GE(untouched, qv::os::kCheckedSaves - 1);
    EXPECT_LE(untouched, qv::os::kCheckedSaves);
}

// One code stands for several causes; the sentence after the code's own
// message names the cause it was.
TEST(HostileSave, TheMessageNamesTheCauseBehindACode) {
    struct Case {
        int err;
        int code;
        const char* format;
        const char* cause;
    };
    const Case cases[] = {
        {EIO, 31, "I/O error 31", "ошибке ввода-вывода"},
        {EXDEV, 31, "I/O error 31", "другой файловой системе"},
        {ENOSPC, 112, "I/O error 112", "не осталось места"},
        {EDQUOT, 112, "I/O error 112", "квота"},
        {EFBIG, 112, "I/O error 112", "наибольший размер"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.cause);
        ASSERT_EQ(qv::ioCodeFromErrno(c.err), c.code);
        const std::string message = qv::EInOutError(c.code).message();
        EXPECT_EQ(message.rfind(std::string(c.format) + ". ", 0), 0u) << message;
        EXPECT_NE(message.find(qvtest::ru(c.cause)), std::string::npos);
        // The cause goes with its own code only.
        EXPECT_EQ(qv::EInOutError(5).message(), "File access denied");
    }
}

}  // namespace
