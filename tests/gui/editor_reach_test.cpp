// What a keyboard, a small screen and a screen reader meet in the editor:
// where the focus goes when a navigation button disables itself, a window
// larger than the screen, and the names the controls are read by.
#include <QAccessible>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>

#include "editor_support.h"
#include "widgets.h"

using namespace editor;
using Editor = editor::Controls;

namespace {

// A test of `count` questions "q1", "q2", … put in through the session, as
// the author would have typed them; the editor then shows question `shown`.
void writeQuestions(Program& program, int count, int shown) {
    qv::Session& session = program.session();
    for (int q = 1; q < count; ++q) {
        session.editing().type(qv::EditorField::QuestionText, "q" + std::to_string(q));
        session.editing().nextQuestion();
    }
    session.editing().type(qv::EditorField::QuestionText, "q" + std::to_string(count));
    for (int q = count; q > shown; --q) session.editing().previousQuestion();
}

}  // namespace

class EditorReachTest : public QObject {
    Q_OBJECT
  private slots:
    void oneKeyTooManyAtEitherEnd_data();
    void oneKeyTooManyAtEitherEnd();
    void clientSizeOnAScreen_data();
    void clientSizeOnAScreen();
    void aWindowLargerThanTheScreenScrolls();
    void buttonCountReadsByItsLabel();
};

void EditorReachTest::oneKeyTooManyAtEitherEnd_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("questions");
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("reached");
    QTest::newRow("< Назад at question 1") << "predvop" << 3 << 2 << 1;
    QTest::newRow("Дальше > at question 500") << "nextvop" << 500 << 499 << 500;
}

void EditorReachTest::oneKeyTooManyAtEitherEnd() {
    QFETCH(QString, button);
    QFETCH(int, questions);
    QFETCH(int, from);
    QFETCH(int, reached);
    Program program;
    Editor ed(program);
    QVERIFY(openNewTest(program));
    writeQuestions(program, questions, from);
    QPushButton* pressed = ctl::button(ed.window, button);
    pressed->setFocus(Qt::TabFocusReason);
    QTest::keyClick(pressed, Qt::Key_Space);
    QCOMPARE(ed.nv->text(), QString::number(reached));
    QVERIFY(!pressed->isEnabled());

    // The button gave up the focus, but not to the other button and not to
    // a field with its text selected: one more key changes nothing there.
    QWidget* focused = QApplication::focusWidget();
    QVERIFY(focused != ed.predvop && focused != ed.nextvop);
    if (auto* field = qobject_cast<QLineEdit*>(focused)) QVERIFY(!field->hasSelectedText());
    QTest::keyClick(focused, Qt::Key_Space);
    QCOMPARE(ed.nv->text(), QString::number(reached));
    QVERIFY(ed.Vopros->text().startsWith(QString("q%1").arg(reached)));
}

void EditorReachTest::clientSizeOnAScreen_data() {
    QTest::addColumn<QRect>("available");
    QTest::addColumn<QMargins>("frame");
    QTest::addColumn<QSize>("client");
    const QMargins frame(1, 24, 1, 1);
    QTest::newRow("room for all") << QRect(0, 0, 1366, 728) << frame << QSize(891, 515);
    // 1366 x 768 at twice the scale, a 40-pixel panel below.
    QTest::newRow("2x on 1366 x 768") << QRect(0, 0, 683, 364) << frame << QSize(681, 339);
    QTest::newRow("only too low") << QRect(0, 0, 1280, 500) << frame << QSize(891, 475);
}

void EditorReachTest::clientSizeOnAScreen() {
    QFETCH(QRect, available);
    QFETCH(QMargins, frame);
    QFETCH(QSize, client);
    QCOMPARE(fittedClientSize(QSize(891, 515), available, frame), client);
}

// The offscreen screen is narrower than the editor: its window fits the
// screen, and scrolling brings every control into view.
void EditorReachTest::aWindowLargerThanTheScreenScrolls() {
    Program program;
    Editor ed(program);
    QVERIFY(openNewTest(program));
    const QRect available = ed.window->screen()->availableGeometry();
    QVERIFY(available.width() < 891);
    QTRY_VERIFY(available.contains(ed.window->frameGeometry()));
    auto* scroller = ed.window->findChild<QScrollArea*>("RedactorScroller");
    QVERIFY(scroller);
    QVERIFY(scroller->horizontalScrollBar()->isVisible());
    scroller->ensureWidgetVisible(ed.Button12);
    const QRect shown(ed.Button12->mapTo(ed.window, QPoint(0, 0)), ed.Button12->size());
    QVERIFY(ed.window->rect().contains(shown));
    QTest::mouseClick(ed.Button12, Qt::LeftButton);
    QCOMPARE(program.visibleWindows(), QStringList{"Manag"});
}

void EditorReachTest::buttonCountReadsByItsLabel() {
    Program program;
    Editor ed(program);
    QVERIFY(openNewTest(program));
    retype(ed.Edvar->lineEdit(), "3");
    QAccessibleInterface* box = QAccessible::queryAccessibleInterface(ed.Edvar);
    QVERIFY(box);
    QCOMPARE(box->text(QAccessible::Name), QString("Кол-во кнопок на форме"));
    QCOMPARE(box->text(QAccessible::Value), QString("3"));
}

QTEST_MAIN(EditorReachTest)
#include "editor_reach_test.moc"
