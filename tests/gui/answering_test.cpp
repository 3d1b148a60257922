// Taking a test: the buttons a run shows, the Score its answers add up, and
// the result and error windows it ends in, up to the saved result file.
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>

#include "errorform.h"
#include "gui_support.h"
#include "manag.h"
#include "redactor.h"
#include "resform.h"
#include "session_setup.h"
#include "userform.h"

namespace {

struct TestText {
    int buttons = 2;
    std::vector<std::string> points;  // one "a,b," group per question
    std::vector<std::string> messages{"=0-100", "Итог", "$"};
    std::string author = "Неизвестен";
};

// A test file: questions "Вопрос q", own variants "Вариант q.b", captions "Кнопка b".
std::vector<std::string> lines(const TestText& t) {
    const auto n = std::to_string(t.points.size());
    const auto b = std::to_string(t.buttons);
    std::vector<std::string> out{"Info=(" + n + "\x05" + b +
                                     "\x05"
                                     "3)",
                                 "Title=(Заголовок\x05" + t.author + "\x05Окно)"};
    std::string captions;
    for (int k = 1; k <= t.buttons; ++k) {
        if (k > 1) captions += '\x05';
        captions += "Кнопка " + std::to_string(k);
    }
    out.push_back("Buttons=(" + captions + ")");
    out.push_back("Questions:");
    for (std::size_t q = 1; q <= t.points.size(); ++q) out.push_back("Вопрос " + std::to_string(q));
    out.push_back("Variants: all");
    for (std::size_t q = 1; q <= t.points.size(); ++q)
        for (int k = 1; k <= t.buttons; ++k)
            out.push_back("Вариант " + std::to_string(q) + "." + std::to_string(k));
    out.push_back("Numbers:");
    std::string points;
    for (const auto& group : t.points) points += group;
    out.push_back(points);
    out.push_back("Message:");
    out.insert(out.end(), t.messages.begin(), t.messages.end());
    return out;
}

void startRun(Program& program, const TestText& t, const QString& name = "t.tst") {
    program.platform.openAnswers.push_back(program.writeTest(name, lines(t)));
    QTest::mouseClick(ctl::button(program.windows->manager(), "Button3"), Qt::LeftButton);
}

void press(Program& program, const QList<int>& buttons) {
    for (int b : buttons)
        QTest::mouseClick(ctl::button(program.windows->testWindow(), b), Qt::LeftButton);
}

// A result block of three lines, the middle one blank, for the Score 0..5.
TestText threeLineResult() {
    return {2,
            {"1,0,", "1,0,"},
            {"Вступление", "=0-5", "Строка 1", "", "Строка 3", "=6-9", "Другое", "$"}};
}

}  // namespace

class AnsweringTest : public QObject {
    Q_OBJECT
  private slots:
    void buttonRule_data();
    void buttonRule();
    void scoreAddsThePointsOfThePressedButtons_data();
    void scoreAddsThePointsOfThePressedButtons();
    void oneQuestionEndsWithTheFirstPress();
    void nextRunStartsAtQuestionOneWithScoreZero();
    void errorWindowShowsTheScore_data();
    void errorWindowShowsTheScore();
    void authorLineWithoutThePreviewPrefix();
    void longTitleAndQuestionAreReadable();
    void runAfterThePreviewHasItsButtonsEnabled();
    void resultMemoAndClosing();
    void savedResultName_data();
    void savedResultName();
    void emptyBlockSavesAnEmptyFile();
    void resultSavedByteForByte();
    void savingTwiceAndTheProposedName();
    void failedSaveKeepsTheOldFile();
    void anotherResultIsNotReplacedUnasked();
};

void AnsweringTest::buttonRule_data() {
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("shown");
    QTest::newRow("1 button") << 1 << 1;
    QTest::newRow("3 buttons") << 3 << 3;
    QTest::newRow("6 buttons") << 6 << 6;
}

