// A person with only a keyboard: the menus by their access letters, the tab
// order, Enter and Space on the focused button, a whole test taken and its
// result saved.
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include "ab.h"
#include "gui_support.h"
#include "manag.h"
#include "redactor.h"
#include "resform.h"
#include "userform.h"

namespace {

// Presses a key on whatever widget has the keyboard focus, as a person does.
void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QWidget* target = QApplication::focusWidget();
    if (!target) target = QApplication::activeWindow();
    QVERIFY2(target, "nothing has the keyboard");
    QTest::keyClick(target, key, modifiers);
}

QString focused() {
    const QWidget* w = QApplication::focusWidget();
    return w ? w->objectName() : QString();
}

// The file menu opened with Alt and its access letter.
QMenu* openFileMenu(TManag* manager) {
    QTest::sendKeyEvent(QTest::Click, manager, static_cast<Qt::Key>(0x0424), QString("ф"),
                        Qt::AltModifier);
    return qobject_cast<QMenu*>(QApplication::activePopupWidget());
}

}  // namespace

class KeyboardTest : public QObject {
    Q_OBJECT
  private slots:
    void focusStartsOnTheFirstButtonOfEachWindow();
    void wholeTestTakenAndSavedWithTheKeyboard();
    void menusOpenByTheirAccessLetters();
    void aboutWindowClosesOnEnter();
    void digitKeysPressTheAnswerButtons();
    void heldDigitAnswersOnce_data();
    void heldDigitAnswersOnce();
};

void KeyboardTest::focusStartsOnTheFirstButtonOfEachWindow() {
    Program program;
    QCOMPARE(focused(), QString("Button1"));  // "Новый тест"

    program.platform.openAnswers.push_back(program.writeExample());
    press(Qt::Key_Tab);
    press(Qt::Key_Tab);
    QCOMPARE(focused(), QString("Button3"));  // "Запустить"
    press(Qt::Key_Space);
    QVERIFY(program.windows->testWindow()->isVisible());
    // The question, not an answer, holds the focus: Enter answers nothing unread.
    QCOMPARE(QApplication::focusWidget(), ctl::memo(program.windows->testWindow(), "Memo1"));
}

void KeyboardTest::wholeTestTakenAndSavedWithTheKeyboard() {
    Program program;
    auto& w = *program.windows;
    program.platform.openAnswers.push_back(program.writeExample());
    press(Qt::Key_Tab);
    press(Qt::Key_Tab);
    press(Qt::Key_Return);  // "Запустить"
    QVERIFY(w.testWindow()->isVisible());

    press(Qt::Key_Return);
    press(Qt::Key_Space);
    QCOMPARE(program.session().document().currentQuestion, 1);  // nothing answered unread
    press(Qt::Key_Tab);
    press(Qt::Key_Tab);  // "Нет": 0 points on question 1
    QCOMPARE(focused(), QString("Button2"));
    press(Qt::Key_Space);
    QCOMPARE(ctl::memo(w.testWindow(), "Memo1")->toPlainText(), QString("Луна больше Земли?"));
    QCOMPARE(focused(), QString("Memo1"));           // the pressed button gave the focus up
    for (int i = 0; i < 3; ++i) press(Qt::Key_Tab);  // "Не знаю": 1 point on question 2
    QCOMPARE(focused(), QString("Button3"));
    press(Qt::Key_Return);

    QVERIFY(w.resultWindow()->isVisible());
    QCOMPARE(ctl::memo(w.resultWindow(), "Memo1")->toPlainText(),
             QString("\nСтоит повторить материал."));
    QCOMPARE(QApplication::focusWidget(), ctl::button(w.resultWindow(), "Button1"));  // "Сохранить"
    program.platform.saveResultAnswers.push_back(program.path("итог"));
    press(Qt::Key_Return);
    QCOMPARE(Program::bytes(program.path("итог.txt")), fileBytes({"Стоит повторить материал."}));

    press(Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), ctl::button(w.resultWindow(), "Button3"));  // "Закрыть"
    press(Qt::Key_Space);
    QCOMPARE(program.visibleWindows(), QStringList{"Manag"});
    QVERIFY(program.platform.errors.isEmpty());
}

void KeyboardTest::menusOpenByTheirAccessLetters() {
    Program program;
    auto& w = *program.windows;
    QMenu* file = openFileMenu(w.manager());
    QVERIFY2(file, "Alt+Ф opens no menu");
    QCOMPARE(file, ctl::as<QMenu>(w.manager(), "N1"));
    QTest::keyClick(file, Qt::Key_Down);  // "Редактировать"
    program.platform.openAnswers.push_back(program.writeExample());
    QTest::keyClick(file, Qt::Key_Return);
    QVERIFY(w.editor()->isVisible());
    QCOMPARE(ctl::edit(w.editor(), "Edzag")->text(), QString("Проверка знаний"));

    QTest::mouseClick(ctl::button(w.editor(), "Button12"), Qt::LeftButton);  // back to the manager
    QTest::sendKeyEvent(QTest::Click, w.manager(), static_cast<Qt::Key>(0x041F), QString("п"),
                        Qt::AltModifier);
    QMenu* help = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    QVERIFY2(help, "Alt+П opens no menu");
    QCOMPARE(help, ctl::as<QMenu>(w.manager(), "N2"));
    QTest::keyClick(help, Qt::Key_Return);  // "Инструктаж"
    QCOMPARE(program.platform.helpRequests, QStringList{"testhelp.hlp"});
}

