// The button-count rule and the live preview of a new test in the test
// window, driven with real keys, clicks and focus changes.
#include <QAbstractItemView>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include "editor_support.h"
#include "gui_support.h"
#include "manag.h"
#include "redactor.h"
#include "userform.h"

using namespace editor;

namespace {

using Editor = editor::Controls;

// The test window's controls, found by their names.
struct Preview {
    explicit Preview(Program& program) : window(program.windows->testWindow()) {}

    QPushButton* button(int k) const { return ctl::button(window, k); }
    QLabel* textVar(int k) const { return ctl::label(window, "TextVar", k); }
    QString windowTitle() const { return window->windowTitle(); }

    TUserForm* window;
    QLabel* Zagolov = ctl::label(window, "Zagolov");
    QLabel* Label1 = ctl::label(window, "Label1");
    QPushButton* Button1 = ctl::button(window, 1);
    QPushButton* Button2 = ctl::button(window, 2);
    QLabel* TextVar1 = ctl::label(window, "TextVar", 1);
    QLabel* TextVar2 = ctl::label(window, "TextVar", 2);
    QLabel* TextVar3 = ctl::label(window, "TextVar", 3);
    QPlainTextEdit* Memo1 = ctl::memo(window, "Memo1");
};

// Chooses an item of the button-count box from its drop-down list.
void chooseCount(QComboBox* box, const QString& item) {
    box->showPopup();
    QAbstractItemView* list = box->view();
    QVERIFY(QTest::qWaitForWindowExposed(list->window()));
    const QModelIndex index = list->model()->index(box->findText(item), 0);
    QVERIFY(index.isValid());
    list->scrollTo(index);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(index).center());
    QVERIFY(!list->window()->isVisible());
}

// The shape that the button-count rule gives the editor and the test window.
void checkShape(const Editor& ed, const Preview& preview, int count) {
    QCOMPARE(ed.doc.activeButtonCount, count);
    for (int k = 1; k <= 6; ++k) {
        const bool used = k <= count;
        QCOMPARE(preview.button(k)->isVisibleTo(preview.window), used);
        QCOMPARE(preview.textVar(k)->isVisibleTo(preview.window), used);
        QCOMPARE(ed.edButt(k)->isEnabled(), used);
        QCOMPARE(ed.kball(k)->isEnabled(), used);
        QCOMPARE(ed.variantEdit(k)->isEnabled(), used);
        QVERIFY(!preview.button(k)->isEnabled());  // the preview cannot be answered
    }
}

}  // namespace

class EditorPreviewTest : public QObject {
    Q_OBJECT
  private slots:
    void typedButtonCount_data();
    void typedButtonCount();
    void choosingFewerButtonsKeepsTheirTexts();
    void previewFollowsFieldsWhenTheyAreLeft();
    void variantsReachThePreviewOnlyThroughV1OrMoving();
};

void EditorPreviewTest::typedButtonCount_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");  // the text of Edvar afterwards
    QTest::addColumn<int>("count");
    QTest::addColumn<QStringList>("errors");
    QTest::newRow("one button") << "1"
                                << "1" << 1 << QStringList{};
    QTest::newRow("six buttons") << "6"
                                 << "6" << 6 << QStringList{};
    QTest::newRow("five buttons") << "5"
                                  << "5" << 5 << QStringList{};
    QTest::newRow("seven becomes two") << "7"
                                       << "2" << 2 << QStringList{};
    QTest::newRow("zero becomes two") << "0"
                                      << "2" << 2 << QStringList{};
    QTest::newRow("emptied becomes two") << ""
                                         << "2" << 2 << QStringList{};
    QTest::newRow("letters keep three")
        << "ab"
        << "ab" << 3
        << QStringList{"'a' is not a valid integer value.", "'ab' is not a valid integer value."};
}

void EditorPreviewTest::typedButtonCount() {
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    QFETCH(int, count);
    QFETCH(QStringList, errors);
    Program program;
    Editor ed(program);
    QVERIFY(openNewTest(program));
    retype(ed.Edvar->lineEdit(), "3");
    checkShape(ed, Preview(program), 3);

    retype(ed.Edvar->lineEdit(), typed);
    QCOMPARE(ed.Edvar->currentText(), shown);
    checkShape(ed, Preview(program), count);
    QCOMPARE(program.platform.errors, errors);
}