void AnsweringTest::buttonRule() {
    QFETCH(int, count);
    QFETCH(int, shown);
    Program program;
    auto& w = *program.windows;
    // A run of six buttons first, so that the rule has to hide as well as show.
    startRun(program, {6, {"1,1,1,1,1,1,"}}, "six.tst");
    w.testWindow()->close();

    std::string points;
    for (int k = 1; k <= count; ++k) points += std::to_string(k) + ",";
    startRun(program, {count, {points, points}});

    for (int k = 1; k <= 6; ++k) {
        const QString row = QString::number(k);
        QCOMPARE(ctl::button(w.testWindow(), k)->isVisibleTo(w.testWindow()), k <= shown);
        QCOMPARE(ctl::label(w.testWindow(), "TextVar", k)->isVisibleTo(w.testWindow()), k <= shown);
        QVERIFY2(ctl::button(w.testWindow(), k)->isEnabled(), qPrintable(row));
        QCOMPARE(ctl::button(w.testWindow(), k)->text(),
                 k <= count ? QString("Кнопка %1").arg(k) : QString());
        if (k <= count)
            QCOMPARE(ctl::label(w.testWindow(), "TextVar", k)->text(),
                     QString("Вариант 1.%1").arg(k));
    }
    QCOMPARE(program.session().document().activeButtonCount, count);
    QCOMPARE(ctl::combo(w.editor(), "Edvar")->currentText(), QString::number(count));

    // The last visible button answers with its own points.
    press(program, {count});
    QCOMPARE(program.session().running().state().score, count);
    QCOMPARE(ctl::label(w.testWindow(), "TextVar1")->text(), QString("Вариант 2.1"));
}

void AnsweringTest::scoreAddsThePointsOfThePressedButtons_data() {
    QTest::addColumn<QStringList>("points");
    QTest::addColumn<QList<int>>("presses");
    QTest::addColumn<int>("score");
    QTest::newRow("1 and 0, pressed 1 2 1")
        << QStringList{"1,0,", "1,0,", "1,0,"} << QList<int>{1, 2, 1} << 2;
    QTest::newRow("negative points") << QStringList{"5,0,", "-3,0,"} << QList<int>{1, 1} << 2;
    QTest::newRow("leading blank") << QStringList{" 4,0,"} << QList<int>{1} << 4;
    QTest::newRow("signs and hexadecimal")
        << QStringList{"+7,0,", "$1F,-0,", "0,x10,"} << QList<int>{1, 1, 2} << 54;
    QTest::newRow("total below zero") << QStringList{"-3,0,", "0,-1,"} << QList<int>{1, 2} << -4;
}

void AnsweringTest::scoreAddsThePointsOfThePressedButtons() {
    QFETCH(QStringList, points);
    QFETCH(QList<int>, presses);
    QFETCH(int, score);
    Program program;
    auto& w = *program.windows;
    TestText t{2, {}, {"=1000-1001", "Недостижимо", "$"}};
    for (const auto& p : points) t.points.push_back(p.toStdString());
    startRun(program, t);

    for (qsizetype i = 0; i < presses.size(); ++i) {
        if (i + 1 < presses.size()) {
            press(program, {presses[i]});
            QCOMPARE(program.session().document().currentQuestion, static_cast<int>(i) + 2);
            QCOMPARE(ctl::memo(w.testWindow(), "Memo1")->toPlainText(),
                     QString("Вопрос %1").arg(i + 2));
        } else {
            press(program, {presses[i]});
        }
    }
    // No range holds the total, so the error window tells it.
    QVERIFY(program.platform.errors.isEmpty());
    QCOMPARE(program.visibleWindows(), QStringList{"ErrorForm"});
    QCOMPARE(program.session().running().state().score, score);
    QCOMPARE(ctl::label(w.errorWindow(), "Label3")->text(), QString::number(score));
}

void AnsweringTest::oneQuestionEndsWithTheFirstPress() {
    Program program;
    auto& w = *program.windows;
    startRun(program, {2, {"3,0,"}, {"=0-2", "Мало", "=3-3", "Ровно три", "$"}});
    press(program, {1});
    QCOMPARE(program.visibleWindows(), QStringList{"ResForm"});
    QCOMPARE(ctl::memo(w.resultWindow(), "Memo1")->toPlainText(), QString("\nРовно три"));
    QCOMPARE(program.session().document().currentQuestion, 1);
    QCOMPARE(program.session().running().state().score, 0);  // the found outcome sets it back
}

