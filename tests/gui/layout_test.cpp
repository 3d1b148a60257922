// How the six windows are drawn: captions, sizes, frames, every control's
// name, place, text, font and colour, and the order the Tab key follows.
#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>

#include "ab.h"
#include "errorform.h"
#include "gui_support.h"
#include "manag.h"
#include "redactor.h"
#include "resform.h"
#include "userform.h"
#include "window_frames.h"

namespace {

enum Style { Plain = 0, Bold = 1, Italic = 2, Underline = 4 };
constexpr QRgb kUnchecked = 0;

struct Control {
    QString window;
    QString name;
    QString parent;
    QRect geometry;  // width 0: a label that sizes itself to its caption
    QString text;    // a null text is not checked
    QString family;  // empty: the window font
    int pixels = 11;
    int style = Plain;
    QRgb color = kUnchecked;
};

const QString kWindowFamily = "MS Sans Serif";
const QString kTimes = "Times New Roman";

Control make(const QString& window, const QString& name, const QString& parent, QRect geometry,
             const QString& text, const QString& family = {}, int pixels = 11, int style = Plain,
             QRgb color = kUnchecked) {
    return {window, name, parent, geometry, text, family, pixels, style, color};
}

QRect at(int x, int y) {
    return {x, y, 0, 0};
}
QString num(const char* stem, int k) {
    return QString::fromUtf8(stem) + QString::number(k);
}

std::vector<Control> controls() {
    std::vector<Control> t;
    const QRgb red = qRgb(255, 0, 0), blue = qRgb(0, 0, 255), purple = qRgb(128, 0, 128),
               black = qRgb(0, 0, 0);

    t.push_back(make("Manag", "Image1", "ManagClient", {0, 0, 353, 113}, {}));
    t.push_back(make("Manag", "Button1", "ManagClient", {16, 72, 97, 25}, "Новый тест"));
    t.push_back(make("Manag", "Button2", "ManagClient", {128, 72, 97, 25}, "Редактор"));
    t.push_back(make("Manag", "Button3", "ManagClient", {240, 72, 97, 25}, "Запустить"));

    // The test window's controls stand on its client, which scrolls where the screen is small.
    t.push_back(make("UserForm", "Zagolov", "UserFormClient", at(16, 16), "Это текст заголовка",
                     kTimes, 32));
    t.push_back(make("UserForm", "Panel1", "UserFormClient", {16, 72, 633, 369}, {}));
    const QPoint buttonAt[6] = {{16, 464},  {184, 464}, {352, 464},
                                {520, 464}, {184, 520}, {352, 520}};
    for (int k = 1; k <= 6; ++k) {
        t.push_back(make("UserForm", num("Button", k), "UserFormClient",
                         {buttonAt[k - 1], QSize(129, 33)}, ""));
        t.push_back(make("UserForm", num("TextVar", k), "Panel1", at(40, 144 + 32 * (k - 1)),
                         "Варианты", kTimes, 16));
    }
    t.push_back(make("UserForm", "Label1", "Panel1", at(48, 352), "--- Копирайт ----"));
    t.push_back(make("UserForm", "Memo1", "UserFormClient", {24, 80, 617, 121},
                     "Здесь размещается текст вопроса", kTimes, 19));

    t.push_back(make("ResForm", "Label1", "ResForm", at(80, 16), "Ваш результат тестирования",
                     kTimes, 27, Plain, blue));
    t.push_back(make("ResForm", "Memo1", "ResForm", {16, 64, 465, 393}, "", kTimes, 23));
    t.push_back(
        make("ResForm", "Button1", "ResForm", {16, 472, 201, 41}, "Сохранить", kTimes, 16, Bold));
    t.push_back(
        make("ResForm", "Button3", "ResForm", {280, 472, 201, 41}, "Закрыть", kTimes, 16, Bold));

    // The error window's captions keep their double and trailing blanks and
    // their hyphenations; the Х of "=Х-Y" and of "где Х" is Cyrillic, Y is Latin.
    const auto e = [&](const char* name, QPoint p, const char* text, int pixels, int style,
                       QRgb color) {
        t.push_back(make("ErrorForm", name, "ErrorForm", {p, QSize()}, QString::fromUtf8(text),
                         kTimes, pixels, style, color));
    };
    e("Label1", {16, 16}, "Данный тест имеет ошибки в блоке составления сообщения.", 19, Plain,
      red);
    e("Label2", {16, 56}, "Вы набрали ", 16, Bold, kUnchecked);
    e("Label3", {112, 56}, "00000", 16, Bold, purple);
    e("Label4", {160, 56}, "баллов, но в данном тесте программа не  обна-", 16, Bold, kUnchecked);
    e("Label5", {16, 80}, "ружила  диапазон  для такого   числа баллов.  Просмотрите  текст ", 16,
      Bold, kUnchecked);
    e("Label6", {16, 104}, "теста на наличие нужной строки.", 16, Bold, kUnchecked);
    e("Label7", {16, 144}, "Для этого нужно проанализировать кол-во баллов за вопрос, а сос- ", 16,
      Bold, kUnchecked);
    e("Label8", {16, 168},
      "тавляя сообщения вставить строку вида: =\u0425-Y, где \u0425 - начало диа-", 16, Bold,
      kUnchecked);
    e("Label9", {16, 192}, "пазона, а Y - его конец. ", 16, Bold, kUnchecked);
    t.push_back(make("ErrorForm", "Button1", "ErrorForm", {184, 232, 153, 33}, "Хорошо",
                     kWindowFamily, 16, Bold));

    t.push_back(make("AB", "Panel1", "AB", {8, 8, 321, 225}, {}));
    t.push_back(make("AB", "Image1", "Panel1", {8, 8, 81, 81}, {}));
    t.push_back(
        make("AB", "Label1", "Panel1", at(136, 24), "Quorvane", kTimes, 21, Underline, red));
    t.push_back(
        make("AB", "Label2", "Panel1", at(120, 64), "version: 1.2 (15.08.2001)", kTimes, 19));
    t.push_back(make("AB", "Label3", "Panel1", at(24, 104),
                     "Данная  программа  предназначена  для ", "System", 11, Bold));
    t.push_back(make("AB", "Label5", "Panel1", at(40, 144), {}, kTimes, 24, Italic, black));
    t.push_back(make("AB", "Label6", "Panel1", at(40, 176), {}, kTimes, 21, Plain, blue));
    t.push_back(make("AB", "Label7", "Panel1", at(16, 208), {}));
    t.push_back(make("AB", "OKButton", "AB", {127, 244, 75, 25}, "OK"));

    const auto r = [&](const QString& name, const char* parent, QRect g, const QString& text) {
        t.push_back(make("Redactor", name, parent, g, text));
    };
    r("GroupBox1", "RedactorClient", {8, 16, 241, 73}, " Загологвок ");
    r("Edzag", "GroupBox1", {16, 32, 209, 21}, "Это текст заголовка");
    r("GroupBox2", "RedactorClient", {8, 104, 241, 297}, " Кнопки ");
    t.push_back(make("Redactor", "Label1", "GroupBox2", at(16, 32), "Кол-во кнопок на форме",
                     "Tahoma", 11));
    const QString captions[6] = {"Да", "Нет", "", "", "", ""};
    for (int k = 1; k <= 6; ++k) {
        r(num("Label", k + 1), "GroupBox2", at(16, 88 + 32 * (k - 1)),
          QString("Кнопка № %1").arg(k));
        r(num("EdButt", k), "GroupBox2", {104, 80 + 32 * (k - 1), 121, 21}, captions[k - 1]);
    }
    t.push_back(
        make("Redactor", "Edvar", "GroupBox2", {184, 24, 41, 24}, "2", kWindowFamily, 13, Bold));
    r("GroupBox3", "RedactorClient", {264, 16, 321, 385}, " Данные теста ");
    r("Label8", "GroupBox3", at(16, 32), "Вопрос");
    t.push_back(make("Redactor", "nv", "GroupBox3", at(280, 24), "1", kTimes, 16, Bold));
    r("Vopros", "GroupBox3", {64, 24, 201, 21}, "");
    r("Label9", "GroupBox3", at(72, 56), "Введите текст вариантов ответа на вопрос");
    for (int k = 1; k <= 6; ++k) {
        t.push_back(make("Redactor", num("Label", 16 + k), "GroupBox3", at(16, 72 + 32 * (k - 1)),
                         QString("№ %1").arg(k), kTimes, 15, Bold));
        if (k <= 3)
            r(num("v", k), "RedactorClient", {328, 88 + 32 * (k - 1), 233, 21}, "");
        else
            r(num("v", k), "GroupBox3", {64, 168 + 32 * (k - 4), 233, 21}, "");
        r(num("Kball", k), "GroupBox3", {24 + 48 * (k - 1), 304, 33, 21}, "");
    }
    r("Label10", "GroupBox3", at(40, 264), "Введите кол-во баллов для каждой из кнопок");
    const auto blanks = [](int n) { return QString(n, ' '); };
    r("Label13", "GroupBox3", at(24, 288),
      blanks(3) + "№1" + blanks(11) + "№2" + blanks(10) + "№3" + blanks(10) + "№4" + blanks(10) +
          "№5" + blanks(11) + "№6" + blanks(2));
    r("predvop", "GroupBox3", {24, 344, 121, 25}, "< Назад ");
    r("nextvop", "GroupBox3", {184, 344, 113, 25}, "Дальше > ");
    r("GroupBox4", "RedactorClient", {600, 16, 281, 385}, " Вывод результатов тестирования ");
    r("Label12", "GroupBox4", at(16, 24), "Введите сообщения результатов, разделяя ");
    r("Label11", "GroupBox4", at(16, 40), "новое знаком равно, после которого идет ");
    r("Label14", "GroupBox4", at(16, 56), "диапазон баллов (через дефис, типа  =0-25)");
    r("Memo2", "GroupBox4", {16, 80, 249, 289}, "");
    t.push_back(make("Redactor", "Button10", "RedactorClient", {600, 456, 137, 41}, "Сохранить",
                     kWindowFamily, 13, Bold));
    t.push_back(make("Redactor", "Button12", "RedactorClient", {752, 456, 129, 41}, "Закрыть",
                     kWindowFamily, 13, Bold));
    r("GroupBox5", "RedactorClient", {8, 408, 241, 97}, " Копирайт ");
    r("Label15", "GroupBox5", at(16, 32), "Автор:");
    r("Label16", "GroupBox5", at(16, 64), "Подпись окна: ");
    r("Edit1", "GroupBox5", {64, 24, 161, 21}, "");
    r("Edit2", "GroupBox5", {112, 56, 113, 21}, "Тест");
    r("RadioGroup1", "RedactorClient", {264, 408, 321, 97},
      " Оптимизация записи вариантов ответа ");
    r("RB1", "RedactorClient", {280, 432, 113, 17}, "Без вариантов");
    r("RB2", "RedactorClient", {280, 456, 209, 17}, "Вариант первого вопроса - для всех");
    r("RB3", "RedactorClient", {280, 480, 265, 17}, "Для каждого вопроса - свои варианты ответа");
    return t;
}

QWidget* window(Program& program, const QString& name) {
    auto& w = *program.windows;
    for (QWidget* win : std::initializer_list<QWidget*>{
             w.manager(), w.editor(), w.testWindow(), w.resultWindow(), w.errorWindow(), w.about()})
        if (win->objectName() == name) return win;
    return nullptr;
}

QString textOf(const QWidget* w) {
    if (auto* l = qobject_cast<const QLabel*>(w)) return l->text();
    if (auto* b = qobject_cast<const QAbstractButton*>(w)) return b->text();
    if (auto* g = qobject_cast<const QGroupBox*>(w)) return g->title();
    if (auto* e = qobject_cast<const QLineEdit*>(w)) return e->text();
    if (auto* m = qobject_cast<const QPlainTextEdit*>(w)) return m->toPlainText();
    if (auto* c = qobject_cast<const QComboBox*>(w)) return c->currentText();
    return {};
}

// The controls the Tab key visits, in focus-chain order, by name; an unnamed
// inner widget (the edit part of a combo box) counts as its named owner.
QStringList tabChain(QWidget* win) {
    QStringList names;
    for (QWidget* w = win->nextInFocusChain(); w != win; w = w->nextInFocusChain()) {
        if (!(w->focusPolicy() & Qt::TabFocus) || w->focusProxy() || w->window() != win) continue;
        QWidget* named = w;
        while (named->objectName().isEmpty() && named->parentWidget())
            named = named->parentWidget();
        if (names.isEmpty() || names.last() != named->objectName()) names << named->objectName();
    }
    return names;
}

}  // namespace

