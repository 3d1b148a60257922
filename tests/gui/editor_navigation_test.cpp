// Opening the editor for a new or an existing test, moving between questions
// and closing it, driven with real clicks, keys and focus changes.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "editor_support.h"
#include "encoding.h"
#include "gui_support.h"
#include "manag.h"
#include "redactor.h"
#include "userform.h"

using namespace editor;

namespace {

using Editor = editor::Controls;

}  // namespace

class EditorNavigationTest : public QObject {
    Q_OBJECT
  private slots:
    void editingShowsTheFileAndLeavesTheTestWindowAlone();
    void newTestAfterAnEditedOneStartsFromTheDefaults();
    void emptyQuestionBlocksNext();
    void appendingAndGoingBack();
    void stopsAtQuestionFiveHundred();
    void closeDiscardsUnsavedChanges();
    void eachOpeningStartsAtTheFirstField();
};

void EditorNavigationTest::editingShowsTheFileAndLeavesTheTestWindowAlone() {
    Program program;
    auto& w = *program.windows;
    Editor ed(program);
    const QString file = program.writeTest(
        "mode1.tst",
        {"Info=(3\x05"
         "2\x05"
         "1)",
         "Title=(Мода\x05Автор\x05Окно)", "Buttons=(Да\x05Нет)", "Questions:", "Один", "Два", "Три",
         "Variants: none", "Numbers:", "1,0,0,1,1,1,", "Message:", "=0-10", "Хорошо", "$"});
    ed.doc.setVariant(1, 1, cp("старый вариант"));
    QVERIFY(openForEditing(program, file));

    QCOMPARE(program.visibleWindows(), QStringList{"Redactor"});
    QCOMPARE(fileNameText(program.session().currentFileName()), file);
    QVERIFY(ed.RB1->isChecked());
    QCOMPARE(ed.doc.variantMode, 1);
    QCOMPARE(ed.Edvar->currentText(), QString("2"));
    QCOMPARE(ed.Edzag->text(), QString("Мода"));
    QVERIFY(!ed.edButt(3)->isEnabled());
    QCOMPARE(ed.Vopros->text(), QString("Один"));
    QVERIFY(ed.variantEdit(1)->text().isEmpty());  // mode 1 empties the variants
    QCOMPARE(ed.kball(1)->text(), QString("1"));
    QCOMPARE(ed.nv->text(), QString("1"));
    QVERIFY(!ed.predvop->isEnabled());
    QCOMPARE(ed.doc.questionCount, 3);
    QCOMPARE(ed.Memo2->toPlainText(), QString("=0-10\nХорошо\n"));
    // Texts set by the program run no handler: the test window shows what it showed.
    QCOMPARE(ctl::label(w.testWindow(), "Zagolov")->text(), QString("Это текст заголовка"));
    QCOMPARE(w.testWindow()->windowTitle(), QString("Тест"));
    QVERIFY(program.platform.errors.isEmpty());
}

