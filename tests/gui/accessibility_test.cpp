// What a screen reader hears: the names and descriptions the windows give
// their controls through the toolkit's accessibility interfaces.
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSet>
#include <QTest>
#include <memory>
#include <vector>

#include "ab.h"
#include "errorform.h"
#include "gui_support.h"
#include "manag.h"
#include "redactor.h"
#include "resform.h"
#include "session_setup.h"
#include "userform.h"
#include "widgets.h"

namespace {

QAccessibleInterface* accessible(QObject* object) {
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(object);
    if (!iface) qFatal("no accessible interface for %s", qPrintable(object->objectName()));
    return iface;
}

QString nameOf(QObject* object) {
    return accessible(object)->text(QAccessible::Name);
}
QString descriptionOf(QObject* object) {
    return accessible(object)->text(QAccessible::Description);
}

// The objects that name `field` through the labelled-by relation.
QList<QObject*> labelsOf(QObject* field) {
    QList<QObject*> labels;
    for (const auto& relation : accessible(field)->relations(QAccessible::Label)) {
        labels << relation.first->object();
    }
    return labels;
}

// Every field an author types into, the button count's box by the line it is typed into.
QList<QWidget*> editorFields(const TRedactor* e) {
    QList<QWidget*> fields{ctl::edit(e, "Edzag"),  ctl::combo(e, "Edvar")->lineEdit(),
                           ctl::edit(e, "Vopros"), ctl::memo(e, "Memo2"),
                           ctl::edit(e, "Edit1"),  ctl::edit(e, "Edit2")};
    for (int k = 1; k <= 6; ++k)
        fields << ctl::edit(e, "EdButt", k) << ctl::edit(e, "v", k) << ctl::edit(e, "Kball", k);
    return fields;
}

const QString kMessageFrom = QStringLiteral(
    "Вы набрали %1 баллов, но в данном тесте программа не обнаружила диапазон для такого числа "
    "баллов. "
    "Просмотрите текст теста на наличие нужной строки. Для этого нужно проанализировать кол-во "
    "баллов за "
    "вопрос, а составляя сообщения вставить строку вида: =Х-Y, где Х - начало диапазона, а Y - его "
    "конец.");

}  // namespace

class AccessibilityTest : public QObject {
    Q_OBJECT
  private slots:
    void editorFieldsHaveDistinctNames();
    void editorFieldNames_data();
    void editorFieldNames();
    void labelledFieldsPointToTheirLabels();
    void testWindowReadsTheQuestionAndTheVariants();
    void resultTextIsNamedByTheHeading();
    void errorMessageReadsAsOneText_data();
    void errorMessageReadsAsOneText();
    void windowsReadAsFrameAndDialogs();
    void joinedCaptions_data();
    void joinedCaptions();
};

void AccessibilityTest::windowsReadAsFrameAndDialogs() {
    Program program;
    auto& w = *program.windows;
    const auto role = [](QWidget* window) {
        QAccessibleInterface* face = QAccessible::queryAccessibleInterface(window);
        return face ? face->role() : QAccessible::NoRole;
    };
    QCOMPARE(role(w.manager()), QAccessible::Window);
    for (QWidget* window : std::initializer_list<QWidget*>{
             w.editor(), w.testWindow(), w.resultWindow(), w.errorWindow(), w.about()}) {
        QVERIFY2(role(window) == QAccessible::Dialog, qPrintable(window->objectName()));
    }
}

void AccessibilityTest::editorFieldsHaveDistinctNames() {
    Program program;
    const QList<QWidget*> fields = editorFields(program.windows->editor());
    QSet<QString> names;
    for (QWidget* field : fields) {
        const QString name = nameOf(field).trimmed();
        QVERIFY2(!name.isEmpty(), qPrintable(field->objectName()));
        QVERIFY2(!names.contains(name), qPrintable(field->objectName() + ": " + name));
        names.insert(name);
    }
    QCOMPARE(names.size(), 24);
}

