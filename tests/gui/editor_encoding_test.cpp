// Windows-1251 at the editor's fields: every byte of a loaded file survives
// editing and saving, typed characters the code page cannot hold become "?",
// and the typing limits bind only what the user types.
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTextBlock>
#include <QToolTip>

#include "editor_support.h"
#include "gui_support.h"
#include "manag.h"
#include "redactor.h"

using namespace editor;

namespace {

using Editor = editor::Controls;

// What an input method hands over, one piece at a time.
void commitPieces(QWidget* widget, const QStringList& pieces) {
    for (const QString& piece : pieces) {
        QInputMethodEvent event;
        event.setCommitString(piece);
        QApplication::sendEvent(widget, &event);
    }
}

void selectAll(QWidget* field) {
    QTest::mouseClick(field, Qt::LeftButton);
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
}

// Writes raw lines, each ended by CR LF.
QString writeRaw(const Program& program, const QString& name,
                 const std::vector<std::string>& lines) {
    QByteArray bytes;
    for (const auto& line : lines)
        bytes.append(line.data(), static_cast<qsizetype>(line.size())).append("\r\n");
    QFile file(program.path(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) return {};
    return file.fileName();
}

// The lines of a file, each ended by CR LF; a lone LF belongs to its line.
QList<QByteArray> fileLines(const QString& path) {
    const QByteArray bytes = Program::bytes(path);
    QList<QByteArray> lines;
    for (qsizetype at = 0, end; (end = bytes.indexOf("\r\n", at)) >= 0; at = end + 2)
        lines << bytes.mid(at, end - at);
    return lines;
}

// Bytes from..to, without those that no line can hold.
std::string byteRun(int from, int to) {
    std::string run;
    for (int b = from; b <= to; ++b)
        if (b != 0x0D && b != 0x1A) run += static_cast<char>(b);
    return run;
}

std::string without(std::string text, const std::string& bytes) {
    std::erase_if(text, [&](char c) { return bytes.find(c) != std::string::npos; });
    return text;
}

}  // namespace

class EditorEncodingTest : public QObject {
    Q_OBJECT
  private slots:
    void everyByteSurvivesLoadingEditingAndSaving();
    void typedCharactersTheCodePageCannotHold_data();
    void typedCharactersTheCodePageCannotHold();
    void typingLimitsCountWhatTheUserSees_data();
    void typingLimitsCountWhatTheUserSees();
    void loadedTextsLongerThanTheLimitsStayWhole();
};

void EditorEncodingTest::everyByteSurvivesLoadingEditingAndSaving() {
    const std::string all = byteRun(0x00, 0xFF);  // a LF here never follows a CR
    const std::string structural{'\x05', ')'};    // they would split a header field
    std::string reversed(all.rbegin(), all.rend());
    std::vector<std::string> lines{
        "Info=(2\x05"
        "6\x05"
        "3)",
        "Title=(" + without(byteRun(0x00, 0x3F), structural) + "\x05" + byteRun(0x40, 0x7F) +
            "\x05" + byteRun(0x80, 0xBF) + ")"};
    std::string buttons = "Buttons=(";
    for (int k = 0; k < 6; ++k)
        buttons += (k ? "\x05" : "") + byteRun(0xC0 + 11 * k, k == 5 ? 0xFF : 0xCA + 11 * k);
    lines.push_back(buttons + ")");
    lines.insert(lines.end(), {"Questions:", all, reversed, "Variants: all"});
    for (const std::string& question : {all, reversed})
        for (std::size_t k = 0; k < 6; ++k)
            lines.push_back(question.substr(k * 50, k < 5 ? 50 : std::string::npos));
    lines.insert(
        lines.end(),
        {"Numbers:", "1,\x01\x7F,\xA0\x98,(),12345,-0,3,\t,x y,\x05,,\xFF\xAD,", "Message:"});
    for (std::size_t at = 0; at < all.size(); at += 8) lines.push_back(all.substr(at, 8));
    lines.emplace_back("$");
    Program program;
    Editor ed(program);
    const QString file = writeRaw(program, "bytes.tst", lines);
    QVERIFY(openForEditing(program, file));
    QCOMPARE(ed.Edzag->text().front(), QChar(0x2400));  // byte 0x00, shown as its control picture
    QCOMPARE(ed.Vopros->text().size(), static_cast<qsizetype>(all.size()));

    // An edit elsewhere: the first points of question 2, between visits to
    // both questions and passes through the header fields.
    QTest::mouseClick(ed.nextvop, Qt::LeftButton);
    selectAll(ed.kball(1));
    typeKeys(ed.kball(1), "5");
    QTest::mouseClick(ed.predvop, Qt::LeftButton);
    QTest::mouseClick(ed.Edzag, Qt::LeftButton);
    for (int i = 0; i < 12; ++i) QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QTest::mouseClick(ed.Edit1, Qt::LeftButton);
    QTest::keyClick(ed.Edit1, Qt::Key_Tab);
    QTest::mouseClick(ed.variantEdit(1), Qt::LeftButton);
    save(program, program.path("copy"));

    lines[20] = "1,\x01\x7F,\xA0\x98,(),12345,-0,5,\t,x y,\x05,,\xFF\xAD,";
    QList<QByteArray> expected;
    for (const auto& line : lines) expected << QByteArray::fromStdString(line);
    QCOMPARE(fileLines(program.path("copy.tst")), expected);
    QVERIFY(program.platform.errors.isEmpty());
}

enum class Input { Keys, InputMethod, Paste };
Q_DECLARE_METATYPE(Input)

void EditorEncodingTest::typedCharactersTheCodePageCannotHold_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<Input>("input");
    QTest::addColumn<QStringList>("typed");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QByteArray>("line");  // the line of the saved file that holds it
    const QByteArray title =
        "Title=(\xDD\xF2\xEE \xF2\xE5\xEA\xF1\xF2 \xE7\xE0\xE3\xEE\xEB\xEE\xE2\xEA\xE0\x05";
    QTest::newRow("CJK in the author") << "Edit1" << Input::Keys << QStringList{"Ли中"} << "Ли?"
                                       << title + "\xCB\xE8?\x05\xD2\xE5\xF1\xF2)";
    QTest::newRow("control picture in the title")
        << "Edzag" << Input::Keys << QStringList{"\u2405x"} << "?x"
        << QByteArray("Title=(?x\x05\xCD\xE5\xE8\xE7\xE2\xE5\xF1\xF2\xE5\xED\x05\xD2\xE5\xF1\xF2)");
    QTest::newRow("emoji in the question")
        << "Vopros" << Input::InputMethod << QStringList{"a", "😀", "b"} << "a?b"
        << QByteArray("a?b");
    QTest::newRow("decomposed letter")
        << "Vopros" << Input::InputMethod << QStringList{"и\u0306"} << "й" << QByteArray("\xE9");
    QTest::newRow("euro sign kept")
        << "v1" << Input::Keys << QStringList{"5€"} << "5€" << QByteArray("5\x88");
    QTest::newRow("accent without a composed letter")
        << "v1" << Input::InputMethod << QStringList{"x\u0301", "y"} << "?y" << QByteArray("?y");
    QTest::newRow("CJK in the messages")
        << "Memo2" << Input::Keys << QStringList{"=中"} << "=?" << QByteArray("=?");
    QTest::newRow("emoji in the messages")
        << "Memo2" << Input::InputMethod << QStringList{"😀"} << "?" << QByteArray("?");
    QTest::newRow("end-of-file picture pasted")
        << "Memo2" << Input::Paste << QStringList{"a\u241Ab\u00A0"} << "a?b\u00A0"
        << QByteArray("a?b\xA0");
}

