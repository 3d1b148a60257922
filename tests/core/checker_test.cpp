// The check of a test before it is handed out: one table of files, each with
// what the check must find in it.
#include <gtest/gtest.h>

#include "checker.h"
#include "core_support.h"
#include "errors.h"

namespace {

using qvtest::crlf;
using qvtest::ru;
using qvtest::ruf;
using Lines = std::vector<std::string>;

// A test of two two-button questions, "Variants: none", with the given
// points line and message section.
Lines test(const std::string& points, const Lines& messages, const std::string& info = "2^E2^E1") {
    Lines lines{ruf("Info=(" + info + ")"),
                ruf("Title=(T^EA^EC)"),
                ruf("Buttons=(Y^EN)"),
                "Questions:",
                "Q1",
                "Q2",
                "Variants: none",
                "Numbers:",
                points,
                "Message:"};
    for (const auto& line : messages) lines.push_back(ru(line));
    return lines;
}

struct CheckCase {
    const char* name;
    Lines file;
    std::vector<std::string> found;  // what the problems must say, in order; none for a clean test
    std::string summary;
};

TEST(Checker, FindsWhatATakerWouldMeet) {
    Lines many = test("0,1,0,1,", {"=0-2"});
    many.insert(many.end(), 1000, "x");
    // Eleven questions of 0 or 4^q points: their totals leave ever new gaps.
    Lines gaps{ruf("Info=(11^E2^E1)"), ruf("Title=(T^EA^EC)"), ruf("Buttons=(Y^EN)"), "Questions:"};
    gaps.insert(gaps.end(), 11, "Q");
    std::string points;
    for (int q = 1; q <= 11; ++q) points += "0," + std::to_string(1 << (2 * q)) + ",";
    gaps.insert(gaps.end(), {"Variants: none", "Numbers:", points, "Message:", "=0-0", "$"});
    Lines longVariant = test("0,1,0,1,", {"=0-2", "$"}, "2^E2^E3");
    longVariant[6] = "Variants: all";
    longVariant.insert(longVariant.begin() + 7, {std::string(81, 'v'), "b", "c", "d"});

    const CheckCase cases[] = {
        {"the worked example", qvtest::workedExampleLines(), {}, "вопросов: 2, баллы от 0 до 4"},
        {"points that are not numbers",
         test("0,x,1, 2,", {"=0-9", "$"}),
         {"вопрос 1, кнопка 2: баллы «x»"},
         "вопросов: 2, баллы от 1 до 2"},
        {"a question no button can answer",
         test("a,,1,2,", {"=0-9", "$"}),
         {"вопрос 1, кнопка 1: баллы «a»", "вопрос 1, кнопка 2: баллы «»"},
         "вопросов: 2"},
        {"totals no range holds",
         test("0,3,0,3,", {"=0-2", "A", "=5-6", "B", "$"}),
         {"баллы 3 не входят ни в один диапазон"},
         "вопросов: 2, баллы от 0 до 6"},
        {"totals no one reaches need no range",
         test("0,10,0,10,", {"=0-0", "A", "=10-10", "B", "=20-20", "C", "$"}),
         {},
         "вопросов: 2, баллы от 0 до 20"},
        {"too many gaps to follow: the totals between are taken as reachable",
         gaps,
         {"баллы от 1 до 1398100 и от 4194304 до 5592404 (если такие баллы можно набрать) не "
          "входят"},
         "вопросов: 11, баллы от 0 до 5592404"},
        {"a range the ranges above hold",
         test("0,1,0,1,", {"=0-1", "A", "=2-2", "B", "=1-2", "C", "$"}),
         {"строка сообщений 5 «=1-2»: все баллы этого диапазона уже входят"},
         "вопросов: 2, баллы от 0 до 2"},
        {"a range that holds nothing",
         test("0,1,0,1,", {"=0-2", "=5-3", "$"}),
         {"строка сообщений 2 «=5-3»: нижняя граница больше верхней"},
         "вопросов: 2, баллы от 0 до 2"},
        {"a bound that is not a number, with the totals that reach it",
         test("0,5,0,5,", {"=0-0", "A", "=1-10 баллов", "B", "$"}),
         {"строка сообщений 3 «=1-10 баллов»: граница «10 б» — не целое число; при баллах 5 и 10 "
          "выбор"},
         "вопросов: 2, баллы от 0 до 10"},
        {"a range after the end marker",
         test("0,1,0,1,", {"=0-2", "$", "=3-4"}),
         {"строка сообщений 3 «=3-4»: диапазон стоит после завершающей «$»"},
         "вопросов: 2, баллы от 0 до 2"},
        {"a range line without a dash after one with",
         test("0,1,0,1,", {"=0-2", "=", "$"}),
         {"строка сообщений 2 «=»: в строке нет «-», она берёт границы строки диапазона выше"},
         "вопросов: 2, баллы от 0 до 2"},
        {"a range line without a dash first: the outcome depends on an earlier run",
         test("0,1,0,1,", {"=", "A", "=1-2", "$"}),
         {"строка сообщений 1 «=»: в строке нет «-», и её границы — те, что остались от "
          "предыдущего выбора"},
         "вопросов: 2, баллы от 0 до 2"},
        {"more message lines than a run takes",
         many,
         {"сообщения о результатах занимают в файле 1001 строк"},
         "вопросов: 2, баллы от 0 до 2"},
        {"a variant that will be cut",
         longVariant,
         {"вопрос 1, вариант 1: текст длиной 81 байт длиннее 80"},
         "вопросов: 2, баллы от 0 до 2"},
        {"totals past the 32-bit range",
         test("2147483647,0,1,0,", {"=0-0", "$"}),
         {"сумма баллов может выйти за пределы", "баллы 1 и от 2147483647 до 2147483648 не входят"},
         "вопросов: 2, баллы от 0 до 2147483648"},
        {"no questions",
         {ruf("Info=(0^E2^E1)"), ruf("Title=(T^EA^EC)"), ruf("Buttons=(Y^EN)"),
          "Questions:", "Variants: none", "Numbers:", "Message:", "=0-0", "$"},
         {"в тесте нет ни одного вопроса"},
         "вопросов: 0"},
        {"a file a run refuses",
         test("0,1,0,1,", {"$"}, "2^Etwo^E1"),
         {"тест не откроется: 'two' is not a valid integer value."},
         ""},
    };
    qvtest::TempFolder dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        qvtest::writeBytes(dir.file("t.tst"), crlf(c.file));
        const qv::CheckReport report = qv::checkTest(dir.file("t.tst"));
        ASSERT_EQ(report.problems.size(), c.found.size()) << qvtest::joined(report.problems);
        for (std::size_t i = 0; i < c.found.size(); ++i) {
            EXPECT_EQ(report.problems[i].rfind(ru(c.found[i]), 0), 0u) << report.problems[i];
        }
        EXPECT_EQ(report.summary(), ru(c.summary));
    }
    EXPECT_THROW(qv::checkTest(dir.file("missing.tst")), qv::EInOutError);
}

}  // namespace