class LayoutTest : public QObject {
    Q_OBJECT
  private slots:
    void windows_data();
    void windows();
    void controls_data();
    void controls();
    void errorWindowLetters();
    void testWindowAtStartAndPictures();
    void memos();
    void managerMenu();
    void tabChains_data();
    void tabChains();
    void tabKeyInTheTestWindow_data();
    void tabKeyInTheTestWindow();
    void previewBesideTheEditor_data();
    void previewBesideTheEditor();
    void testWindowShowsEveryTextWhole_data();
    void testWindowShowsEveryTextWhole();
};

void LayoutTest::windows_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QSize>("client");
    QTest::addColumn<bool>("closeBox");
    QTest::addColumn<bool>("minimiseBox");
    QTest::addColumn<bool>("onTop");
    QTest::newRow("Manag") << "Manag"
                           << "Менеджер тестов" << QSize(350, 113) << true << true << false;
    QTest::newRow("Redactor") << "Redactor"
                              << "Редактор тестов" << QSize(891, 515) << false << false << false;
    QTest::newRow("UserForm") << "UserForm"
                              << "Тест" << QSize(666, 571) << true << false << false;
    QTest::newRow("ResForm") << "ResForm"
                             << "Результат" << QSize(497, 526) << false << false << false;
    QTest::newRow("ErrorForm") << "ErrorForm"
                               << "Ошибочная ситуация." << QSize(524, 277) << false << false
                               << true;
    QTest::newRow("AB") << "AB"
                        << "О программе" << QSize(335, 278) << false << false << true;
}