void AnsweringTest::nextRunStartsAtQuestionOneWithScoreZero() {
    Program program;
    auto& w = *program.windows;
    const TestText t{2, {"1,0,", "2,0,", "4,0,"}, {"=100-200", "Много", "$"}};

    // Abandoned on question 3 with 3 points.
    startRun(program, t);
    press(program, {1, 1});
    QCOMPARE(program.session().running().state().score, 3);
    QVERIFY(w.testWindow()->close());
    startRun(program, t);
    QCOMPARE(program.session().document().currentQuestion, 1);
    QCOMPARE(program.session().running().state().score, 0);
    QCOMPARE(ctl::memo(w.testWindow(), "Memo1")->toPlainText(), QString("Вопрос 1"));
    QCOMPARE(ctl::label(w.testWindow(), "TextVar1")->text(), QString("Вариант 1.1"));

    // Ended in the error window with 7 points; "Хорошо" keeps them until the next run.
    press(program, {1, 1, 1});
    QCOMPARE(ctl::label(w.errorWindow(), "Label3")->text(), QString("7"));
    QTest::mouseClick(ctl::button(w.errorWindow(), "Button1"), Qt::LeftButton);
    QCOMPARE(program.visibleWindows(), QStringList{"Manag"});
    QCOMPARE(program.session().running().state().score, 7);
    startRun(program, t);
    QCOMPARE(program.session().running().state().score, 0);
    press(program, {2, 2, 1});
    QCOMPARE(ctl::label(w.errorWindow(), "Label3")->text(), QString("4"));
}

void AnsweringTest::errorWindowShowsTheScore_data() {
    QTest::addColumn<QString>("points");
    QTest::addColumn<QString>("score");
    QTest::newRow("above every range") << "21,0,"
                                       << "21";
    QTest::newRow("below every range") << "-4,0,"
                                       << "-4";
    QTest::newRow("lowest total") << "-2147483648,0,"
                                  << "-2147483648";
    QTest::newRow("six characters") << "-123456,0,"
                                    << "-123456";
}

void AnsweringTest::errorWindowShowsTheScore() {
    QFETCH(QString, points);
    QFETCH(QString, score);
    Program program;
    auto& w = *program.windows;
    QLabel* label2 = ctl::label(w.errorWindow(), "Label2");
    QLabel* label3 = ctl::label(w.errorWindow(), "Label3");
    QLabel* label4 = ctl::label(w.errorWindow(), "Label4");
    const QString label4Text = label4->text();
    const int gap = label4->x() - label3->geometry().right();
    startRun(program, {2, {points.toStdString()}, {"=0-10", "Мало.", "=11-20", "Хорошо.", "$"}});
    press(program, {1});

    QCOMPARE(program.visibleWindows(), QStringList{"ErrorForm"});
    QCOMPARE(label2->text() + label3->text(), "Вы набрали " + score);
    QCOMPARE(label4->text(), label4Text);
    // The label sizes itself to the Score.
    QCOMPARE(label3->size(), label3->sizeHint());
    // "баллов" follows the Score with the gap it has after the design's "00000".
    QCOMPARE(label4->x() - label3->geometry().right(), gap);
    QVERIFY(ctl::memo(w.resultWindow(), "Memo1")->toPlainText().isEmpty());
}

void AnsweringTest::longTitleAndQuestionAreReadable() {
    Program program;
    auto& w = *program.windows;
    const std::string title(50, 'W');  // the most the editor takes, in wide letters, one word
    const std::string question = "Начало вопроса. " + std::string(4000, 'x');
    program.platform.openAnswers.push_back(
        program.writeTest("long.tst", {"Info=(1\x05"
                                       "2\x05"
                                       "1)",
                                       "Title=(" + title +
                                           "\x05"
                                           "A\x05"
                                           "C)",
                                       "Buttons=(Да\x05Нет)", "Questions:", question,
                                       "Variants: none", "Numbers:", "1,0,", "Message:", "$"}));
    QTest::mouseClick(ctl::button(w.manager(), "Button3"), Qt::LeftButton);
    QVERIFY(QTest::qWaitForWindowExposed(w.testWindow()));

    QLabel* zagolov = ctl::label(w.testWindow(), "Zagolov");
    // Shown whole, broken over lines, and read as it is written.
    QCOMPARE(zagolov->text().remove(QChar(0x200B)), QString::fromStdString(title));
    QCOMPARE(zagolov->accessibleName(), QString::fromStdString(title));
    QVERIFY(zagolov->geometry().right() < w.testWindow()->width());
    QVERIFY(zagolov->height() >= zagolov->heightForWidth(zagolov->width()));
    QCOMPARE(zagolov->font().family(), QString("Times New Roman"));
    // The question opens at its first line.
    QPlainTextEdit* memo = ctl::memo(w.testWindow(), "Memo1");
    QCOMPARE(memo->verticalScrollBar()->value(), 0);
    QVERIFY(memo->verticalScrollBar()->maximum() > 0);
    QCOMPARE(memo->cursorForPosition({5, 5}).position(), 0);
}

