// What ordinary use meets in the windows: characters a field's line cannot
// hold, work left unsaved, answers given by accident, and the desktop's
// keys and recent files.
#include <qtestspontaneevent.h>
#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <QToolTip>

#include "ab.h"
#include "code_page_edits.h"
#include "editor_support.h"
#include "recent_tests.h"
#include "userform.h"

using namespace editor;

namespace {

void startRun(Program& program, const QString& file) {
    program.platform.openAnswers.push_back(file);
    QTest::mouseClick(ctl::button(program.windows->manager(), "Button3"), Qt::LeftButton);
}

// A test of three questions, each answered by either of two buttons for 1 point.
QString threeQuestions(Program& program) {
    return program.writeTest(
        "three.tst", {"Info=(3\x05"
                      "2\x05"
                      "1)",
                      "Title=(T\x05"
                      "A\x05"
                      "C)",
                      "Buttons=(Да\x05Нет)", "Questions:", "Q1", "Q2", "Q3", "Variants: none",
                      "Numbers:", "1,1,1,1,1,1,", "Message:", "=0-3", "R", "$"});
}

}  // namespace

class EverydayUseTest : public QObject {
    Q_OBJECT
  private slots:
    void fieldsRefuseWhatTheirLineCannotHold_data();
    void fieldsRefuseWhatTheirLineCannotHold();
    void unsavedWorkIsAskedAbout_data();
    void unsavedWorkIsAskedAbout();
    void eachPressAnswersOnce_data();
    void eachPressAnswersOnce();
    void desktopKeys();
    void recentTests();
};

void EverydayUseTest::fieldsRefuseWhatTheirLineCannotHold_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("kept");
    QTest::addColumn<bool>("hinted");
    QTest::newRow("title") << "Edzag"
                           << "Тест (5 класс)"
                           << "Тест (5 класс" << true;
    QTest::newRow("author") << "Edit1"
                            << "Иванов)"
                            << "Иванов" << true;
    QTest::newRow("window caption") << "Edit2"
                                    << "a)b"
                                    << "ab" << true;
    QTest::newRow("caption") << "EdButt1"
                             << "Да)"
                             << "Да" << true;
    // Kept as typed, never read as 15: marked, and a save refuses it.
    QTest::newRow("points with a comma") << "Kball1"
                                         << "1,5"
                                         << "1,5" << true;
    QTest::newRow("points with a point") << "Kball2"
                                         << "2.5"
                                         << "2.5" << true;
    QTest::newRow("whole points") << "Kball1"
                                  << "-15"
                                  << "-15" << false;
    QTest::newRow("question keeps both") << "Vopros"
                                         << "(1,5)"
                                         << "(1,5)" << false;
}

void EverydayUseTest::fieldsRefuseWhatTheirLineCannotHold() {
    QFETCH(QString, field);
    QFETCH(QString, typed);
    QFETCH(QString, kept);
    QFETCH(bool, hinted);
    Program program;
    QVERIFY(openNewTest(program));
    QLineEdit* edit = ctl::edit(program.windows->editor(), field);
    retype(edit, QString());
    QToolTip::hideText();
    typeKeys(edit, typed);
    QCOMPARE(edit->text(), kept);
    // A hint says why, beside the field; no box interrupts the typing.
    QCOMPARE(QToolTip::isVisible(), hinted);
    QVERIFY(program.platform.informations.isEmpty());
    // Points kept with a separator stay marked until mended.
    if (auto* points = qobject_cast<TypingLimitEdit*>(edit); field.startsWith("Kball"))
        QCOMPARE(points->isMarked(), hinted);

    // Pasted text loses the same characters.
    retype(edit, QString());
    QApplication::clipboard()->setText(typed);
    QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(edit->text(), kept);
}