void LayoutTest::windows() {
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(QSize, client);
    QFETCH(bool, closeBox);
    QFETCH(bool, minimiseBox);
    QFETCH(bool, onTop);
    Program program;
    QWidget* win = window(program, name);
    QVERIFY(win);

    QCOMPARE(win->windowTitle(), caption);
    auto* main = qobject_cast<QMainWindow*>(win);
    QCOMPARE(main ? main->centralWidget()->size() : win->size(), client);
    QCOMPARE(win->minimumSize(), win->maximumSize());  // fixed, not resizable
    QCOMPARE(win->font().family(), kWindowFamily);
    QCOMPARE(win->font().pixelSize(), 11);

    const Qt::WindowFlags flags = win->windowFlags();
    QVERIFY(flags.testFlag(Qt::CustomizeWindowHint));  // only the title-bar buttons asked for
    QCOMPARE(flags.testFlag(Qt::WindowCloseButtonHint), closeBox);
    QCOMPARE(flags.testFlag(Qt::WindowSystemMenuHint), closeBox);
    QCOMPARE(flags.testFlag(Qt::WindowMinimizeButtonHint), minimiseBox);
    QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
    QCOMPARE(flags.testFlag(Qt::WindowStaysOnTopHint), onTop);

    // Centred on the desktop, give or take the frame a shown window gains.
    const QRect desktop = QGuiApplication::primaryScreen()->availableGeometry();
    const QPoint offCentre = win->frameGeometry().center() - desktop.center();
    QVERIFY2(qAbs(offCentre.x()) <= 2 && qAbs(offCentre.y()) <= 2,
             qPrintable(QString("%1,%2").arg(offCentre.x()).arg(offCentre.y())));

    // A window without a close box is left only through its own button.
    if (!closeBox) {
        win->show();
        QVERIFY(!win->close());
        QVERIFY(win->isVisible());
    }
}

