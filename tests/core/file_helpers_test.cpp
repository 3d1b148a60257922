// The helpers the saves, the journal and the export share: a file's name
// taken apart, the whole-file reader and the SHA-256 digest.
#include <gtest/gtest.h>

#include "core_support.h"
#include "file_names.h"
#include "os_errors.h"
#include "os_file.h"
#include "sha256.h"

namespace {

TEST(FileNames, TakeAPathApartByItsLastSlashAndDot) {
    struct Case {
        std::string path, folder, base, extension, stem;
    };
    const std::vector<Case> cases = {
        {"quiz.tst", ".", "quiz.tst", ".tst", "quiz"},
        {"/home/u/quiz.v2.tst", "/home/u", "quiz.v2.tst", ".tst", "/home/u/quiz.v2"},
        {"/quiz", "/", "quiz", "", "/quiz"},
        {"a.b/quiz", "a.b", "quiz", "", "a.b/quiz"},
        {"a/.hidden", "a", ".hidden", "", "a/.hidden"},
        {"a/", "a", "", "", "a/"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(qv::folderOf(c.path), c.folder) << c.path;
        EXPECT_EQ(qv::baseName(c.path), c.base) << c.path;
        EXPECT_EQ(qv::extensionOf(c.path), c.extension) << c.path;
        EXPECT_EQ(qv::withoutExtension(c.path), c.stem) << c.path;
    }
}

TEST(ReadWholeFile, GivesTheBytesUpToTheLimitAndRefusesTheRest) {
    qvtest::TempFolder folder;
    const std::string file = folder.path() + "/bytes.bin";
    const std::string bytes = std::string("a\0\r\n\x1A", 5) + std::string(70000, 'x');
    qvtest::writeBytes(file, bytes);
    struct Case {
        const char* name;
        std::string path;
        std::uint64_t limit;
        int code;
        std::string read;
    };
    const std::vector<Case> cases = {
        {"every byte, past one buffer", file, bytes.size(), qv::io::kOk, bytes},
        {"one byte over the limit", file, bytes.size() - 1, qv::io::kAccessDenied, ""},
        {"a folder", folder.path(), 1 << 20, qv::io::kAccessDenied, ""},
        {"no such file", folder.path() + "/none", 1 << 20, qv::io::kFileNotFound, ""},
    };
    for (const auto& c : cases) {
        std::string read = "left over";
        EXPECT_EQ(qv::os::readWholeFile(c.path, c.limit, read), c.code) << c.name;
        EXPECT_EQ(read, c.read) << c.name;
    }
}

TEST(Sha256, GivesTheStandardDigests) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
    };
    for (const auto& [bytes, hex] : cases) {
        EXPECT_EQ(qv::sha256Hex(bytes), hex) << bytes;
        EXPECT_EQ(qv::sha256(bytes).size(), 32u);
    }
}

}  // namespace
