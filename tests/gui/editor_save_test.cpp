// Saving from the editor: tests written in it, files opened and saved again,
// the name of the file, what a save leaves out, and saves that fail.
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTextBlock>

#include "core_support.h"
#include "editor_support.h"
#include "encoding.h"
#include "gui_support.h"
#include "manag.h"
#include "recent_tests.h"
#include "redactor.h"
#include "resform.h"
#include "userform.h"

using namespace editor;

namespace {

using Editor = editor::Controls;

// Fills the shown question: its text, then variants and points from button 1 on.
void fillQuestion(const Editor& ed, const QString& text, const QStringList& variants,
                  const QStringList& points) {
    typeInto(ed.Vopros, text);
    for (int k = 1; k <= variants.size(); ++k) typeInto(ed.variantEdit(k), variants[k - 1]);
    for (int k = 1; k <= points.size(); ++k) typeInto(ed.kball(k), points[k - 1]);
}

// The lines of a message block as the field draws them: characters whose
// cursor positions share a line top belong to one line.
QStringList drawnLines(QPlainTextEdit* memo, const QTextBlock& block) {
    QStringList lines;
    int top = -1;
    const QString text = block.text();
    for (int i = 0; i < text.size(); ++i) {
        QTextCursor cursor(block);
        cursor.setPosition(block.position() + i);
        const int lineTop = memo->cursorRect(cursor).top();
        if (lineTop != top) lines << QString();
        top = lineTop;
        lines.last() += text[i];
    }
    return lines;
}

// What the editor shows and holds, to see that a failed save changed nothing.
QStringList editorState(Program& program) {
    const Editor ed(program);
    return {ed.nv->text(),
            ed.Vopros->text(),
            ed.variantEdit(1)->text(),
            ed.kball(1)->text(),
            ed.Edvar->currentText(),
            ed.Edzag->text(),
            ed.Memo2->toPlainText(),
            QString::number(ed.doc.questionCount),
            QString::number(ed.doc.currentQuestion),
            QString::number(ed.predvop->isEnabled()),
            program.visibleWindows().join(',')};
}

}  // namespace

class EditorSaveTest : public QObject {
    Q_OBJECT
  private slots:
    void testWrittenInTheEditorSavedReopenedAndRun();
    void openedFileSavedAgainIsIdentical_data();
    void openedFileSavedAgainIsIdentical();
    void nameOfTheFileWritten_data();
    void nameOfTheFileWritten();
    void saveProposesTheCurrentFileName();
    void failedOpenLeavesNothingOfTheTestBefore();
    void pointsWithADecimalSeparatorAreNamedAndNotSaved();
    void countsWrittenFollowTheEditor();
    void wrappedMessageLineWrittenAsShown();
    void tooManyMessageLinesForARunAreSavedWithANotice_data();
    void tooManyMessageLinesForARunAreSavedWithANotice();
    void failedSaveKeepsTheOldFileAndTheEditor_data();
    void failedSaveKeepsTheOldFileAndTheEditor();
    void buttonCountThatIsNoNumberCreatesNoFile();
    void longMessageSectionFilledInStepsIsSavedWholeAndLeftEditable();
};