void EditorEncodingTest::typedCharactersTheCodePageCannotHold() {
    QFETCH(QString, field);
    QFETCH(Input, input);
    QFETCH(QStringList, typed);
    QFETCH(QString, shown);
    QFETCH(QByteArray, line);
    Program program;
    Editor ed(program);
    QVERIFY(openNewTest(program));
    if (field != "Vopros") ed.Vopros->setText("?");  // a question, so that variants are written
    auto* widget = ed.window->findChild<QWidget*>(field);
    QVERIFY(widget);
    selectAll(widget);
    switch (input) {
        case Input::Keys:
            typeKeys(widget, typed.join(QString()));
            break;
        case Input::InputMethod:
            commitPieces(widget, typed);
            break;
        case Input::Paste:
            QApplication::clipboard()->setText(typed.join(QString()));
            QTest::keyClick(widget, Qt::Key_V, Qt::ControlModifier);
            break;
    }
    auto* memo = qobject_cast<QPlainTextEdit*>(widget);
    QCOMPARE(
        memo ? memo->document()->firstBlock().text() : qobject_cast<QLineEdit*>(widget)->text(),
        shown);
    save(program, program.path("typed"));
    const QList<QByteArray> lines = fileLines(program.path("typed.tst"));
    QVERIFY2(lines.contains(line),
             Program::bytes(program.path("typed.tst")).toHex(' ').constData());
    QVERIFY(!Program::bytes(program.path("typed.tst")).contains('\x1A'));
}

void EditorEncodingTest::typingLimitsCountWhatTheUserSees_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<int>("limit");
    const std::pair<const char*, int> limits[] = {{"Edzag", 50},  {"EdButt1", 20}, {"Edit1", 100},
                                                  {"Edit2", 100}, {"Vopros", 150}, {"v1", 80},
                                                  {"Kball1", 4}};
    for (const auto& [name, limit] : limits) QTest::newRow(name) << QString(name) << limit;
}