void EditorNavigationTest::newTestAfterAnEditedOneStartsFromTheDefaults() {
    Program program;
    auto& w = *program.windows;
    Editor ed(program);
    QVERIFY(openForEditing(program, program.writeExample()));
    QTest::mouseClick(ed.RB1, Qt::LeftButton);
    QCOMPARE(ed.doc.variantMode, 1);
    retype(ed.Edzag, "Старое");
    retype(ed.edButt(1), "Ага");
    retype(ed.Edit1, "Петров");
    retype(ed.Edit2, "Окно");
    typeInto(ed.Memo2, "лишнее");  // each field left sets its part of the test window
    QTest::mouseClick(ed.Button12, Qt::LeftButton);
    QCOMPARE(program.visibleWindows(), QStringList{"Manag"});

    QVERIFY(openNewTest(program));
    QCOMPARE(program.visibleWindows(), (QStringList{"Redactor", "UserForm"}));
    QVERIFY(ed.RB3->isChecked());
    QCOMPARE(ed.doc.variantMode, 3);
    QCOMPARE(ed.Edit1->text(), QString("Неизвестен"));
    QCOMPARE(ed.Edit2->text(), QString("Тест"));
    QCOMPARE(ed.Edzag->text(), QString("Это текст заголовка"));
    QCOMPARE(ed.Edvar->currentText(), QString("2"));
    const QStringList captions{"Да", "Нет", "", "", "", ""};
    for (int k = 1; k <= 6; ++k) {
        QCOMPARE(ed.edButt(k)->text(), captions[k - 1]);
        QCOMPARE(ed.edButt(k)->isEnabled(), k <= 2);
        QVERIFY(ed.variantEdit(k)->text().isEmpty());
        QVERIFY(ed.kball(k)->text().isEmpty());
        QVERIFY(!ctl::button(w.testWindow(), k)->isEnabled());
        QCOMPARE(ctl::button(w.testWindow(), k)->isVisibleTo(w.testWindow()), k <= 2);
    }
    QVERIFY(ed.Vopros->text().isEmpty());
    QVERIFY(ed.Memo2->toPlainText().isEmpty());
    QCOMPARE(ed.nv->text(), QString("1"));
    QVERIFY(!ed.predvop->isEnabled());
    QVERIFY(ed.nextvop->isEnabled());
    QCOMPARE(ed.doc.questionCount, 1);
    QCOMPARE(ed.doc.currentQuestion, 1);
    QCOMPARE(ed.doc.activeButtonCount, 2);
    QCOMPARE(fileNameText(program.session().currentFileName()), QString("test"));
    // The preview shows the new test: nothing of the one edited before.
    QVERIFY(ctl::memo(w.testWindow(), "Memo1")->toPlainText().isEmpty());
    QCOMPARE(ctl::label(w.testWindow(), "Zagolov")->text(), QString("Это текст заголовка"));
    QCOMPARE(ctl::button(w.testWindow(), 1)->text(), QString("Да"));
    QCOMPARE(ctl::button(w.testWindow(), 2)->text(), QString("Нет"));
    QCOMPARE(w.testWindow()->windowTitle(), QString("Тест"));
    QCOMPARE(ctl::label(w.testWindow(), "Label1")->text(), QString("Автор теста: Неизвестен"));
}

void EditorNavigationTest::emptyQuestionBlocksNext() {
    Program program;
    Editor ed(program);
    QVERIFY(openNewTest(program));
    typeInto(ed.variantEdit(1), "вариант");
    QTest::mouseClick(ed.nextvop, Qt::LeftButton);
    QCOMPARE(program.platform.informations, QStringList{"Не определен текст вопроса."});
    QCOMPARE(ed.doc.questionCount, 1);
    QCOMPARE(ed.doc.currentQuestion, 1);
    QCOMPARE(ed.nv->text(), QString("1"));
    QCOMPARE(ed.variantEdit(1)->text(), QString("вариант"));
    QVERIFY(!ed.predvop->isEnabled());
}

void EditorNavigationTest::appendingAndGoingBack() {
    Program program;
    auto& w = *program.windows;
    Editor ed(program);
    QVERIFY(openNewTest(program));
    ed.doc.setText(2, cp("из прошлого теста"));  // a slot that appending must not read

    typeInto(ed.Vopros, "Первый?");
    typeInto(ed.variantEdit(1), "первый вариант");
    typeInto(ed.kball(1), "1");
    typeInto(ed.kball(2), "-3");
    QTest::mouseClick(ed.nextvop, Qt::LeftButton);
    QCOMPARE(ed.nv->text(), QString("2"));
    QCOMPARE(ed.doc.questionCount, 2);
    QCOMPARE(ed.doc.currentQuestion, 2);
    QVERIFY(ed.predvop->isEnabled());
    QVERIFY(ed.Vopros->text().isEmpty());
    QVERIFY(ed.variantEdit(1)->text().isEmpty());
    QVERIFY(ed.kball(2)->text().isEmpty());
    QCOMPARE(ed.doc.text(1), cp("Первый?"));
    QCOMPARE(ed.doc.variant(1, 1), cp("первый вариант"));
    QCOMPARE(ed.doc.points(1, 2), cp("-3"));
    QCOMPARE(ctl::memo(w.testWindow(), "Memo1")->toPlainText(), QString());
    QCOMPARE(ctl::label(w.testWindow(), "TextVar", 1)->text(), QString());

    typeInto(ed.Vopros, "Второй?");
    QTest::mouseClick(ed.predvop, Qt::LeftButton);
    QCOMPARE(ed.nv->text(), QString("1"));
    QCOMPARE(ed.doc.questionCount, 2);
    QVERIFY(!ed.predvop->isEnabled());
    QVERIFY(ed.nextvop->isEnabled());
    QCOMPARE(ed.Vopros->text(), QString("Первый?"));
    QCOMPARE(ed.variantEdit(1)->text(), QString("первый вариант"));
    QCOMPARE(ed.kball(1)->text(), QString("1"));
    QCOMPARE(ed.doc.text(2), cp("Второй?"));
    QCOMPARE(ctl::memo(w.testWindow(), "Memo1")->toPlainText(), QString("Первый?"));
    QCOMPARE(ctl::label(w.testWindow(), "TextVar", 1)->text(), QString("первый вариант"));

    // Forward again shows question 2 instead of appending.
    QTest::mouseClick(ed.nextvop, Qt::LeftButton);
    QCOMPARE(ed.doc.questionCount, 2);
    QCOMPARE(ed.Vopros->text(), QString("Второй?"));

    // Going back from an emptied question stores it without complaint.
    retype(ed.Vopros, "");
    QTest::mouseClick(ed.predvop, Qt::LeftButton);
    QVERIFY(program.platform.informations.isEmpty());
    QCOMPARE(ed.doc.questionCount, 2);
    QCOMPARE(ed.doc.text(2), std::string());
}