void AnsweringTest::authorLineWithoutThePreviewPrefix() {
    Program program;
    auto& w = *program.windows;
    // The preview shows the author line with its prefix once the author leaves the field.
    QTest::mouseClick(ctl::button(w.manager(), "Button1"), Qt::LeftButton);
    QVERIFY(QTest::qWaitForWindowActive(w.editor()));
    QLineEdit* author = ctl::edit(w.editor(), "Edit1");
    QLabel* authorLine = ctl::label(w.testWindow(), "Label1");
    QLabel* zagolov = ctl::label(w.testWindow(), "Zagolov");
    author->setFocus(Qt::MouseFocusReason);
    QTest::keyClick(author, Qt::Key_Tab);
    QVERIFY(!author->hasFocus());
    QCOMPARE(authorLine->text(), QString("Автор теста: Неизвестен"));
    QTest::mouseClick(ctl::button(w.editor(), "Button12"), Qt::LeftButton);

    startRun(program, {2, {"1,0,"}});
    QCOMPARE(authorLine->text(), QString("Неизвестен"));
    QCOMPARE(zagolov->text(), QString("Заголовок"));
    QCOMPARE(w.testWindow()->windowTitle(), QString("Окно"));
    QCOMPARE(zagolov->size(), zagolov->sizeHint());
    QCOMPARE(authorLine->size(), authorLine->sizeHint());
}

void AnsweringTest::runAfterThePreviewHasItsButtonsEnabled() {
    Program program;
    auto& w = *program.windows;
    QTest::mouseClick(ctl::button(w.manager(), "Button1"), Qt::LeftButton);
    QVERIFY(!ctl::button(w.testWindow(), "Button1")->isEnabled());
    QTest::mouseClick(ctl::button(w.editor(), "Button12"), Qt::LeftButton);

    startRun(program, {3, {"0,0,5,", "0,0,0,"}});
    for (int k = 1; k <= 6; ++k)
        QVERIFY2(ctl::button(w.testWindow(), k)->isEnabled(), qPrintable(QString::number(k)));
    QTest::mouseClick(ctl::button(w.testWindow(), "Button3"), Qt::LeftButton);
    QCOMPARE(program.session().running().state().score, 5);
    QCOMPARE(program.session().document().currentQuestion, 2);
}

void AnsweringTest::resultMemoAndClosing() {
    Program program;
    auto& w = *program.windows;
    QPlainTextEdit* memo = ctl::memo(w.resultWindow(), "Memo1");
    startRun(program, threeLineResult());
    press(program, {1, 1});
    QCOMPARE(program.visibleWindows(), QStringList{"ResForm"});
    // An empty line, then the block with its own blank line; the lines before the range are not
    // shown.
    QCOMPARE(memo->toPlainText(), QString("\nСтрока 1\n\nСтрока 3"));
    QCOMPARE(memo->document()->blockCount(), 4);

    qv::SessionSetUp::run(program.session()).score =
        9;  // whatever the Score holds, "Закрыть" zeroes it
    QTest::mouseClick(ctl::button(w.resultWindow(), "Button3"), Qt::LeftButton);
    QCOMPARE(program.visibleWindows(), QStringList{"Manag"});
    QVERIFY(memo->toPlainText().isEmpty());
    QCOMPARE(program.session().running().state().score, 0);

    // The next found outcome shows only its own block.
    startRun(program, threeLineResult());
    press(program, {2, 2});
    QCOMPARE(memo->toPlainText(), QString("\nСтрока 1\n\nСтрока 3"));
    QTest::mouseClick(ctl::button(w.resultWindow(), "Button3"), Qt::LeftButton);
    startRun(program, {2, {"7,0,"}, {"=0-5", "A", "=6-9", "Другое", "$"}});
    press(program, {1});
    QCOMPARE(memo->toPlainText(), QString("\nДругое"));

    // Saved: the block only, without the memo's empty first line.
    program.platform.saveResultAnswers.push_back(program.path("итог"));
    QTest::mouseClick(ctl::button(w.resultWindow(), "Button1"), Qt::LeftButton);
    QCOMPARE(Program::bytes(program.path("итог.txt")), fileBytes({"Другое"}));
    QCOMPARE(program.visibleWindows(), QStringList{"ResForm"});
}

