// Writing test files: the worked example byte for byte, the layouts by
// variant mode and button count, the points line breaks, and the rules for
// what is left out.
#include <gtest/gtest.h>

#include "core_support.h"
#include "errors.h"
#include "format.h"
#include "number.h"
#include "writer.h"

namespace {

using qvtest::crlf;
using qvtest::readBytes;
using qvtest::ru;
using qvtest::ruf;
using qvtest::TempFolder;
using Lines = std::vector<std::string>;

// The worked example as the editor holds it.
struct Example {
    qv::TestDocument doc;
    qv::TestHeader header{"3",
                          ru("Проверка знаний"),
                          ru("Неизвестен"),
                          ru("Тест"),
                          {ru("Да"), ru("Нет"), ru("Не знаю"), "cap4", "cap5", "cap6"}};
    Lines messages{"=0-2", ru("Стоит повторить материал."), "=3-4", ru("Хороший результат.")};

    Example() {
        qvtest::fillWorkedExample(doc);
        for (int q = 1; q <= 2; ++q) {
            for (int b = 4; b <= 6; ++b) {
                doc.setVariant(q, b, "unused variant");
                doc.setPoints(q, b, "99");
            }
        }
    }
    Lines lines() const {
        return qv::testFileLines(doc, qv::questionsToSave(doc),
                                 qv::strToInt(header.buttonCountText), header, messages);
    }
};

TEST(Writer, WritesTheWorkedExampleByteForByte) {
    TempFolder dir;
    Example ex;
    EXPECT_EQ(ex.lines(), qvtest::workedExampleLines());
    const std::string written = qv::saveTest(dir.file("quiz"), ex.doc, ex.header, ex.messages);
    EXPECT_EQ(written, dir.file("quiz.tst"));
    EXPECT_EQ(readBytes(written), crlf(qvtest::workedExampleLines()));
    EXPECT_EQ(dir.names(), Lines{"quiz.tst"});
}

TEST(Writer, VariantLinesFollowTheMode) {
    const Lines all = qvtest::workedExampleLines();
    const std::vector<std::pair<std::int32_t, Lines>> cases = {
        {1, {"Variants: none"}},
        {2, {"Variants: use only one", all[7], all[8], all[9]}},
        {7, {"Variants: all", all[7], all[8], all[9], all[10], all[11], all[12]}},
    };
    for (const auto& [mode, variantLines] : cases) {
        Example ex;
        ex.doc.variantMode = mode;
        Lines expected(all.begin(), all.begin() + 6);
        expected[0] = ruf("Info=(2^E3^E" + std::to_string(mode) + ")");
        expected.insert(expected.end(), variantLines.begin(), variantLines.end());
        expected.insert(expected.end(), all.begin() + 13, all.end());
        EXPECT_EQ(ex.lines(), expected) << "mode " << mode;
    }
}

TEST(Writer, PointsLinesBreakAfterTheQuestionThatReaches200) {
    // 40 questions of six two-character values: 18 characters a question.
    qv::TestDocument doc;
    doc.questionCount = 40;
    doc.variantMode = 1;
    for (int q = 1; q <= 40; ++q) {
        doc.setText(q, "q");
        for (int b = 1; b <= 6; ++b) doc.setPoints(q, b, std::to_string(10 + b));
    }
    const std::string question = "11,12,13,14,15,16,";
    auto repeat = [&](int n) {
        std::string s;
        for (int i = 0; i < n; ++i) s += question;
        return s;
    };
    Lines lines = qv::testFileLines(doc, 40, 6, {}, {});
    const auto numbers = std::find(lines.begin(), lines.end(), "Numbers:");
    ASSERT_NE(numbers, lines.end());
    EXPECT_EQ(Lines(numbers + 1, lines.end() - 2),
              (Lines{repeat(12), repeat(12), repeat(12), repeat(4)}));
    EXPECT_EQ(repeat(12).size(), 216u);

    // A line that reaches exactly 200 characters ends there.
    doc.questionCount = 25;
    for (int q = 1; q <= 25; ++q) doc.setPoints(q, 1, "123456789");
    lines = qv::testFileLines(doc, 25, 1, {}, {});
    const auto points = std::find(lines.begin(), lines.end(), "Numbers:") + 1;
    std::string ten;
    for (int i = 0; i < 20; ++i) ten += "123456789,";
    EXPECT_EQ(*points, ten);
    EXPECT_EQ(*(points + 1), ten.substr(0, 50));
    EXPECT_EQ(*(points + 2), "Message:");
}

TEST(Writer, AnEmptyLastQuestionIsLeftOut) {
    Example ex;
    ex.doc.questionCount = 3;
    ex.doc.setText(3, "");
    ex.doc.setVariant(3, 1, "dropped");
    EXPECT_EQ(qv::questionsToSave(ex.doc), 2);
    EXPECT_EQ(ex.lines(), qvtest::workedExampleLines());

    // Only the last one: an empty question in the middle stays.
    ex.doc.setText(2, "");
    EXPECT_EQ(qv::questionsToSave(ex.doc), 2);
    ex.doc.questionCount = 2;
    EXPECT_EQ(qv::questionsToSave(ex.doc), 1);
    ex.doc.questionCount = 0;
    EXPECT_EQ(qv::questionsToSave(ex.doc), 0);
}

TEST(Writer, AnEmptyOnlyQuestionGivesATestWithoutQuestions) {
    for (const std::int32_t mode : {2, 3}) {
        Example ex;
        ex.doc.questionCount = 1;
        ex.doc.setText(1, "");
        ex.doc.variantMode = mode;
        Lines expected = {ruf("Info=(0^E3^E" + std::to_string(mode) + ")"),
                          ruf("Title=(Проверка знаний^EНеизвестен^EТест)"),
                          ruf("Buttons=(Да^EНет^EНе знаю)"),
                          "Questions:", qv::variantsHeader(mode)};
        if (mode == 2) {
            for (int b = 1; b <= 3; ++b) expected.push_back(ex.doc.variant(1, b));
        }
        for (const char* line : {"Numbers:", "Message:"}) expected.emplace_back(line);
        expected.insert(expected.end(), ex.messages.begin(), ex.messages.end());
        expected.emplace_back("$");
        EXPECT_EQ(ex.lines(), expected) << "mode " << mode;
    }
}

TEST(Writer, EmptyMessageLinesAreLeftOut) {
    Example ex;
    ex.messages = {"", "=0-2", "", "", "A", "", "=3-4", "B", ""};
    const Lines lines = ex.lines();
    EXPECT_EQ(Lines(lines.end() - 6, lines.end()),
              (Lines{"Message:", "=0-2", "A", "=3-4", "B", "$"}));
    ex.messages = {"", ""};
    EXPECT_EQ(ex.lines().back(), "$");
    EXPECT_EQ(ex.lines().size(), lines.size() - 4);
}

TEST(Writer, WritesExactlyTheChosenNumberOfButtons) {
    Example ex;
    ex.header.buttonCountText = " 5";  // written as it stands, used as 5
    ex.header.captions = {"c1", "c2", "c3", "c4", "c5", "c6"};
    for (int q = 1; q <= 2; ++q) {
        for (int b = 1; b <= 6; ++b) {
            ex.doc.setVariant(q, b, "v" + std::to_string(q) + std::to_string(b));
            ex.doc.setPoints(q, b, std::to_string(q * 10 + b));
        }
    }
    const Lines lines = ex.lines();
    EXPECT_EQ(lines[0], ruf("Info=(2^E 5^E3)"));
    EXPECT_EQ(lines[2], ruf("Buttons=(c1^Ec2^Ec3^Ec4^Ec5)"));
    EXPECT_EQ(Lines(lines.begin() + 7, lines.begin() + 17),
              (Lines{"v11", "v12", "v13", "v14", "v15", "v21", "v22", "v23", "v24", "v25"}));
    EXPECT_EQ(lines[17], "Numbers:");
    EXPECT_EQ(lines[18], "11,12,13,14,15,21,22,23,24,25,");
    EXPECT_EQ(lines[19], "Message:");
}

TEST(Writer, ABadButtonCountFailsBeforeAnyFileIsTouched) {
    TempFolder dir;
    qvtest::writeBytes(dir.file("old.tst"), "old");
    const std::vector<std::pair<std::string, bool>> counts = {
        {"abc", true}, {"", true}, {"5 ", true}, {"0", false}, {"7", false}, {"-1", false}};
    for (const auto& [text, conversionError] : counts) {
        Example ex;
        ex.header.buttonCountText = text;
        for (const std::string name : {"old", "new"}) {
            try {
                qv::saveTest(dir.file(name), ex.doc, ex.header, ex.messages);
                ADD_FAILURE() << "saved with button count '" << text << "'";
            } catch (const qv::EConvertError& e) {
                EXPECT_TRUE(conversionError) << text;
                EXPECT_EQ(e.message(), "'" + text + "' is not a valid integer value");
            } catch (const qv::Exception&) {
                EXPECT_FALSE(conversionError) << text;
            }
        }
    }
    EXPECT_EQ(dir.names(), Lines{"old.tst"});
    EXPECT_EQ(readBytes(dir.file("old.tst")), "old");
}

}  // namespace