void EditorNavigationTest::stopsAtQuestionFiveHundred() {
    Program program;
    Editor ed(program);
    QVERIFY(openNewTest(program));
    for (int q = 1; q < 500; ++q) {
        ed.Vopros->setText(QString::number(q));
        QTest::mouseClick(ed.nextvop, Qt::LeftButton);
    }
    QCOMPARE(ed.nv->text(), QString("500"));
    QCOMPARE(ed.doc.questionCount, 500);
    QVERIFY(!ed.nextvop->isEnabled());
    QCOMPARE(ed.doc.text(1), std::string("1"));
    QCOMPARE(ed.doc.text(499), std::string("499"));

    QTest::mouseClick(ed.predvop, Qt::LeftButton);
    QCOMPARE(ed.nv->text(), QString("499"));
    QVERIFY(ed.nextvop->isEnabled());
    QCOMPARE(ed.Vopros->text(), QString("499"));
    QTest::mouseClick(ed.nextvop, Qt::LeftButton);
    QCOMPARE(ed.nv->text(), QString("500"));
    QCOMPARE(ed.doc.questionCount, 500);
    QVERIFY(!ed.nextvop->isEnabled());
    QVERIFY(program.platform.informations.isEmpty());
}

void EditorNavigationTest::closeDiscardsUnsavedChanges() {
    Program program;
    Editor ed(program);
    const QString file = program.writeExample();
    const QByteArray original = Program::bytes(file);
    QVERIFY(openForEditing(program, file));
    retype(ed.Vopros, "Изменённый вопрос");
    QTest::mouseClick(ed.nextvop, Qt::LeftButton);
    typeInto(ed.Memo2, "ещё строка");
    QTest::mouseClick(ed.Button12, Qt::LeftButton);

    QCOMPARE(program.visibleWindows(), QStringList{"Manag"});
    QVERIFY(program.platform.saveTestProposals.isEmpty());
    QCOMPARE(Program::bytes(file), original);
    QVERIFY(ed.Memo2->toPlainText().isEmpty());
    for (int q = 1; q <= 2; ++q) {
        QCOMPARE(ed.doc.text(q), std::string());
        QCOMPARE(ed.doc.variant(q, 1), std::string());
        QCOMPARE(ed.doc.points(q, 1), std::string());
    }
    QCOMPARE(ed.Edzag->text(), QString("Проверка знаний"));  // the header stays until the next test

    QVERIFY(openForEditing(program, file));
    QCOMPARE(ed.Vopros->text(), QString("Земля круглая?"));
}

void EditorNavigationTest::eachOpeningStartsAtTheFirstField() {
    Program program;
    auto& w = *program.windows;
    Editor ed(program);
    const QString file = program.writeExample();
    for (const bool existing : {false, true, false}) {
        QVERIFY(existing ? openForEditing(program, file) : openNewTest(program));
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(ed.Edzag));
        // Left with the focus on "Закрыть": Enter would close it again at once.
        ed.Button12->setFocus(Qt::TabFocusReason);
        QTest::keyClick(ed.Button12, Qt::Key_Return);
        QVERIFY(!ed.window->isVisible());
        w.testWindow()->close();
    }
}

QTEST_MAIN(EditorNavigationTest)
#include "editor_navigation_test.moc"