void AccessibilityTest::editorFieldNames_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("name");
    // Fields inside a group box would otherwise read by the box's title.
    QTest::newRow("title") << "Edzag"
                           << "Заголовок теста";
    QTest::newRow("messages") << "Memo2"
                              << "Сообщения о результатах";
    QTest::newRow("points 1") << "Kball1"
                              << "Баллы за кнопку № 1";
    QTest::newRow("points 6") << "Kball6"
                              << "Баллы за кнопку № 6";
    QTest::newRow("variant 2, in the window") << "v2"
                                              << "Вариант ответа № 2";
    QTest::newRow("variant 5, in the group") << "v5"
                                             << "Вариант ответа № 5";
    // The label beside the field.
    QTest::newRow("caption 3") << "EdButt3"
                               << "Кнопка № 3";
    QTest::newRow("question") << "Vopros"
                              << "Вопрос";
    QTest::newRow("author") << "Edit1"
                            << "Автор:";
    QTest::newRow("window caption") << "Edit2"
                                    << "Подпись окна: ";
}

void AccessibilityTest::editorFieldNames() {
    QFETCH(QString, field);
    QFETCH(QString, name);
    Program program;
    auto* widget = program.windows->editor()->findChild<QWidget*>(field);
    QVERIFY(widget);
    QCOMPARE(nameOf(widget), name);
}

void AccessibilityTest::labelledFieldsPointToTheirLabels() {
    Program program;
    const TRedactor* e = program.windows->editor();
    QComboBox* buttonCount = ctl::combo(e, "Edvar");
    // The button count's box reads its value as its name; the label reaches
    // a screen reader through the relation, and names the line typed into.
    QVERIFY(labelsOf(buttonCount).contains(ctl::label(e, "Label1")));
    QCOMPARE(nameOf(buttonCount->lineEdit()), QString("Кол-во кнопок на форме"));
    // "Кнопка № k" is Label2..Label7.
    for (int k = 1; k <= 6; ++k)
        QVERIFY(labelsOf(ctl::edit(e, "EdButt", k)).contains(ctl::label(e, "Label", k + 1)));
    QVERIFY(labelsOf(ctl::edit(e, "Vopros")).contains(ctl::label(e, "Label8")));
    QVERIFY(labelsOf(ctl::edit(e, "Edit2")).contains(ctl::label(e, "Label16")));
    // The instructions above the message field are its description, in one line.
    QCOMPARE(descriptionOf(ctl::memo(e, "Memo2")),
             QString("Введите сообщения результатов, разделяя новое знаком равно, после "
                     "которого идет диапазон баллов (через дефис, типа =0-25)"));
    // The header box reads without the misprint its caption keeps.
    auto* header = ctl::as<QGroupBox>(e, "GroupBox1");
    QCOMPARE(nameOf(header), QString("Заголовок"));
    QCOMPARE(header->title(), QString(" Загологвок "));
}

void AccessibilityTest::testWindowReadsTheQuestionAndTheVariants() {
    Program program;
    auto& w = *program.windows;
    program.platform.openAnswers.push_back(program.writeExample());
    QTest::mouseClick(ctl::button(w.manager(), "Button3"), Qt::LeftButton);
    QVERIFY(w.testWindow()->isVisible());

    QCOMPARE(nameOf(ctl::memo(w.testWindow(), "Memo1")), QString("Текст вопроса"));
    QCOMPARE(accessible(ctl::memo(w.testWindow(), "Memo1"))->text(QAccessible::Value),
             QString("Земля круглая?"));
    QCOMPARE(nameOf(ctl::label(w.testWindow(), "TextVar", 1)), QString("Верно"));
    QCOMPARE(nameOf(ctl::label(w.testWindow(), "TextVar", 3)), QString("Затрудняюсь ответить"));
    QCOMPARE(nameOf(ctl::button(w.testWindow(), 3)), QString("Не знаю"));
    QCOMPARE(descriptionOf(ctl::button(w.testWindow(), 3)), QString("Затрудняюсь ответить"));
    // The next question's variants are read, not the first one's.
    QTest::mouseClick(ctl::button(w.testWindow(), 1), Qt::LeftButton);
    QCOMPARE(accessible(ctl::memo(w.testWindow(), "Memo1"))->text(QAccessible::Value),
             QString("Луна больше Земли?"));
    QCOMPARE(nameOf(ctl::label(w.testWindow(), "TextVar", 1)), QString("Больше"));
    QCOMPARE(descriptionOf(ctl::button(w.testWindow(), 1)), QString("Больше"));
}

