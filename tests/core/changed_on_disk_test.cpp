// The editor's test file changed behind the editor's back: a save to it
// asks first, and only then.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>

#include "core_support.h"
#include "session.h"

namespace {

using qvtest::TempFolder;
using qvtest::writeBytes;

// Moves a file's modification time on without changing a byte.
void touchLater(const std::string& path) {
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    const timespec times[2] = {st.st_atim, {st.st_mtim.tv_sec + 10, st.st_mtim.tv_nsec}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

TEST(ChangedOnDisk, ASaveAsksOnlyWhenTheOpenedFileIsNoLongerItself) {
    struct Case {
        const char* name;
        std::function<void(const TempFolder&, const std::string&)> change;
        bool changed;
    };
    const std::string example = qvtest::workedExampleBytes();
    const Case cases[] = {
        {"untouched", [](const TempFolder&, const std::string&) {}, false},
        {"rewritten",
         [&](const TempFolder&, const std::string& f) { writeBytes(f, example + "x"); }, true},
        {"same bytes, later time", [](const TempFolder&, const std::string& f) { touchLater(f); },
         true},
        {"same size, time put back",
         [&](const TempFolder&, const std::string& f) {
             struct stat st {};
             ::stat(f.c_str(), &st);
             std::string other = example;
             other[0] ^= 1;
             writeBytes(f, other);
             const timespec times[2] = {st.st_atim, st.st_mtim};
             ::utimensat(AT_FDCWD, f.c_str(), times, 0);
         },
         true},
        {"replaced by another file",
         [&](const TempFolder& d, const std::string& f) {
             writeBytes(d.file("new.tst"), example);
             ::rename(d.file("new.tst").c_str(), f.c_str());
         },
         true},
        {"replaced by a link",
         [&](const TempFolder& d, const std::string& f) {
             ::rename(f.c_str(), d.file("moved.tst").c_str());
             ::symlink(d.file("moved.tst").c_str(), f.c_str());
         },
         true},
        {"removed", [](const TempFolder&, const std::string& f) { ::unlink(f.c_str()); }, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder dir;
        const std::string file = dir.file("quiz.tst");
        writeBytes(file, example);
        qv::Session session;
        session.editing().beginEditing(file);
        session.editing().loadForEditing(file);

        c.change(dir, file);
        EXPECT_EQ(session.saving().changedOnDisk(file), c.changed);
        EXPECT_EQ(session.saving().changedOnDisk(dir.path() + "/./quiz"), c.changed)
            << "spelled otherwise";
        EXPECT_FALSE(session.saving().changedOnDisk(dir.file("other.tst")));
    }
}

TEST(ChangedOnDisk, TheEditorsOwnSaveIsNoChange) {
    TempFolder dir;
    const std::string file = dir.file("quiz.tst");
    writeBytes(file, qvtest::workedExampleBytes());
    qv::Session session;
    session.editing().beginEditing(file);
    session.editing().loadForEditing(file);
    touchLater(file);
    ASSERT_TRUE(session.saving().changedOnDisk(file));

    session.saving().saveTest(file, {"=0-100", "ok"});
    EXPECT_FALSE(session.saving().changedOnDisk(file));
    // Saved under a new name, that file is the one watched.
    session.saving().saveTest(dir.file("copy"), {"=0-100", "ok"});
    touchLater(file);
    EXPECT_FALSE(session.saving().changedOnDisk(file));
    touchLater(dir.file("copy.tst"));
    EXPECT_TRUE(session.saving().changedOnDisk(dir.file("copy")));
}

}  // namespace