void AnsweringTest::savedResultName_data() {
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("written");
    QTest::newRow("no extension") << "Итог"
                                  << "Итог.txt";
    QTest::newRow(".txt kept") << "Итог.txt"
                               << "Итог.txt";
    QTest::newRow("upper case .TXT") << "ИТОГ.TXT"
                                     << "ИТОГ.TXT.txt";
    QTest::newRow("another extension") << "итог.tst"
                                       << "итог.tst.txt";
    QTest::newRow(".txt inside the name") << "a.txt.bak"
                                          << "a.txt.bak.txt";
}

void AnsweringTest::savedResultName() {
    QFETCH(QString, chosen);
    QFETCH(QString, written);
    Program program;
    startRun(program, threeLineResult());
    press(program, {1, 1});
    program.platform.saveResultAnswers.push_back(program.path(chosen));
    QTest::mouseClick(ctl::button(program.windows->resultWindow(), "Button1"), Qt::LeftButton);

    QVERIFY(program.platform.errors.isEmpty());
    QCOMPARE(Program::bytes(program.path(written)), fileBytes({"Строка 1", "", "Строка 3"}));
    const QStringList files = QDir(program.folder.path()).entryList({"*.txt*"}, QDir::Files);
    QCOMPARE(files, QStringList{written});
}

void AnsweringTest::emptyBlockSavesAnEmptyFile() {
    Program program;
    startRun(program, {2, {"1,0,"}, {"=0-5", "=6-9", "B", "$"}});
    press(program, {1});
    QCOMPARE(program.visibleWindows(), QStringList{"ResForm"});
    QCOMPARE(ctl::memo(program.windows->resultWindow(), "Memo1")->toPlainText(), QString());
    QCOMPARE(program.session().running().state().resultLast,
             program.session().running().state().resultFirst - 1);

    program.platform.saveResultAnswers.push_back(program.path("пусто"));
    QTest::mouseClick(ctl::button(program.windows->resultWindow(), "Button1"), Qt::LeftButton);
    QVERIFY(program.platform.errors.isEmpty());
    QVERIFY(QFile::exists(program.path("пусто.txt")));
    QCOMPARE(QFile(program.path("пусто.txt")).size(), 0);
}

void AnsweringTest::resultSavedByteForByte() {
    Program program;
    // Block lines as no editor writes them: a lone LF inside a line, a byte
    // Windows-1251 leaves undefined, a tab, a trailing blank.
    const QByteArray block =
        cp("Итог: ").c_str() + QByteArray("\x98 end \r\nA\nB\r\n\t") + cp("таб").c_str() + "\r\n";
    QByteArray file =
        fileBytes({"Info=(1\x05"
                   "2\x05"
                   "1)",
                   "Title=(T\x05"
                   "A\x05"
                   "C)",
                   "Buttons=(Да\x05Нет)", "Questions:", "Q", "Variants: none", "Numbers:", "1,0,",
                   "Message:", "=0-5"});
    file += block + "$\r\n";
    {
        QFile out(program.path("raw.tst"));
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(file);
    }
    program.platform.openAnswers.push_back(program.path("raw.tst"));
    QTest::mouseClick(ctl::button(program.windows->manager(), "Button3"), Qt::LeftButton);
    press(program, {1});
    QCOMPARE(program.visibleWindows(), QStringList{"ResForm"});
    QCOMPARE(ctl::memo(program.windows->resultWindow(), "Memo1")->document()->blockCount(),
             4);  // the LF splits no line

    program.platform.saveResultAnswers.push_back(program.path("raw"));
    QTest::mouseClick(ctl::button(program.windows->resultWindow(), "Button1"), Qt::LeftButton);
    QVERIFY(program.platform.errors.isEmpty());
    QCOMPARE(Program::bytes(program.path("raw.txt")), block);
}

void AnsweringTest::savingTwiceAndTheProposedName() {
    Program program;
    auto& w = *program.windows;
    auto& answers = program.platform.saveResultAnswers;
    QPushButton* save = ctl::button(w.resultWindow(), "Button1");
    startRun(program, threeLineResult());
    press(program, {1, 1});

    answers.push_back(program.path("итог"));
    QTest::mouseClick(save, Qt::LeftButton);
    answers.push_back(program.path("итог"));
    QTest::mouseClick(save, Qt::LeftButton);
    QCOMPARE(Program::bytes(program.path("итог.txt")), fileBytes({"Строка 1", "", "Строка 3"}));

    QTest::mouseClick(save, Qt::LeftButton);  // cancelled: nothing written, the name stays
    QTest::mouseClick(ctl::button(w.resultWindow(), "Button3"), Qt::LeftButton);
    startRun(program, threeLineResult());
    press(program, {2, 2});
    answers.push_back(program.path("второй.txt"));
    QTest::mouseClick(save, Qt::LeftButton);
    QTest::mouseClick(save, Qt::LeftButton);

    // The name as it was chosen, without the ".txt" the save added.
    QCOMPARE(program.platform.saveResultProposals,
             (QStringList{"Результат тестирования", program.path("итог"), program.path("итог"),
                          program.path("итог"), program.path("второй.txt")}));
    QVERIFY(program.platform.errors.isEmpty());
}