void AccessibilityTest::resultTextIsNamedByTheHeading() {
    Program program;
    auto& w = *program.windows;
    program.platform.openAnswers.push_back(program.writeExample());
    QTest::mouseClick(ctl::button(w.manager(), "Button3"), Qt::LeftButton);
    // What the result window holds as it appears and takes the focus: a
    // screen reader reads it then, and not again.
    QPlainTextEdit* memo = ctl::memo(w.resultWindow(), "Memo1");
    QStringList readAtFocus;
    QObject::connect(qApp, &QApplication::focusChanged, memo, [&](QWidget*, QWidget* now) {
        if (now && now->window() == w.resultWindow()) readAtFocus << memo->toPlainText();
    });
    QTest::mouseClick(ctl::button(w.testWindow(), 2), Qt::LeftButton);
    QTest::mouseClick(ctl::button(w.testWindow(), 2), Qt::LeftButton);
    QVERIFY(w.resultWindow()->isVisible());
    QCOMPARE(readAtFocus, QStringList{"\nСтоит повторить материал."});
    QCOMPARE(descriptionOf(w.resultWindow()),
             QString("Ваш результат тестирования: Стоит повторить материал."));
    QCOMPARE(nameOf(ctl::memo(w.resultWindow(), "Memo1")), QString("Ваш результат тестирования"));
    QCOMPARE(accessible(ctl::memo(w.resultWindow(), "Memo1"))->text(QAccessible::Value),
             QString("\nСтоит повторить материал."));
}

void AccessibilityTest::errorMessageReadsAsOneText_data() {
    QTest::addColumn<int>("score");
    QTest::newRow("21") << 21;
    QTest::newRow("-4") << -4;
}

void AccessibilityTest::errorMessageReadsAsOneText() {
    QFETCH(int, score);
    Program program;
    TErrorForm& error = *program.windows->errorWindow();
    qv::RunState& run = qv::SessionSetUp::run(program.session());
    const QString sentence = kMessageFrom.arg(score);
    run.score = 0;
    error.showScore();
    QCOMPARE(nameOf(ctl::label(&error, "Label2")), kMessageFrom.arg(0));
    run.score = score;
    error.showScore();
    QCOMPARE(descriptionOf(&error),
             "Данный тест имеет ошибки в блоке составления сообщения. " + sentence);
    QCOMPARE(nameOf(ctl::label(&error, "Label2")), sentence);
    // What the window shows stays as it was.
    QCOMPARE(ctl::label(&error, "Label2")->text(), QString("Вы набрали "));
    QCOMPARE(ctl::label(&error, "Label3")->text(), QString::number(score));
    QCOMPARE(ctl::label(&error, "Label4")->text(),
             QString("баллов, но в данном тесте программа не  обна-"));
}

void AccessibilityTest::joinedCaptions_data() {
    QTest::addColumn<QStringList>("captions");
    QTest::addColumn<QString>("joined");
    QTest::newRow("hyphenated word")
        << QStringList{"не  обна-", "ружила  диапазон"} << "не обнаружила диапазон";
    QTest::newRow("hyphen before a trailing blank")
        << QStringList{"а сос- ", "тавляя"} << "а составляя";
    QTest::newRow("dash between blanks stays")
        << QStringList{"где Х -", "начало"} << "где Х - начало";
    QTest::newRow("dash inside a line stays") << QStringList{"кол-во", "баллов"} << "кол-во баллов";
    QTest::newRow("number after a blank")
        << QStringList{"Вы набрали ", "-4", "баллов"} << "Вы набрали -4 баллов";
    QTest::newRow("empty caption skipped") << QStringList{"один", "", "  ", "два"} << "один два";
    QTest::newRow("nothing") << QStringList{} << "";
}

void AccessibilityTest::joinedCaptions() {
    QFETCH(QStringList, captions);
    QFETCH(QString, joined);
    std::vector<std::unique_ptr<QLabel>> owned;
    QList<const QLabel*> labels;
    for (const QString& caption : captions) {
        owned.push_back(std::make_unique<QLabel>(caption));
        labels << owned.back().get();
    }
    QCOMPARE(::joinedCaptions(labels), joined);
}

QTEST_MAIN(AccessibilityTest)
#include "accessibility_test.moc"