void EditorSaveTest::testWrittenInTheEditorSavedReopenedAndRun() {
    Program program;
    auto& w = *program.windows;
    Editor ed(program);
    QVERIFY(openNewTest(program));
    retype(ed.Edzag, "Знания");
    retype(ed.Edit1, "Иванов");
    retype(ed.Edit2, "Опрос");
    retype(ed.Edvar->lineEdit(), "3");
    typeInto(ed.edButt(3), "Не знаю");
    fillQuestion(ed, "Земля круглая?", {"Да, круглая", "Нет", "Не уверен"}, {"2", "0", "1"});
    QTest::mouseClick(ed.nextvop, Qt::LeftButton);
    fillQuestion(ed, "Луна больше Земли?", {"Больше", "Меньше", "Не знаю"}, {"0", "2", "1"});
    typeInto(ed.Memo2, "=0-2\nМало.\n\n=3-4\nХорошо.");
    save(program, program.path("quiz"));

    const QString file = program.path("quiz.tst");
    std::vector<std::string> lines{
        "Info=(2\x05"
        "3\x05"
        "3)",
        "Title=(Знания\x05Иванов\x05Опрос)",
        "Buttons=(Да\x05Нет\x05Не знаю)",
        "Questions:",
        "Земля круглая?",
        "Луна больше Земли?",
        "Variants: all",
        "Да, круглая",
        "Нет",
        "Не уверен",
        "Больше",
        "Меньше",
        "Не знаю",
        "Numbers:",
        "2,0,1,0,2,1,",
        "Message:",
        "=0-2",
        "Мало.",
        "=3-4",
        "Хорошо.",
        "$"};
    QCOMPARE(Program::bytes(file), fileBytes(lines));
    QCOMPARE(program.visibleWindows(), (QStringList{"Redactor", "UserForm"}));
    QCOMPARE(ed.nv->text(), QString("2"));

    QTest::mouseClick(ed.Button12, Qt::LeftButton);
    QVERIFY(openForEditing(program, file));
    QCOMPARE(ed.Memo2->toPlainText(), QString("=0-2\nМало.\n=3-4\nХорошо.\n"));
    QTest::mouseClick(ed.nextvop, Qt::LeftButton);
    retype(ed.kball(1), "1");
    save(program, file);
    QCOMPARE(program.platform.saveTestProposals, (QStringList{"test", file}));
    lines[14] = "2,0,1,1,2,1,";
    QCOMPARE(Program::bytes(file), fileBytes(lines));

    QTest::mouseClick(ed.Button12, Qt::LeftButton);
    program.platform.openAnswers.push_back(file);
    QTest::mouseClick(ctl::button(w.manager(), "Button3"), Qt::LeftButton);
    QTest::mouseClick(ctl::button(w.testWindow(), 1), Qt::LeftButton);  // 2 points
    QTest::mouseClick(ctl::button(w.testWindow(), 1), Qt::LeftButton);  // 1 point: 3 in all
    QCOMPARE(program.visibleWindows(), QStringList{"ResForm"});
    QCOMPARE(ctl::memo(w.resultWindow(), "Memo1")->toPlainText(), QString("\nХорошо."));
    QVERIFY(program.platform.errors.isEmpty());
}

void EditorSaveTest::openedFileSavedAgainIsIdentical_data() {
    QTest::addColumn<std::vector<std::string>>("lines");
    QTest::newRow("own variants") << exampleLines();
    std::vector<std::string> shared = exampleLines();
    shared[0] =
        "Info=(2\x05"
        "3\x05"
        "2)";
    shared[6] = "Variants: use only one";
    shared.erase(shared.begin() + 10, shared.begin() + 13);
    QTest::newRow("first question's variants") << shared;
    std::vector<std::string> none = exampleLines();
    none[0] =
        "Info=(2\x05"
        "3\x05"
        "1)";
    none[6] = "Variants: none";
    none.erase(none.begin() + 7, none.begin() + 13);
    QTest::newRow("no variants") << none;
    QTest::newRow("no questions") << std::vector<std::string>{
        "Info=(0\x05"
        "3\x05"
        "2)",
        "Title=(Пусто\x05\x05Тест)",
        "Buttons=(Да\x05\x05Не знаю)",
        "Questions:",
        "Variants: use only one",
        "Верно",
        "",
        "Затрудняюсь",
        "Numbers:",
        "Message:",
        "=0-0",
        "Ничего.",
        "$"};
    QTest::newRow("odd mode and points") << std::vector<std::string>{
        "Info=(1\x05"
        "2\x05"
        "7)",
        "Title=(Тест (часть 1\x05Автор\x05Окно)",
        "Buttons=((Да\x05Нет)",
        "Questions:",
        "Вопрос",
        "Variants: all",
        "а",
        "б",
        "Numbers:",
        "12345,x,",
        "Message:",
        "=0-9",
        "$"};
}