void AnsweringTest::failedSaveKeepsTheOldFile() {
    Program program;
    auto& w = *program.windows;
    const QString target = program.path("итог.txt");
    const QByteArray old = fileBytes({"Старый итог", "вторая строка"});
    {
        QFile f(target);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(old);
    }
    QVERIFY(QFile::setPermissions(target,
                                  QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));  // 0444

    startRun(program, threeLineResult());
    press(program, {1, 1});
    const QString memo = ctl::memo(w.resultWindow(), "Memo1")->toPlainText();
    program.platform.saveResultAnswers.push_back(program.path("итог"));
    program.platform.yesNoAnswers.push_back(true);  // replace it
    QTest::mouseClick(ctl::button(w.resultWindow(), "Button1"), Qt::LeftButton);

    QCOMPARE(program.platform.errors, QStringList{"File access denied."});
    QCOMPARE(Program::bytes(target), old);
    QCOMPARE(program.visibleWindows(), QStringList{"ResForm"});
    QCOMPARE(ctl::memo(w.resultWindow(), "Memo1")->toPlainText(), memo);
    QCOMPARE(program.platform.activeAtError.back(), static_cast<QWidget*>(w.resultWindow()));

    // Another name saves the same block.
    program.platform.saveResultAnswers.push_back(program.path("другой"));
    QTest::mouseClick(ctl::button(w.resultWindow(), "Button1"), Qt::LeftButton);
    QCOMPARE(Program::bytes(program.path("другой.txt")), fileBytes({"Строка 1", "", "Строка 3"}));
    QCOMPARE(program.platform.errors.size(), 1);
}

void AnsweringTest::anotherResultIsNotReplacedUnasked() {
    Program program;
    auto& w = *program.windows;
    auto& platform = program.platform;
    const QByteArray earlier = fileBytes({"Результат другого ученика"});
    {
        QFile f(program.path("итог.txt"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(earlier);
    }
    const QByteArray block = fileBytes({"Строка 1", "", "Строка 3"});
    QPushButton* save = ctl::button(w.resultWindow(), "Button1");
    startRun(program, threeLineResult());
    press(program, {1, 1});

    // "Нет" goes back to the dialog, which offers the name refused.
    platform.saveResultAnswers = {program.path("итог"), program.path("мой")};
    platform.yesNoAnswers = {false};
    QTest::mouseClick(save, Qt::LeftButton);
    QCOMPARE(platform.questions,
             QStringList{"Файл «" + program.path("итог.txt") + "» уже существует. Заменить его?"});
    QCOMPARE(platform.saveResultProposals,
             (QStringList{"Результат тестирования", program.path("итог")}));
    QCOMPARE(Program::bytes(program.path("итог.txt")), earlier);
    QCOMPARE(Program::bytes(program.path("мой.txt")), block);

    // The file this result was saved to is saved again unasked; another one after "Да".
    platform.saveResultAnswers = {program.path("мой"), program.path("итог.txt")};
    platform.yesNoAnswers = {true};
    QTest::mouseClick(save, Qt::LeftButton);
    QTest::mouseClick(save, Qt::LeftButton);
    QCOMPARE(platform.questions.size(), 2);
    QCOMPARE(Program::bytes(program.path("итог.txt")), block);

    // The next person's result asks again before replacing this one's.
    QTest::mouseClick(ctl::button(w.resultWindow(), "Button3"), Qt::LeftButton);
    startRun(program, threeLineResult());
    press(program, {1, 1});
    platform.saveResultAnswers = {program.path("мой")};
    QTest::mouseClick(save, Qt::LeftButton);
    QCOMPARE(platform.questions.size(), 3);
    QVERIFY(platform.errors.isEmpty());
}

QTEST_MAIN(AnsweringTest)
#include "answering_test.moc"