void LayoutTest::controls_data() {
    QTest::addColumn<int>("row");
    const auto table = ::controls();
    for (std::size_t i = 0; i < table.size(); ++i)
        QTest::addRow("%s %s", qPrintable(table[i].window), qPrintable(table[i].name))
            << static_cast<int>(i);
}

void LayoutTest::controls() {
    QFETCH(int, row);
    const Control c = ::controls()[static_cast<std::size_t>(row)];
    Program program;
    QWidget* win = window(program, c.window);
    auto* w = win->findChild<QWidget*>(c.name);
    QVERIFY2(w, "no control of that name");
    QCOMPARE(w->parentWidget()->objectName(), c.parent);

    QCOMPARE(w->pos(), c.geometry.topLeft());
    if (c.geometry.width() > 0) {
        QCOMPARE(w->size(), c.geometry.size());
    } else {
        QCOMPARE(w->size(), w->sizeHint());  // on one line, fitted to its caption
        QVERIFY(!static_cast<QLabel*>(w)->wordWrap());
    }
    if (!c.text.isNull()) QCOMPARE(textOf(w), c.text);

    const QFont f = w->font();
    QCOMPARE(f.family(), c.family.isEmpty() ? kWindowFamily : c.family);
    QCOMPARE(f.pixelSize(), c.pixels);
    QCOMPARE(f.bold(), bool(c.style & Bold));
    QCOMPARE(f.italic(), bool(c.style & Italic));
    QCOMPARE(f.underline(), bool(c.style & Underline));
    if (c.color != kUnchecked) QCOMPARE(w->palette().color(QPalette::WindowText).rgb(), c.color);
}