void EverydayUseTest::unsavedWorkIsAskedAbout_data() {
    QTest::addColumn<QString>("leaving");
    QTest::addColumn<int>("answer");  // Platform::Answer, or -1 for an unchanged test
    QTest::addColumn<QStringList>("visible");
    QTest::addColumn<bool>("saved");
    using A = Platform::Answer;
    const QStringList editing{"Redactor"};
    const QStringList manager{"Manag"};
    QTest::newRow("Закрыть, unchanged") << "close" << -1 << manager << false;
    QTest::newRow("Закрыть, Отмена") << "close" << int(A::Cancel) << editing << false;
    QTest::newRow("Закрыть, Нет") << "close" << int(A::No) << manager << false;
    QTest::newRow("Закрыть, Да") << "close" << int(A::Yes) << manager << true;
    // The close box a window manager draws acts as "Закрыть".
    QTest::newRow("close box, unchanged") << "close box" << -1 << manager << false;
    QTest::newRow("close box, Отмена") << "close box" << int(A::Cancel) << editing << false;
    QTest::newRow("close box, Нет") << "close box" << int(A::No) << manager << false;
    QTest::newRow("Новый тест, Отмена")
        << "new" << int(A::Cancel) << QStringList{"Manag", "Redactor"} << false;
    QTest::newRow("Новый тест, Да")
        << "new" << int(A::Yes) << QStringList{"Redactor", "UserForm"} << true;
    QTest::newRow("Выход, Отмена") << "quit" << int(A::Cancel) << editing << false;
    QTest::newRow("Выход, Нет") << "quit" << int(A::No) << editing << false;
}

void EverydayUseTest::unsavedWorkIsAskedAbout() {
    QFETCH(QString, leaving);
    QFETCH(int, answer);
    QFETCH(QStringList, visible);
    QFETCH(bool, saved);
    Program program;
    auto& w = *program.windows;
    QVERIFY(openForEditing(program, program.writeExample()));
    const QString file = program.path("example.tst");
    const QByteArray before = Program::bytes(file);
    if (answer >= 0) {
        typeInto(ctl::edit(w.editor(), "Edzag"), "!");
        program.platform.yesNoCancelAnswers.push_back(static_cast<Platform::Answer>(answer));
        program.platform.saveTestAnswers.push_back(file);
    }
    if (leaving == "close") {
        QTest::mouseClick(ctl::button(w.editor(), "Button12"), Qt::LeftButton);
    } else if (leaving == "close box") {
        // As the window system asks: a spontaneous close event.
        QCloseEvent close;
        QSpontaneKeyEvent::setSpontaneous(&close);
        QApplication::instance()->notify(w.editor(), &close);
    } else {
        // The manager is reached with the editor open once the preview is closed.
        w.manager()->show();
        if (leaving == "new")
            QTest::mouseClick(ctl::button(w.manager(), "Button1"), Qt::LeftButton);
        else
            w.manager()->close();
        if (leaving == "quit") w.manager()->hide();  // the program would have ended
    }
    QCOMPARE(program.platform.questions,
             answer < 0 ? QStringList{} : QStringList{"Сохранить изменения в тесте?"});
    QCOMPARE(program.visibleWindows(), visible);
    QCOMPARE(Program::bytes(file) != before, saved);
    QCOMPARE(program.quitRequests,
             leaving == "quit" && answer != int(Platform::Answer::Cancel) ? 1 : 0);
}

void EverydayUseTest::eachPressAnswersOnce_data() {
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("answered");
    QTest::newRow("a double click") << "double" << 1;
    QTest::newRow("two single clicks") << "clicks" << 2;
    QTest::newRow("a digit held down") << "held" << 1;
    QTest::newRow("Enter held down") << "enter" << 1;
    QTest::newRow("two presses by the accessibility interface") << "accessible" << 2;
}