void EditorPreviewTest::choosingFewerButtonsKeepsTheirTexts() {
    Program program;
    Editor ed(program);
    QVERIFY(openNewTest(program));
    chooseCount(ed.Edvar, "4");
    QCOMPARE(ed.Edvar->currentText(), QString("4"));
    checkShape(ed, Preview(program), 4);
    typeInto(ed.Vopros, "Вопрос");
    typeInto(ed.edButt(4), "Четвёртая");
    typeInto(ed.variantEdit(3), "третий");
    typeInto(ed.kball(4), "7");

    chooseCount(ed.Edvar, "2");
    QCOMPARE(ed.Edvar->currentText(), QString("2"));
    checkShape(ed, Preview(program), 2);
    QCOMPARE(ed.edButt(4)->text(), QString("Четвёртая"));
    QCOMPARE(ed.variantEdit(3)->text(), QString("третий"));
    QCOMPARE(ed.kball(4)->text(), QString("7"));
    // Disabled fields are still stored with their question.
    QTest::mouseClick(ed.nextvop, Qt::LeftButton);
    QCOMPARE(ed.doc.variant(1, 3), cp("третий"));
    QCOMPARE(ed.doc.points(1, 4), std::string("7"));
    QVERIFY(program.platform.errors.isEmpty());
}

void EditorPreviewTest::previewFollowsFieldsWhenTheyAreLeft() {
    Program program;
    Editor ed(program);
    Preview preview(program);
    QVERIFY(openNewTest(program));

    retype(ed.Edzag, "Физика");
    QCOMPARE(preview.Zagolov->text(), QString("Это текст заголовка"));  // still in the field
    tabAway(ed.Edzag);
    QCOMPARE(preview.Zagolov->text(), QString("Физика"));

    retype(ed.Edit1, "");
    tabAway(ed.Edit1);
    QCOMPARE(preview.Label1->text(), QString("Автор теста: "));
    retype(ed.Edit1, "Петров");
    tabAway(ed.Edit1);
    QCOMPARE(preview.Label1->text(), QString("Автор теста: Петров"));

    retype(ed.Edit2, "Зачёт");
    tabAway(ed.Edit2);
    QCOMPARE(preview.windowTitle(), QString("Зачёт"));

    retype(ed.edButt(2), "Никак нет");
    QTest::mouseClick(ed.Vopros, Qt::LeftButton);
    QCOMPARE(preview.Button2->text(), QString("Никак нет"));
    QCOMPARE(preview.Button1->text(), QString("Да"));

    typeKeys(ed.Vopros, "Сколько?");
    tabAway(ed.Vopros);
    QCOMPARE(preview.Memo1->toPlainText(), QString("Сколько?"));
    retype(ed.Vopros, "");
    tabAway(ed.Vopros);
    QCOMPARE(preview.Memo1->toPlainText(),
             QString("Сколько?"));  // an empty question changes nothing
    QVERIFY(program.platform.errors.isEmpty());
}

void EditorPreviewTest::variantsReachThePreviewOnlyThroughV1OrMoving() {
    Program program;
    Editor ed(program);
    Preview preview(program);
    QVERIFY(openNewTest(program));
    retype(ed.Edvar->lineEdit(), "3");
    const QString before = preview.TextVar3->text();

    typeInto(ed.variantEdit(3), "третий");
    tabAway(ed.variantEdit(3));
    typeInto(ed.variantEdit(2), "второй");
    QTest::mouseClick(ed.kball(1), Qt::LeftButton);
    QCOMPARE(preview.TextVar3->text(), before);
    QCOMPARE(preview.TextVar2->text(), before);

    typeInto(ed.variantEdit(1), "первый");
    tabAway(ed.variantEdit(1));
    QCOMPARE(preview.TextVar1->text(), QString("первый"));
    QCOMPARE(preview.TextVar2->text(), QString("второй"));
    QCOMPARE(preview.TextVar3->text(), QString("третий"));

    // Moving to another question copies the variants it shows.
    typeInto(ed.Vopros, "Первый вопрос");
    QTest::mouseClick(ed.nextvop, Qt::LeftButton);
    QCOMPARE(preview.TextVar3->text(), QString());
    typeInto(ed.variantEdit(3), "ещё");
    QTest::mouseClick(ed.predvop, Qt::LeftButton);
    QCOMPARE(preview.TextVar3->text(), QString("третий"));
    QCOMPARE(preview.Memo1->toPlainText(), QString("Первый вопрос"));
}

QTEST_MAIN(EditorPreviewTest)
#include "editor_preview_test.moc"
