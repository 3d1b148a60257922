// The check of a test before it is handed out: one table of files, each with
// what the check must find in it.
#include <gtest/gtest.h>

#include "checker.h"
#include "core_support.h"
#include "cp1251.h"
#include "errors.h"
#include "file_loading.h"

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

// As test(), with n questions.
Lines questions(int n, const std::string& points, const Lines& messages) {
    Lines lines = test(points, messages, std::to_string(n) + "^E2^E1");
    lines.erase(lines.begin() + 4, lines.begin() + 6);
    lines.insert(lines.begin() + 4, static_cast<std::size_t>(n), "Q");
    return lines;
}

struct CheckCase {
    const char* name;
    Lines file;
    std::vector<std::string> found;  // what the problems must say, in order; none for a clean test
    std::string summary;
    std::vector<std::string> warned = {};  // what the warnings must say, in order
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
    // Read as a run reads it, a UTF-8 file shows its Russian letters as gibberish.
    Lines utf8 = test("0,1,0,1,", {"=0-2", "$"});
    utf8[4] = "Вопрос";
    Lines cut = qvtest::workedExampleLines();
    cut.resize(cut.size() - 6);
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
        {"ranges no reachable total falls in",
         test("0,5,0,5,", {"=0-10", "A", "=20-30", "B", "=5-15", "C", "=11-19", "D", "$"}),
         {},
         "вопросов: 2, баллы от 0 до 10",
         {"строка сообщений 3 «=20-30»: в диапазон не попадает ни одна сумма баллов, которую "
          "можно набрать (0, 5 и 10), и он никогда не будет выбран",
          "строка сообщений 5 «=5-15»: все баллы этого диапазона, которые можно набрать, уже "
          "входят в диапазоны выше",
          "строка сообщений 7 «=11-19»: в диапазон не попадает ни одна сумма баллов"}},
        {"a range the totals reach past a line without a dash is not told",
         test("0,1,0,1,", {"=", "A", "=0-1", "B", "=2-2", "C", "$"}),
         {"строка сообщений 1 «=»: в строке нет «-», и её границы"},
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
         {"сообщения о результатах занимают в файле 1001 строку, а пройти"},
         "вопросов: 2, баллы от 0 до 2"},
        {"a variant that will be cut",
         longVariant,
         {"вопрос 1, вариант 1: текст длиной 81 байт длиннее 80"},
         "вопросов: 2, баллы от 0 до 2"},
        {"a sum past the 32-bit range is refused, so it is never a total",
         test("2147483647,0,1,0,", {"=0-0", "$"}),
         {"сумма баллов может выйти за пределы от -2147483648 до 2147483647 на вопросе 2:",
          "баллы 1 и 2147483647 не входят"},
         "вопросов: 2, баллы от 0 до 2147483647"},
        {"a total from which every press is refused goes no further",
         test("2147483647,0,1,1,", {"=1-1", "$"}),
         {"вопрос 2: при сумме баллов 2147483647 любой ответ выводит её за пределы",
          "сумма баллов может выйти за пределы от -2147483648 до 2147483647 на вопросе 2:"},
         "вопросов: 2, баллы от 1 до 1"},
        {"an overflow before a question no button can answer",
         questions(3, "2147483647,0,1,0,x,y,", {"=0-9", "$"}),
         {"вопрос 3, кнопка 1: баллы «x»", "вопрос 3, кнопка 2: баллы «y»",
          "сумма баллов может выйти за пределы от -2147483648 до 2147483647 на вопросе 2:"},
         "вопросов: 3"},
        {"control bytes shown, neither cutting nor breaking the line",
         test(std::string("1\0x,0,0,1,", 10), {"=0-1\n0", "$"}),
         {"вопрос 1, кнопка 1: баллы «1^@x» — не целое число",
          "строка сообщений 1 «=0-1^J0»: граница «1^J0» — не целое число; при баллах от 0 до "
          "1 выбор"},
         "вопросов: 2, баллы от 0 до 1"},
        {"after a line without a dash, totals past 9999 are certain failures",
         test("0,20000,0,1,", {"=", "A", "=", "B", "=0-5", "C", "$"}),
         {"строка сообщений 1 «=»: в строке нет «-», и её границы — те, что остались от "
          "предыдущего выбора результата (при первом — 0 и 0); выберут ли её при баллах от 0 до 1,",
          "строка сообщений 3 «=»: в строке нет «-», и её границы — те же, что у строки 1 без «-» "
          "выше, и она никогда не будет выбрана",
          "баллы от 20000 до 20001 не входят ни в один диапазон"},
         "вопросов: 2, баллы от 0 до 20001"},
        {"a failing bound after a line without a dash",
         test("0,20000,0,1,", {"=", "A", "=0-0", "B", "=6-x", "$"}),
         {"строка сообщений 1 «=»: в строке нет «-»",
          "строка сообщений 5 «=6-x»: граница «x» — не целое число; при баллах от 20000 до 20001 "
          "выбор результата остановится с ошибкой, а при баллах 1, если их не возьмёт строка 1 без "
          "«-», — тоже"},
         "вопросов: 2, баллы от 0 до 20001"},
        {"a high bound read from four characters",
         test("0,1,0,1,", {"=0-12345", "A", "=32770-63990", "B", "$"}),
         {"строка сообщений 1 «=0-12345»: верхняя граница читается только по первым четырём "
          "знакам, и диапазон — от 0 до 1234",
          "строка сообщений 3 «=32770-63990»: верхняя граница читается только по первым четырём "
          "знакам, и диапазон — от 32770 до 6399; нижняя граница больше верхней"},
         "вопросов: 2, баллы от 0 до 2"},
        {"lines that only look like a range or the end",
         test("0,1,0,1,", {"=0-1", "A", " =2-2", "B", "=0–5", "$1 приз", "=3-4", "$"}),
         {"строка сообщений 3 « =2-2»: строка начинается с пробела, и потому это не строка "
          "диапазона",
          "строка сообщений 5 «=0–5»: вместо дефиса «-» стоит тире; в строке нет «-», она берёт "
          "границы строки диапазона выше (строки 1)",
          "строка сообщений 6 «$1 приз»: строка начинается с «$» и потому завершает сообщения",
          "строка сообщений 7 «=3-4»: диапазон стоит после строки 6 «$1 приз», которая завершает",
          "баллы 2 не входят"},
         "вопросов: 2, баллы от 0 до 2"},
        {"more spans than shown are counted as spans",
         questions(3, "0,2,0,20,0,200,", {"=1-1", "$"}),
         {"баллы 0, 2, 20, 22, 200, 202 и ещё 2 промежутка не входят"},
         "вопросов: 3, баллы от 0 до 222",
         {"строка сообщений 1 «=1-1»: в диапазон не попадает ни одна сумма баллов, которую можно "
          "набрать (0, 2, 20, 22, 200, 202 и ещё 2 промежутка)"}},
        {"a file that ends after its Info line",
         {ruf("Info=(2^E2^E1)")},
         {"файл обрывается после строки 1 «Info=(2^E2^E1)»: дальше тест ждёт строку заголовка"},
         "вопросов: 2"},
        {"a file that ends before its message section",
         cut,
         {"файл обрывается после строки 15 «2,0,1,0,2,1,»: в нём нет строки «Message:»"},
         "вопросов: 2, баллы от 0 до 4"},
        {"a UTF-8 file", utf8, {"файл, похоже, в кодировке UTF-8"}, "вопросов: 2, баллы от 0 до 2"},
        {"an empty file", {}, {"тест не откроется: файл пуст"}, ""},
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
        ASSERT_EQ(report.problems.size(), c.found.size())
            << qv::cp1251::toUtf8(qvtest::joined(report.problems));
        for (std::size_t i = 0; i < c.found.size(); ++i) {
            EXPECT_EQ(report.problems[i].rfind(ru(c.found[i]), 0), 0u)
                << i << ": " << qv::cp1251::toUtf8(report.problems[i]);
        }
        ASSERT_EQ(report.warnings.size(), c.warned.size())
            << qv::cp1251::toUtf8(qvtest::joined(report.warnings));
        for (std::size_t i = 0; i < c.warned.size(); ++i)
            EXPECT_EQ(report.warnings[i].rfind(ru(c.warned[i]), 0), 0u) << i;
        EXPECT_EQ(report.summary(), ru(c.summary));
    }
    EXPECT_THROW(qv::checkTest(dir.file("missing.tst")), qv::EInOutError);
}

}  // namespace
