// The pieces of the file format: the field splitter, the points parser and
// the file-name rules.
#include <gtest/gtest.h>

#include "core_support.h"
#include "format.h"

namespace {

using qvtest::ru;
using qvtest::ruf;

struct SplitCase {
    const char* name;
    std::string line;
    qv::LineFields fields;
};

TEST(SplitFields, FormatQuirks) {
    // clang-format off
    const std::vector<SplitCase> cases = {
        {"info line", ruf("Info=(2^E3^E3)"), {"2", "3", "3", "", "", ""}},
        {"key is ignored", ruf("anything at all=(a^Eb)"), {"a", "b", "", "", "", ""}},
        {"no key at all", ruf("(a^Eb)"), {"a", "b", "", "", "", ""}},
        {"three captions leave the rest empty", ruf("Buttons=(Да^EНет^EНе знаю)"),
            {ru("Да"), ru("Нет"), ru("Не знаю"), "", "", ""}},
        {"empty field keeps later places", ruf("Buttons=(A^E^EC)"), {"A", "", "C", "", "", ""}},
        {"all empty", ruf("Buttons=(^E)"), {"", "", "", "", "", ""}},
        {"( inside a field is kept", ruf("Title=(f(x)^Eb^Ec)"), {"f(x", "", "b", "c", "", ""}},
        {"( kept, no )", ruf("Title=(a(b^Ec)"), {"a(b", "c", "", "", "", ""}},
        {") inside a field shifts the header", ruf("Title=(Тест (часть 1)^EНеизвестен^EПроверка)"),
            {ru("Тест (часть 1"), "", ru("Неизвестен"), ru("Проверка"), "", ""}},
        {"text after ) up to the next separator is lost", ruf("T=(ab)lost^Ec)"),
            {"ab", "", "c", "", "", ""}},
        {"seventh field is dropped", ruf("B=(1^E2^E3^E4^E5^E6^E7)"), {"1", "2", "3", "4", "5", "6"}},
        {"line without ( or separator", "Questions:", {"", "", "", "", "", ""}},
        {"unterminated last field is lost", ruf("Info=(2^E3^E3"), {"2", "3", "", "", "", ""}},
        {"separator before ( starts a field", ruf("a^Eb)"), {"", "b", "", "", "", ""}},
        {"blanks belong to fields", ruf("Info=( 2 ^E 3)"), {" 2 ", " 3", "", "", "", ""}},
        {"empty line", "", {"", "", "", "", "", ""}},
    };
    // clang-format on
    for (const auto& c : cases) EXPECT_EQ(qv::splitFields(c.line), c.fields) << c.name;
}

// Points[1..q][1..b] of the document, one vector of texts per question.
std::vector<std::vector<std::string>> pointsOf(const qv::TestDocument& doc, int questions,
                                               int buttons) {
    std::vector<std::vector<std::string>> out;
    for (int q = 1; q <= questions; ++q) {
        out.emplace_back();
        for (int b = 1; b <= buttons; ++b) out.back().push_back(doc.points(q, b));
    }
    return out;
}

struct PointsCase {
    const char* name;
    int buttons;
    std::vector<std::string> lines;
    std::vector<std::vector<std::string>> points;
};

TEST(PointsParser, ReadsValuesAcrossLines) {
    // clang-format off
    const std::vector<PointsCase> cases = {
        {"one line", 3, {"2,0,1,0,2,1,"}, {{"2", "0", "1"}, {"0", "2", "1"}}},
        {"question split over two lines", 3, {"2,0,", "1,0,2,1,"}, {{"2", "0", "1"}, {"0", "2", "1"}}},
        {"text after the last comma starts the next value", 2, {"1,2,3", "4,5,6,"},
            {{"1", "2"}, {"34", "5"}, {"6", "?"}}},
        {"a value holding a comma is read as two", 2, {"1,5,2,3,4,"}, {{"1", "5"}, {"2", "3"}, {"4", "?"}}},
        {"blanks and signs belong to values", 2, {" 1,-2 ,+x,,"}, {{" 1", "-2 "}, {"+x", ""}}},
        {"empty values", 1, {",,,"}, {{""}, {""}, {""}}},
        {"one button", 1, {"5,", "6,7,"}, {{"5"}, {"6"}, {"7"}}},
        {"six buttons", 6, {"1,2,3,4,5,6,7,"}, {{"1", "2", "3", "4", "5", "6"}, {"7", "?", "?", "?", "?", "?"}}},
        {"empty lines change nothing", 2, {"", "1,", "", "2,"}, {{"1", "2"}}},
    };
    // clang-format on
    for (const auto& c : cases) {
        qv::TestDocument doc;
        for (int q = 1; q <= 3; ++q)
            for (int b = 1; b <= 6; ++b) doc.setPoints(q, b, "?");
        qv::PointsParser parser(doc, c.buttons);
        for (const auto& line : c.lines) parser.parseLine(line);
        const int questions = static_cast<int>(c.points.size());
        EXPECT_EQ(pointsOf(doc, questions, c.buttons), c.points) << c.name;
    }
}

TEST(PointsParser, DropsValuesPastTheLastQuestion) {
    qv::TestDocument doc;
    qv::PointsParser parser(doc, 2);
    std::string line;
    for (int q = 1; q <= 503; ++q) line += std::to_string(q) + ",-" + std::to_string(q) + ",";
    parser.parseLine(line);
    parser.parseLine("tail,");  // nowhere to go, and no failure
    EXPECT_EQ(doc.points(1, 1), "1");
    EXPECT_EQ(doc.points(500, 1), "500");
    EXPECT_EQ(doc.points(500, 2), "-500");
}

TEST(FileNames, ExtensionIsAddedUnlessTheNameEndsInItExactly) {
    // clang-format off
    const std::vector<std::pair<std::string, std::string>> tests = {
        {"quiz.tst", "quiz.tst"}, {"quiz", "quiz.tst"}, {"QUIZ.TST", "QUIZ.TST.tst"},
        {"quiz.tst.bak", "quiz.tst.bak.tst"}, {".tst", ".tst"}, {"tst", "tst.tst"}, {"", ".tst"},
        {"/home/u/my.tst", "/home/u/my.tst"}, {"quiz.ts", "quiz.ts.tst"}, {"quiz.txt", "quiz.txt.tst"}};
    const std::vector<std::pair<std::string, std::string>> results = {
        {ru("/tmp/Итог.txt"), ru("/tmp/Итог.txt")}, {ru("Итог"), ru("Итог.txt")},
        {ru("ИТОГ.TXT"), ru("ИТОГ.TXT.txt")}, {"r.txt.bak", "r.txt.bak.txt"}, {"txt", "txt.txt"},
        {"", ".txt"}, {"quiz.tst", "quiz.tst.txt"}};
    // clang-format on
    for (const auto& [chosen, written] : tests) EXPECT_EQ(qv::testFileName(chosen), written);
    for (const auto& [chosen, written] : results) EXPECT_EQ(qv::resultFileName(chosen), written);
}

}  // namespace