void EditorEncodingTest::typingLimitsCountWhatTheUserSees() {
    QFETCH(QString, field);
    QFETCH(int, limit);
    Program program;
    Editor ed(program);
    QVERIFY(openNewTest(program));
    auto* edit = ed.window->findChild<QLineEdit*>(field);
    QVERIFY(edit);
    selectAll(edit);
    QString text;
    for (int i = 0; text.size() < limit - 2; ++i) text += QString("Жz").at(i % 2);
    typeKeys(edit, text);
    // Characters an input method composes or that take two UTF-16 units
    // count once each, as the user sees them.
    commitPieces(edit, {"и\u0306", "😀"});
    QToolTip::hideText();
    commitPieces(edit, {"a", "b"});
    QCOMPARE(edit->text(), text + "й?");
    // At the limit a hint says that the text stops there.
    QVERIFY(QToolTip::isVisible());
    QVERIFY(QToolTip::text().contains(QString::number(limit)));
    QTest::keyClick(edit, Qt::Key_Backspace);
    typeKeys(edit, "cd");
    QCOMPARE(edit->text(), text + "йc");

    // A pasted text is cut at the limit, and the hint says so.
    selectAll(edit);
    QToolTip::hideText();
    QApplication::clipboard()->setText(QString(limit + 30, '7'));
    QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(edit->text(), QString(limit, '7'));
    QVERIFY(QToolTip::isVisible());
}

void EditorEncodingTest::loadedTextsLongerThanTheLimitsStayWhole() {
    QString question;
    for (int i = 0; i < 200; ++i) question += QString("Вопрос ").at(i % 7);
    const std::string q = question.toStdString();
    const std::string title(120, 'T');
    const std::string author = std::string(130, 'A');
    const std::string caption(30, 'C');
    std::vector<std::string> lines{
        "Info=(2\x05"
        "2\x05"
        "1)",
        "Title=(" + title + "\x05" + author + "\x05Окно)",
        "Buttons=(" + caption + "\x05Нет)",
        "Questions:",
        q,
        "Второй",
        "Variants: none",
        "Numbers:",
        "12345,0,1,1,",
        "Message:",
        "$"};
    Program program;
    Editor ed(program);
    QVERIFY(openForEditing(program, program.writeTest("long.tst", lines)));
    QCOMPARE(ed.Vopros->text(), question);
    QCOMPARE(ed.Edzag->text().size(), 120);
    QCOMPARE(ed.Edit1->text().size(), 130);
    QCOMPARE(ed.edButt(1)->text().size(), 30);
    QCOMPARE(ed.kball(1)->text(), QString("12345"));

    // Typing may replace or shorten a long text but not make it longer.
    clickToEnd(ed.Vopros);
    typeKeys(ed.Vopros, "x");
    QCOMPARE(ed.Vopros->text(), question);
    QTest::keyClick(ed.Vopros, Qt::Key_Left, Qt::ShiftModifier);
    typeKeys(ed.Vopros, "y");
    QCOMPARE(ed.Vopros->text(), question.chopped(1) + "y");
    QTest::keyClick(ed.Vopros, Qt::Key_Backspace);
    typeKeys(ed.Vopros, "z");
    QCOMPARE(ed.Vopros->text(), question.chopped(1));
    QTest::keyClick(ed.Vopros, Qt::Key_Z,
                    Qt::ControlModifier);  // undo gives back the 200 characters
    QCOMPARE(ed.Vopros->text(), question.chopped(1) + "y");
    clickToEnd(ed.kball(1));
    typeKeys(ed.kball(1), "6");
    clickToEnd(ed.Edzag);
    typeKeys(ed.Edzag, "x");
    QTest::keyClick(ed.Edzag, Qt::Key_Tab);
    QCOMPARE(ed.kball(1)->text(), QString("12345"));
    QCOMPARE(ed.Edzag->text().size(), 120);

    QTest::mouseClick(ed.nextvop, Qt::LeftButton);
    QTest::mouseClick(ed.predvop, Qt::LeftButton);
    QCOMPARE(ed.Vopros->text(), question.chopped(1) + "y");
    save(program, program.path("copy"));
    lines[4] = question.chopped(1).toStdString() + "y";
    QCOMPARE(Program::bytes(program.path("copy.tst")), fileBytes(lines));

    // A question appended after a long one is bound by the limit again.
    QTest::mouseClick(ed.nextvop, Qt::LeftButton);
    ed.Vopros->setText(QString(200, 'w'));
    QTest::mouseClick(ed.nextvop, Qt::LeftButton);
    typeInto(ed.Vopros, QString(155, 'n'));
    QCOMPARE(ed.Vopros->text(), QString(150, 'n'));
}

QTEST_MAIN(EditorEncodingTest)
#include "editor_encoding_test.moc"