void KeyboardTest::aboutWindowClosesOnEnter() {
    Program program;
    auto& w = *program.windows;
    ctl::action(w.manager(), "N8")->trigger();
    QVERIFY(w.about()->isVisible());
    QCOMPARE(QApplication::focusWidget(), ctl::button(w.about(), "OKButton"));
    press(Qt::Key_Return);
    QVERIFY(!w.about()->isVisible());
}

void KeyboardTest::digitKeysPressTheAnswerButtons() {
    Program program;
    auto& w = *program.windows;
    // The preview of a new test: its buttons are disabled, and a digit presses none.
    QTest::mouseClick(ctl::button(w.manager(), "Button1"), Qt::LeftButton);
    QTest::keyClick(w.testWindow(), Qt::Key_1);
    QCOMPARE(program.session().running().state().pressedButton, 0);
    QTest::mouseClick(ctl::button(w.editor(), "Button12"), Qt::LeftButton);

    // The example's three buttons: the digits of the main row and of the keypad press them;
    // 4 has no button shown; a letter is no answer.
    program.platform.openAnswers.push_back(program.writeExample());
    QTest::mouseClick(ctl::button(w.manager(), "Button3"), Qt::LeftButton);
    // The keys reach the focused question text first, as a person's do.
    QCOMPARE(focused(), QString("Memo1"));
    press(Qt::Key_4);
    press(Qt::Key_A);
    QCOMPARE(program.session().document().currentQuestion, 1);
    press(Qt::Key_3, Qt::KeypadModifier);  // 1 point
    QTRY_COMPARE(program.session().document().currentQuestion, 2);
    QCOMPARE(program.session().running().state().pressedButton, 3);
    press(Qt::Key_2);  // 2 points: 3, "Хороший результат."
    QTRY_COMPARE(program.visibleWindows(), QStringList{"ResForm"});
    QVERIFY(ctl::memo(w.resultWindow(), "Memo1")->toPlainText().contains("Хороший результат."));
}

// A key event as the window system delivers it: a press or a release of a
// digit, its time stamp, and whether the toolkit marked it as a repeat.
struct KeyStroke {
    bool press;
    int digit;
    quint64 at;
    bool marked;
};
Q_DECLARE_METATYPE(QList<KeyStroke>)

void KeyboardTest::heldDigitAnswersOnce_data() {
    QTest::addColumn<QList<KeyStroke>>("strokes");
    QTest::addColumn<int>("answered");
    QTest::newRow("the X server's repeat: a release, and a press with the same time stamp")
        << QList<KeyStroke>{{true, 2, 100, false},  {false, 2, 600, false}, {true, 2, 600, false},
                            {false, 2, 630, false}, {true, 2, 630, false},  {false, 2, 900, false}}
        << 1;
    QTest::newRow("repeats marked as such") << QList<KeyStroke>{{true, 2, 100, false},
                                                                {false, 2, 600, true},
                                                                {true, 2, 600, true},
                                                                {false, 2, 900, false}}
                                            << 1;
    QTest::newRow("presses with no release between")
        << QList<KeyStroke>{{true, 2, 100, false}, {true, 2, 600, false}, {true, 2, 630, false}}
        << 1;
    QTest::newRow("released and pressed again") << QList<KeyStroke>{{true, 2, 100, false},
                                                                    {false, 2, 150, false},
                                                                    {true, 2, 200, false},
                                                                    {false, 2, 250, false},
                                                                    {true, 2, 300, false}}
                                                << 3;
    QTest::newRow("another digit while one is held") << QList<KeyStroke>{{true, 2, 100, false},
                                                                         {true, 1, 300, false},
                                                                         {false, 1, 350, false},
                                                                         {false, 2, 350, false},
                                                                         {true, 2, 350, false}}
                                                     << 2;
}

void KeyboardTest::heldDigitAnswersOnce() {
    QFETCH(QList<KeyStroke>, strokes);
    QFETCH(int, answered);
    Program program;
    std::vector<std::string> test{
        "Info=(6\x05"
        "2\x05"
        "1)",
        "Title=(T\x05"
        "A\x05"
        "C)",
        "Buttons=(1\x05"
        "2)",
        "Questions:"};
    test.insert(test.end(), 6, "Q");
    test.insert(test.end(), {"Variants: none", "Numbers:", "0,1,0,1,0,1,0,1,0,1,0,1,",
                             "Message:", "=0-6", "$"});
    program.platform.openAnswers.push_back(program.writeTest("held.tst", test));
    QTest::mouseClick(ctl::button(program.windows->manager(), "Button3"), Qt::LeftButton);
    QCOMPARE(focused(), QString("Memo1"));
    for (const KeyStroke& k : strokes) {
        const auto key = static_cast<Qt::Key>(Qt::Key_0 + k.digit);
        QKeyEvent event(k.press ? QEvent::KeyPress : QEvent::KeyRelease, key, Qt::NoModifier,
                        QString::number(k.digit), k.marked);
        event.setTimestamp(k.at);
        QApplication::sendEvent(QApplication::focusWidget(), &event);
    }
    QCOMPARE(program.session().document().currentQuestion, 1 + answered);
}

QTEST_MAIN(KeyboardTest)
#include "keyboard_test.moc"