void LayoutTest::errorWindowLetters() {
    Program program;
    TErrorForm* form = program.windows->errorWindow();
    const QString label8 = ctl::label(form, "Label8")->text();
    const auto range = label8.indexOf('=');
    QVERIFY(range > 0);
    QCOMPARE(label8.at(range + 1).unicode(), char16_t{0x0425});  // Cyrillic capital Ха
    QCOMPARE(label8.at(range + 3).unicode(), char16_t{'Y'});
    QCOMPARE(label8.at(label8.indexOf("где ") + 4).unicode(), char16_t{0x0425});
    QVERIFY(!label8.contains(QChar('X')));
    QVERIFY(ctl::label(form, "Label9")->text().contains(QChar('Y')));

    // "Вы набрали ", the Score and the rest read as one line.
    const QLabel* label2 = ctl::label(form, "Label2");
    const QLabel* label3 = ctl::label(form, "Label3");
    const QLabel* label4 = ctl::label(form, "Label4");
    QCOMPARE(label2->y(), label3->y());
    QVERIFY(label2->geometry().right() < label3->x());
    QVERIFY(label3->geometry().right() < label4->x());
}

void LayoutTest::testWindowAtStartAndPictures() {
    Program program;
    TUserForm* form = program.windows->testWindow();
    for (int k = 1; k <= 6; ++k) {
        QCOMPARE(ctl::button(form, k)->isVisibleTo(form), k <= 2);
        QCOMPARE(ctl::label(form, "TextVar", k)->isVisibleTo(form), k <= 2);
    }
    QCOMPARE(ctl::as<QFrame>(form, "Panel1")->frameShadow(), QFrame::Sunken);
    QVERIFY(ctl::button(program.windows->about(), "OKButton")->isDefault());

    // The pictures are drawn unscaled from their top-left corners.
    QLabel* managerPicture = ctl::label(program.windows->manager(), "Image1");
    QLabel* aboutPicture = ctl::label(program.windows->about(), "Image1");
    for (QLabel* picture : {managerPicture, aboutPicture}) {
        QVERIFY(!picture->hasScaledContents());
        QCOMPARE(picture->alignment(), Qt::AlignLeft | Qt::AlignTop);
    }
    QCOMPARE(managerPicture->pixmap().size(), QSize(360, 270));
    QCOMPARE(aboutPicture->pixmap().size(), QSize(76, 72));
    QVERIFY(program.windows->manager()->windowIcon().availableSizes().contains(QSize(32, 32)));
}