void EverydayUseTest::eachPressAnswersOnce() {
    QFETCH(QString, how);
    QFETCH(int, answered);
    Program program;
    auto* test = [&] {
        startRun(program, threeQuestions(program));
        return program.windows->testWindow();
    }();
    QVERIFY(QTest::qWaitForWindowActive(test));
    QPushButton* yes = ctl::button(test, 1);
    if (how == "double") {
        // Through the window, as the system delivers a double click.
        QTest::mouseDClick(test->windowHandle(), Qt::LeftButton, {},
                           yes->mapTo(test, yes->rect().center()));
    } else if (how == "clicks") {
        QTest::mouseClick(yes, Qt::LeftButton);
        QTest::mouseClick(yes, Qt::LeftButton);
    } else if (how == "held" || how == "enter") {
        const Qt::Key key = how == "held" ? Qt::Key_1 : Qt::Key_Return;
        QWidget* target = how == "held" ? static_cast<QWidget*>(test) : yes;
        if (how == "enter") yes->setFocus();
        QTest::sendKeyEvent(QTest::Press, target, key, QString(), Qt::NoModifier);
        for (int i = 0; i < 3; ++i)
            QTest::simulateEvent(target, true, key, Qt::NoModifier, QString(), true);
        QTest::sendKeyEvent(QTest::Release, target, key, QString(), Qt::NoModifier);
    } else {
        // Each press as soon as its question is up.
        for (int i = 1; i <= 2; ++i) {
            QAccessibleInterface* button = QAccessible::queryAccessibleInterface(yes);
            button->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
            QTRY_COMPARE(program.session().document().currentQuestion, 1 + i);
        }
    }
    QTRY_COMPARE(program.session().document().currentQuestion, 1 + answered);
    QTest::qWait(150);  // a click still animating would land now
    QCOMPARE(program.session().document().currentQuestion, 1 + answered);
    QCOMPARE(program.session().running().state().score, answered);
}

void EverydayUseTest::desktopKeys() {
    Program program;
    auto& w = *program.windows;
    // Alt with the key of "Ф" in a Latin layout opens "Файл"; of "П", "Помощь".
    QTest::keyClick(w.manager(), Qt::Key_A, Qt::AltModifier);
    QCOMPARE(QApplication::activePopupWidget(), ctl::find(w.manager(), "N1"));
    QApplication::activePopupWidget()->close();
    QTest::keyClick(w.manager(), Qt::Key_G, Qt::AltModifier);
    QCOMPARE(QApplication::activePopupWidget(), ctl::find(w.manager(), "N2"));
    QApplication::activePopupWidget()->close();

    // F1 in any window asks for the help; Ctrl+S saves in the editor.
    QVERIFY(openNewTest(program));
    QTest::keyClick(w.editor(), Qt::Key_F1);
    QCOMPARE(program.platform.helpRequests.size(), 1);
    typeInto(ctl::edit(w.editor(), "Vopros"), "Q");
    program.platform.saveTestAnswers.push_back(program.path("k"));
    QTest::keyClick(ctl::edit(w.editor(), "Vopros"), Qt::Key_S, Qt::ControlModifier);
    QVERIFY(QFile::exists(program.path("k.tst")));

    // Esc leaves the About window.
    QTest::mouseClick(ctl::button(w.editor(), "Button12"), Qt::LeftButton);
    ctl::action(w.manager(), "N8")->trigger();
    QVERIFY(QTest::qWaitForWindowActive(w.about()));
    QTest::keyClick(w.about(), Qt::Key_Escape);
    QVERIFY(!w.about()->isVisible());
}

void EverydayUseTest::recentTests() {
    Program program;
    auto& w = *program.windows;
    const QString example = program.writeExample();
    startRun(program, example);
    w.testWindow()->close();
    QVERIFY(openForEditing(program, program.writeExample("e.tst")));
    QTest::mouseClick(ctl::button(w.editor(), "Button12"), Qt::LeftButton);

    // Kept between starts, newest first, each opened as it was last.
    const RecentTests kept;
    QCOMPARE(kept.entries().size(), 2);
    QCOMPARE(kept.entries()[0].path, program.path("e.tst"));
    QCOMPARE(kept.entries()[0].use, RecentTests::Use::Edit);
    QCOMPARE(kept.lastFile(), program.path("e.tst"));
    auto* menu = ctl::as<QMenu>(w.manager(), "RecentTests");
    emit menu->aboutToShow();
    QCOMPARE(menu->actions().size(), 2);
    menu->actions()[1]->trigger();
    QVERIFY(w.testWindow()->isVisible());
    w.testWindow()->close();

    // A test gone is told and leaves the list.
    QFile::remove(example);
    emit menu->aboutToShow();
    menu->actions()[0]->trigger();
    QCOMPARE(program.platform.informations.size(), 1);
    QVERIFY(program.platform.informations[0].contains(example));
    QCOMPARE(RecentTests().entries().size(), 1);
}

QTEST_MAIN(EverydayUseTest)
#include "everyday_use_test.moc"