void EditorSaveTest::openedFileSavedAgainIsIdentical() {
    QFETCH(std::vector<std::string>, lines);
    Program program;
    Editor ed(program);
    ed.doc.setText(1, cp("от прошлого теста"));
    ed.doc.setPoints(1, 1, "9");
    const QString file = program.writeTest("opened.tst", lines);
    QVERIFY(openForEditing(program, file));
    if (ed.doc.questionCount > 1) {
        QTest::mouseClick(ed.nextvop, Qt::LeftButton);
        QTest::mouseClick(ed.predvop, Qt::LeftButton);
    }
    if (lines[0].starts_with(
            "Info=(0")) {  // edited as one empty question, nothing left from before
        QCOMPARE(ed.doc.questionCount, 1);
        QVERIFY(ed.Vopros->text().isEmpty());
        QVERIFY(ed.kball(1)->text().isEmpty());
        QCOMPARE(ed.variantEdit(1)->text(), QString("Верно"));
    }
    // Passing through the header fields runs their handlers and changes nothing.
    QTest::mouseClick(ed.Edzag, Qt::LeftButton);
    for (int i = 0; i < 12; ++i) QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    save(program, program.path("copy"));
    QCOMPARE(Program::bytes(program.path("copy.tst")), Program::bytes(file));
    QVERIFY(program.platform.errors.isEmpty());
    // The check after the save speaks only of what a person taking the test would meet.
    const QString flaw = lines[0].starts_with("Info=(0") ? "нет ни одного вопроса"
                         : lines[0].ends_with("7)")      ? "баллы «x»"
                                                         : "";
    QCOMPARE(program.platform.informations.size(), flaw.isEmpty() ? 0 : 1);
    if (!flaw.isEmpty()) QVERIFY(program.platform.informations.first().contains(flaw));
}

void EditorSaveTest::nameOfTheFileWritten_data() {
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("written");
    QTest::newRow("no extension") << "quiz"
                                  << "quiz.tst";
    QTest::newRow("extension") << "quiz.tst"
                               << "quiz.tst";
    QTest::newRow("extension in capitals") << "QUIZ.TST"
                                           << "QUIZ.TST.tst";
    QTest::newRow("extension inside") << "quiz.tst.bak"
                                      << "quiz.tst.bak.tst";
    QTest::newRow("short name") << "ab"
                                << "ab.tst";
    QTest::newRow("Cyrillic name") << "тест"
                                   << "тест.tst";
}

void EditorSaveTest::nameOfTheFileWritten() {
    QFETCH(QString, chosen);
    QFETCH(QString, written);
    Program program;
    QVERIFY(openNewTest(program));
    save(program, program.path(chosen));
    QCOMPARE(QDir(program.folder.path()).entryList(QDir::Files), QStringList{written});
    QVERIFY(program.platform.errors.isEmpty());
}

void EditorSaveTest::saveProposesTheCurrentFileName() {
    Program program;
    auto& w = *program.windows;
    QVERIFY(openNewTest(program));
    QCOMPARE(w.editor()->windowTitle(), QString("Редактор тестов"));
    fillQuestion(Editor(program), "Вопрос", {}, {"1", "0"});
    typeInto(ctl::memo(w.editor(), "Memo2"), "=0-1\nИтог");
    save(program, program.path("first"));
    // Saved once: in the recent list at once, named in the caption, told in
    // the status line and not in a box.
    QCOMPARE(RecentTests().entries().value(0).path, program.path("first.tst"));
    QCOMPARE(w.editor()->windowTitle(), QString("Редактор тестов — first.tst"));
    QVERIFY(ctl::label(w.editor(), "StatusLine")->text().contains("«first.tst»"));
    QVERIFY(program.platform.informations.isEmpty());
    save(program, program.path("second"));
    QTest::mouseClick(ctl::button(w.editor(), "Button12"), Qt::LeftButton);
    const QString example = program.writeExample();
    QVERIFY(openForEditing(program, example));
    QTest::mouseClick(ctl::button(w.editor(), "Button10"), Qt::LeftButton);  // cancelled
    // A save names the file the next save proposes.
    QCOMPARE(program.platform.saveTestProposals,
             (QStringList{"test", program.path("first.tst"), example}));
    QVERIFY(QFile::exists(program.path("second.tst")));
    QCOMPARE(fileNameText(program.session().currentFileName()), example);
}