void LayoutTest::memos() {
    Program program;
    QPlainTextEdit* question = ctl::memo(program.windows->testWindow(), "Memo1");
    QVERIFY(question->isReadOnly());
    QCOMPARE(question->frameShape(), QFrame::NoFrame);
    QCOMPARE(question->palette().color(QPalette::Base).rgb(), qRgb(192, 192, 192));
    QCOMPARE(question->lineWrapMode(), QPlainTextEdit::WidgetWidth);

    QPlainTextEdit* result = ctl::memo(program.windows->resultWindow(), "Memo1");
    QVERIFY(result->isReadOnly());
    QCOMPARE(result->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    QCOMPARE(result->lineWrapMode(), QPlainTextEdit::WidgetWidth);

    QPlainTextEdit* messages = ctl::memo(program.windows->editor(), "Memo2");
    QVERIFY(!messages->isReadOnly());
    QCOMPARE(messages->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
}

void LayoutTest::managerMenu() {
    Program program;
    TManag* m = program.windows->manager();
    QMenu* file = ctl::as<QMenu>(m, "N1");
    QMenu* help = ctl::as<QMenu>(m, "N2");
    const QList<QAction*> menus = m->menuBar()->actions();
    QCOMPARE(menus.size(), 2);
    QCOMPARE(menus[0]->menu(), file);
    QCOMPARE(menus[1]->menu(), help);
    QCOMPARE(file->title(), QString("&Файл"));
    QCOMPARE(help->title(), QString("&Помощь"));

    // The specified items keep their order and names; the program's own
    // ("Недавние" and the like) stand between "Запустить" and "Выход".
    QStringList items;
    for (QAction* a : file->actions() + help->actions())
        if (a->objectName().startsWith('N')) items << a->objectName() + " " + a->text();
    QCOMPARE(items, (QStringList{"N3 Новый", "N4 Редактировать", "N5 Запустить", "N6 Выход",
                                 "N7 Инструктаж", "N8 О программе..."}));
    const QList<QAction*> fileItems = file->actions();
    const qsizetype recent = fileItems.indexOf(ctl::as<QMenu>(m, "RecentTests")->menuAction());
    QVERIFY(recent > fileItems.indexOf(ctl::action(m, "N5")));
    QVERIFY(recent < fileItems.indexOf(ctl::action(m, "N6")));
}

void LayoutTest::tabChains_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("chain");
    QTest::newRow("Manag") << "Manag" << QStringList{"Button1", "Button2", "Button3"};
    QTest::newRow("UserForm") << "UserForm"
                              << QStringList{"Button1", "Button2", "Button3", "Button4",
                                             "Button5", "Button6", "Memo1"};
    QStringList editor{"Edzag"};
    for (int k = 1; k <= 6; ++k) editor << num("EdButt", k);
    editor << "Edvar";
    for (int k = 1; k <= 6; ++k) editor << num("Kball", k);
    editor << "predvop"
           << "nextvop"
           << "Vopros"
           << "v4"
           << "v5"
           << "v6"
           << "Memo2"
           << "Button10"
           << "Button12"
           << "Edit1"
           << "Edit2"
           << "v3"
           << "v2"
           << "v1"
           << "RB1"
           << "RB2"
           << "RB3";
    QTest::newRow("Redactor") << "Redactor" << editor;
    QTest::newRow("AB") << "AB" << QStringList{"OKButton"};
}

void LayoutTest::tabChains() {
    QFETCH(QString, name);
    QFETCH(QStringList, chain);
    Program program;
    QStringList actual = tabChain(window(program, name));
    // The chain is a ring; read it from its first expected control.
    const auto first = actual.indexOf(chain.first());
    QVERIFY(first >= 0);
    actual = actual.mid(first) + actual.mid(0, first);
    QCOMPARE(actual, chain);
}

void LayoutTest::tabKeyInTheTestWindow_data() {
    QTest::addColumn<int>("buttons");
    QTest::addColumn<QStringList>("visits");
    QTest::newRow("six buttons") << 6 << QStringList{"Button2", "Button3", "Button4", "Button5",
                                                     "Button6", "Memo1",   "Button1"};
    QTest::newRow("two buttons: hidden ones are skipped")
        << 2 << QStringList{"Button2", "Memo1", "Button1"};
}

void LayoutTest::tabKeyInTheTestWindow() {
    QFETCH(int, buttons);
    QFETCH(QStringList, visits);
    Program program;
    std::string info = "Info=(1\x05" + std::to_string(buttons) +
                       "\x05"
                       "1)";
    program.platform.openAnswers.push_back(program.writeTest(
        "t.tst",
        {info,
         "Title=(T\x05"
         "A\x05"
         "C)",
         "Buttons=(1\x05"
         "2\x05"
         "3\x05"
         "4\x05"
         "5\x05"
         "6)",
         "Questions:", "Q", "Variants: none", "Numbers:", "0,0,0,0,0,0,", "Message:", "$"}));
    QTest::mouseClick(ctl::button(program.windows->manager(), "Button3"), Qt::LeftButton);
    TUserForm* form = program.windows->testWindow();
    QVERIFY(QTest::qWaitForWindowActive(form));

    ctl::button(form, 1)->setFocus(Qt::TabFocusReason);
    QStringList visited;
    for (qsizetype i = 0; i < visits.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(visited, visits);
}

void LayoutTest::previewBesideTheEditor_data() {
    QTest::addColumn<QRect>("screen");
    QTest::addColumn<QRect>("editor");
    QTest::addColumn<QPoint>("preview");     // where a 680 x 600 frame goes; (-1, -1) for centred
    QTest::addColumn<QPoint>("editorAt");    // where the editor goes
    const QRect editor(834, 200, 891, 540);  // centred on 2560 x 1440
    QTest::newRow("room on the right")
        << QRect(0, 0, 2560, 1440) << editor << QPoint(1725, 200) << editor.topLeft();
    QTest::newRow("room only on the left")
        << QRect(0, 0, 2400, 1440) << editor << QPoint(154, 200) << editor.topLeft();
    QTest::newRow("room for both: side by side, centred together")
        << QRect(0, 0, 1920, 1080) << QRect(514, 270, 891, 540) << QPoint(1065, 270)
        << QPoint(174, 270);
    QTest::newRow("room on neither side")
        << QRect(0, 0, 1280, 1024) << QRect(194, 242, 891, 540) << QPoint(-1, -1) << QPoint(-1, -1);
    QTest::newRow("lifted to stay on the screen")
        << QRect(0, 0, 2560, 1000) << QRect(834, 500, 891, 540) << QPoint(1725, 400)
        << QPoint(834, 500);
}

void LayoutTest::previewBesideTheEditor() {
    QFETCH(QRect, screen);
    QFETCH(QRect, editor);
    QFETCH(QPoint, preview);
    QFETCH(QPoint, editorAt);
    const auto at = placeBeside(editor, {680, 600}, screen);
    QCOMPARE(at ? at->window : QPoint(-1, -1), preview);
    QCOMPARE(at ? at->anchor : QPoint(-1, -1), editorAt);
}

namespace {

// Words up to `length` characters: "слово слово …".
std::string words(std::size_t length) {
    std::string text;
    while (text.size() + 6 <= length) text += text.empty() ? "Ширина" : " ширина";
    return text;
}

}  // namespace

void LayoutTest::testWindowShowsEveryTextWhole_data() {
    QTest::addColumn<QStringList>("texts");  // title, each variant, author line, each caption
    QTest::addColumn<int>("titlePixels");
    QTest::addColumn<bool>("drawnPlaces");  // everything where the window is drawn it
    const QString longText = QString::fromStdString(words(80));
    QTest::newRow("short texts") << QStringList{"Физика", "Да", "Петров", "Да"} << 32 << true;
    QTest::newRow("a long title wraps in its own size")
        << QStringList{longText.left(60), "Да", "Петров", "Да"} << 32 << false;
    QTest::newRow("variants of 80 characters wrap, and the window scrolls")
        << QStringList{"Физика", longText, "Петров", "Да"} << 32 << false;
    QTest::newRow("a long author line")
        << QStringList{"Физика", "Да", longText + longText, "Да"} << 32 << false;
    QTest::newRow("a title of one word too wide for any line: smaller, then broken anywhere")
        << QStringList{QString(50, 'W'), "Да", "Петров", "Да"} << 20 << false;
    QTest::newRow("long button captions: two lines, smaller")
        << QStringList{"Физика", "Да", "Петров", "Не знаю, затрудняюсь ответить"} << 32 << true;
}

void LayoutTest::testWindowShowsEveryTextWhole() {
    QFETCH(QStringList, texts);
    QFETCH(int, titlePixels);
    const QString &title = texts[0], &variant = texts[1], &author = texts[2], &caption = texts[3];
    QFETCH(bool, drawnPlaces);
    Program program;
    std::vector<std::string> test{
        "Info=(1\x05"
        "6\x05"
        "3)",
        "Title=(" + title.toStdString() + "\x05" + author.toStdString() +
            "\x05"
            "C)",
        "Buttons=(" + QStringList(6, caption).join('\x05').toStdString() + ")",
        "Questions:",
        "Q",
        "Variants: all"};
    test.insert(test.end(), 6, variant.toStdString());
    test.insert(test.end(), {"Numbers:", "0,0,0,0,0,0,", "Message:", "=0-0", "$"});
    program.platform.openAnswers.push_back(program.writeTest("t.tst", test));
    QTest::mouseClick(ctl::button(program.windows->manager(), "Button3"), Qt::LeftButton);
    TUserForm* form = program.windows->testWindow();
    QVERIFY(QTest::qWaitForWindowExposed(form));
    const QWidget* client = form->findChild<QWidget*>("UserFormClient");
    const QWidget* panel = ctl::find(form, "Panel1");

    // Each text whole, within the window's width, none over another.
    QList<QRect> places;
    for (const QLabel* label : form->findChildren<QLabel*>()) {
        if (!label->isVisibleTo(form) || label->text().isEmpty()) continue;
        QVERIFY2(label->parentWidget()->rect().contains(label->geometry()),
                 qPrintable(label->objectName()));
        if (label->wordWrap())
            QVERIFY(label->height() >= label->heightForWidth(label->width()));
        else
            QVERIFY(label->width() >= label->sizeHint().width());
        const QRect place(label->mapTo(client, QPoint()), label->size());
        for (const QRect& other : places)
            QVERIFY2(!other.intersects(place), qPrintable(label->objectName()));
        places << place;
    }
    QCOMPARE(ctl::label(form, "Zagolov")->font().pixelSize(), titlePixels);
    QVERIFY(ctl::label(form, "Zagolov")->geometry().bottom() < panel->y());
    for (int k = 1; k <= 6; ++k) {
        const QPushButton* button = ctl::button(form, k);
        QVERIFY(panel->geometry().bottom() < button->y());
        for (const QString& line : button->text().split('\n'))
            QVERIFY(button->fontMetrics().horizontalAdvance(line) < button->width());
        QCOMPARE(button->accessibleName().isEmpty() ? button->text() : button->accessibleName(),
                 caption);
    }
    if (drawnPlaces) {
        QCOMPARE(panel->geometry(), QRect(16, 72, 633, 369));
        QCOMPARE(ctl::label(form, "TextVar", 6)->pos(), QPoint(40, 304));
        QCOMPARE(ctl::button(form, 6)->pos(), QPoint(352, 520));
        QCOMPARE(form->size(), QSize(666, 571));
    }

    // The window stays on its screen, and Tab brings every button into view.
    const QRect screen = form->screen()->availableGeometry();
    QVERIFY(form->height() <= screen.height() && form->width() <= screen.width());
    ctl::button(form, 1)->setFocus(Qt::TabFocusReason);
    for (int k = 1; k <= 6; ++k) {
        QPushButton* button = ctl::button(form, k);
        QCOMPARE(QApplication::focusWidget(), button);
        const QRect shown(button->mapTo(form, QPoint()), button->size());
        QVERIFY2(form->rect().contains(shown), qPrintable(button->objectName()));
        QTest::keyClick(button, Qt::Key_Tab);
    }
}

QTEST_MAIN(LayoutTest)
#include "layout_test.moc"