void EditorSaveTest::failedOpenLeavesNothingOfTheTestBefore() {
    Program program;
    Editor ed(program);
    const QString file = program.writeExample("дроби.tst");
    const QByteArray before = Program::bytes(file);
    QVERIFY(openForEditing(program, file));
    QTest::mouseClick(ed.nextvop, Qt::LeftButton);
    QVERIFY(!ed.Vopros->text().isEmpty());
    QTest::mouseClick(ed.Button12, Qt::LeftButton);

    // The name typed without ".tst": no such file.
    QVERIFY(openForEditing(program, program.path("дроби")));
    QCOMPARE(program.platform.errors, QStringList{"File not found."});
    QVERIFY(ed.Vopros->text().isEmpty());  // what the editor holds is the session's rule
    QCOMPARE(ed.window->windowTitle(),
             QString("Редактор тестов — дроби: файл не удалось прочитать"));

    // Saved over the real test, the empty test is named as what it is.
    program.platform.yesNoAnswers.push_back(false);
    program.platform.saveTestAnswers.push_back(program.path("дроби"));
    QTest::keyClick(ed.Edzag, Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(program.platform.saveTestProposals.last(), program.path("дроби"));
    QCOMPARE(program.platform.questions.size(), 1);
    QVERIFY(program.platform.questions[0].contains("пустым тестом"));
    QCOMPARE(Program::bytes(file), before);
    // Nothing was changed, so leaving asks nothing.
    QTest::mouseClick(ed.Button12, Qt::LeftButton);
    QCOMPARE(program.platform.questions.size(), 1);
    QCOMPARE(program.visibleWindows(), QStringList{"Manag"});
}

void EditorSaveTest::pointsWithADecimalSeparatorAreNamedAndNotSaved() {
    Program program;
    Editor ed(program);
    QVERIFY(openNewTest(program));
    fillQuestion(ed, "Первый", {}, {"1", "0"});
    QTest::mouseClick(ed.nextvop, Qt::LeftButton);
    fillQuestion(ed, "Второй", {}, {"0", "1,5"});
    QTest::mouseClick(ed.Edzag, Qt::LeftButton);
    save(program, program.path("points"));
    // Named before any dialog; the field is there to mend.
    QCOMPARE(program.platform.errors.size(), 1);
    QVERIFY(program.platform.errors[0].contains("кнопку № 2 в вопросе 2"));
    QVERIFY(program.platform.saveTestProposals.isEmpty());
    QCOMPARE(QApplication::focusWidget(), ed.kball(2));
    QVERIFY(!QFile::exists(program.path("points.tst")));

    retype(ed.kball(2), "2");
    save(program, program.path("points"));
    QVERIFY(Program::bytes(program.path("points.tst")).contains("1,0,0,2,"));
}

void EditorSaveTest::countsWrittenFollowTheEditor() {
    Program program;
    Editor ed(program);
    QVERIFY(openNewTest(program));
    save(program, program.path("empty"));  // the only question has no text
    QCOMPARE(Program::bytes(program.path("empty.tst")),
             fileBytes({"Info=(0\x05"
                        "2\x05"
                        "3)",
                        "Title=(Это текст заголовка\x05Неизвестен\x05Тест)", "Buttons=(Да\x05Нет)",
                        "Questions:", "Variants: all", "Numbers:", "Message:", "$"}));
    QCOMPARE(ed.doc.questionCount, 1);

    retype(ed.Edvar->lineEdit(), "6");
    for (int k = 3; k <= 6; ++k) typeInto(ed.edButt(k), QString("К%1").arg(k));
    fillQuestion(ed, "Один", {"a1", "a2", "a3", "a4", "a5", "a6"}, {"1", "2", "3", "4", "5", "6"});
    retype(ed.Edvar->lineEdit(), "5");
    QTest::mouseClick(ed.nextvop, Qt::LeftButton);
    save(program, program.path("five"));  // the new, empty last question is shown
    std::vector<std::string> lines{
        "Info=(1\x05"
        "5\x05"
        "3)",
        "Title=(Это текст заголовка\x05Неизвестен\x05Тест)",
        "Buttons=(Да\x05Нет\x05К3\x05К4\x05К5)",
        "Questions:",
        "Один",
        "Variants: all",
        "a1",
        "a2",
        "a3",
        "a4",
        "a5",
        "Numbers:",
        "1,2,3,4,5,",
        "Message:",
        "$"};
    QCOMPARE(Program::bytes(program.path("five.tst")), fileBytes(lines));
    // The editor stays on the empty question, which is still part of the test.
    QCOMPARE(ed.doc.questionCount, 2);
    QCOMPARE(ed.doc.currentQuestion, 2);
    QCOMPARE(ed.nv->text(), QString("2"));

    typeInto(ed.Vopros, "Два");
    save(program, program.path("five"));
    lines[0] =
        "Info=(2\x05"
        "5\x05"
        "3)";
    lines.insert(lines.begin() + 5, "Два");
    lines.insert(lines.begin() + 12, 5, "");
    lines[18] = "1,2,3,4,5,,,,,,";
    QCOMPARE(Program::bytes(program.path("five.tst")), fileBytes(lines));
    QVERIFY(program.platform.errors.isEmpty());
}

void EditorSaveTest::wrappedMessageLineWrittenAsShown() {
    Program program;
    Editor ed(program);
    const std::string longLine =
        "Результат\xC2\xA0хороший: материал усвоен, можно переходить к следующей теме и решать "
        "задачи "
        "повышенной сложности без повторения пройденного.";
    QVERIFY(openForEditing(
        program,
        program.writeTest("long.tst", {"Info=(1\x05"
                                       "2\x05"
                                       "1)",
                                       "Title=(З\x05А\x05О)", "Buttons=(Да\x05Нет)",
                                       "Questions:", "Вопрос", "Variants: none", "Numbers:", "1,0,",
                                       "Message:", "=0-1", longLine, "$"})));
    const QStringList shown = drawnLines(ed.Memo2, ed.Memo2->document()->findBlockByNumber(1));
    QVERIFY2(shown.size() >= 3, qPrintable(shown.join('|')));
    QCOMPARE(shown.join(QString()), QString::fromStdString(longLine));

    typeInto(ed.Memo2, "=2-2\nХорошо.");
    save(program, program.path("wrapped"));
    QByteArray expected =
        fileBytes({"Info=(1\x05"
                   "2\x05"
                   "1)",
                   "Title=(З\x05А\x05О)", "Buttons=(Да\x05Нет)", "Questions:", "Вопрос",
                   "Variants: none", "Numbers:", "1,0,", "Message:", "=0-1"});
    for (const QString& line : shown) expected += fileBytes({line.toStdString()});
    expected += fileBytes({"=2-2", "Хорошо.", "$"});
    QCOMPARE(Program::bytes(program.path("wrapped.tst")), expected);
}

void EditorSaveTest::tooManyMessageLinesForARunAreSavedWithANotice_data() {
    QTest::addColumn<int>("typedLines");
    QTest::addColumn<bool>("notice");
    QTest::newRow("999 lines and the end marker fit a run") << 999 << false;
    QTest::newRow("1000 lines and the end marker do not") << 1000 << true;
}

void EditorSaveTest::tooManyMessageLinesForARunAreSavedWithANotice() {
    QFETCH(int, typedLines);
    QFETCH(bool, notice);
    Program program;
    Editor ed(program);
    QVERIFY(openNewTest(program));
    typeInto(ed.Vopros, "Q");
    typeInto(ed.kball(1), "0");
    typeInto(ed.kball(2), "0");
    QStringList lines;
    for (int i = 0; i < typedLines; ++i) lines << QString("=%1-%1").arg(i);
    ed.Memo2->setPlainText(lines.join('\n'));
    // Asked first: "Нет" writes nothing, "Да" saves as typed.
    if (notice) {
        save(program, program.path("many"));
        QVERIFY(!QFile::exists(program.path("many.tst")));
        QVERIFY(program.platform.questions.value(0).contains("1001"));
        program.platform.yesNoAnswers.push_back(true);
    }
    save(program, program.path("many"));

    // The test is saved whole either way; the author hears when a run would refuse it.
    const QByteArray saved = Program::bytes(program.path("many.tst"));
    QVERIFY(saved.endsWith(QByteArray("=") + QByteArray::number(typedLines - 1) + "-" +
                           QByteArray::number(typedLines - 1) + "\r\n$\r\n"));
    QCOMPARE(program.platform.informations.size(), notice ? 1 : 0);
    if (notice) QVERIFY(program.platform.informations.first().contains("1001"));
    QCOMPARE(program.platform.questions.size(), notice ? 2 : 0);
    QVERIFY(program.platform.errors.isEmpty());
}

void EditorSaveTest::failedSaveKeepsTheOldFileAndTheEditor_data() {
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<bool>("readOnlyFileThere");
    QTest::addColumn<QString>("error");
    QTest::newRow("read-only file") << "old.tst" << true << "File access denied.";
    QTest::newRow("missing folder") << "missing/quiz" << false << "Invalid filename.";
}

void EditorSaveTest::failedSaveKeepsTheOldFileAndTheEditor() {
    QFETCH(QString, chosen);
    QFETCH(bool, readOnlyFileThere);
    QFETCH(QString, error);
    Program program;
    Editor ed(program);
    const QString old = program.writeExample("old.tst");
    const QByteArray oldBytes = Program::bytes(old);
    if (readOnlyFileThere)
        QVERIFY(QFile::setPermissions(old, QFileDevice::ReadOwner | QFileDevice::ReadGroup));
    QVERIFY(openNewTest(program));
    fillQuestion(ed, "Первый", {"да"}, {"1"});
    QTest::mouseClick(ed.nextvop, Qt::LeftButton);
    fillQuestion(ed, "Второй", {"нет"}, {"2"});
    typeInto(ed.Memo2, "=0-3\nИтог");
    QTest::mouseClick(ed.Edzag, Qt::LeftButton);
    const QStringList before = editorState(program);

    // Replacing a file the editor did not open is asked first.
    program.platform.yesNoAnswers.push_back(true);
    save(program, program.path(chosen));
    QCOMPARE(program.platform.questions.size(), readOnlyFileThere ? 1 : 0);
    QCOMPARE(program.platform.errors, QStringList{error});
    QCOMPARE(Program::bytes(old), oldBytes);
    QCOMPARE(QDir(program.folder.path())
                 .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{"old.tst"});
    QCOMPARE(editorState(program), before);
    QCOMPARE(ed.doc.text(2), cp("Второй"));  // stored before the file was touched
}

void EditorSaveTest::buttonCountThatIsNoNumberCreatesNoFile() {
    Program program;
    Editor ed(program);
    QVERIFY(openNewTest(program));
    typeInto(ed.Vopros, "Вопрос");
    retype(ed.Edvar->lineEdit(), "x");
    save(program, program.path("bad"));
    const QString error = "'x' is not a valid integer value.";
    QCOMPARE(program.platform.errors, (QStringList{error, error}));
    QVERIFY(QDir(program.folder.path())
                .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)
                .isEmpty());
    QCOMPARE(ed.doc.text(1), cp("Вопрос"));
}

void EditorSaveTest::longMessageSectionFilledInStepsIsSavedWholeAndLeftEditable() {
    Program program;
    std::vector<std::string> lines = qvtest::oneQuestionTestHead();
    lines.insert(lines.end(), 50000, "=0-1");
    lines.push_back("$");
    const QString file = program.writeTest("long.tst", lines);
    Editor ed(program);

    // Saved while the field still fills: every line is written.
    QVERIFY(openForEditing(program, file));
    QVERIFY(ed.Memo2->isReadOnly());
    save(program, file);
    QCOMPARE(Program::bytes(file).count("=0-1\r\n"), 50000);
    QVERIFY(!ed.Memo2->isReadOnly());

    // Closed while the field still fills: the next test's field takes typing.
    QVERIFY(openForEditing(program, file));
    QVERIFY(ed.Memo2->isReadOnly());
    QTest::mouseClick(ed.Button12, Qt::LeftButton);
    QVERIFY(openNewTest(program));
    QVERIFY(!ed.Memo2->isReadOnly());
    typeInto(ed.Memo2, "=0-9");
    QCOMPARE(ed.Memo2->toPlainText(), QString("=0-9"));
}

QTEST_MAIN(EditorSaveTest)
#include "editor_save_test.moc"
