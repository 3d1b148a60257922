// Takes a picture of each of the program's windows, in the states a person
// sees them: the manager, the editor beside its preview, a test being taken,
// a result, the error window and the About window.
//   quorvane-screenshots OUTPUT_FOLDER
#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>
#include <deque>

#include "ab.h"
#include "app_windows.h"
#include "cp1251.h"
#include "encoding.h"
#include "errorform.h"
#include "fonts.h"
#include "manag.h"
#include "platform.h"
#include "redactor.h"
#include "resform.h"
#include "writer.h"
#include "userform.h"
#include "widgets.h"

namespace {

// Answers the open dialog from a list; everything else is printed.
class ScriptedPlatform : public Platform {
public:
    std::deque<QString> names;
    std::optional<QString> openTestFile(QWidget*, const QString&) override { return next(); }
    std::optional<QString> saveTestFile(QWidget*, const QString&) override { return next(); }
    std::optional<QString> saveResultFile(QWidget*, const QString&) override { return next(); }
    void showError(const QString& m) override { std::fprintf(stderr, "error box: %s\n", qPrintable(m)); }
    void showInformation(const QString& m) override { std::fprintf(stderr, "information: %s\n", qPrintable(m)); }
    bool askYesNo(const QString&) override { return false; }
    void showHelp(const QString&) override {}

private:
    std::optional<QString> next() {
        if (names.empty()) return std::nullopt;
        QString n = names.front();
        names.pop_front();
        return n;
    }
};

void writeExample(const QString& path) {
    const std::vector<std::string> lines = {
        "Info=(2\x05" "3\x05" "3)",
        qv::cp1251::fromUtf8("Title=(Проверка знаний\x05Неизвестен\x05Тест)"),
        qv::cp1251::fromUtf8("Buttons=(Да\x05Нет\x05Не знаю)"),
        "Questions:",
        qv::cp1251::fromUtf8("Земля круглая?"),
        qv::cp1251::fromUtf8("Луна больше Земли?"),
        "Variants: all",
        qv::cp1251::fromUtf8("Верно"),
        qv::cp1251::fromUtf8("Неверно"),
        qv::cp1251::fromUtf8("Затрудняюсь ответить"),
        qv::cp1251::fromUtf8("Больше"),
        qv::cp1251::fromUtf8("Меньше"),
        qv::cp1251::fromUtf8("Не знаю"),
        "Numbers:",
        "2,0,1,0,2,1,",
        "Message:",
        "=0-2",
        qv::cp1251::fromUtf8("Стоит повторить материал."),
        "=3-4",
        qv::cp1251::fromUtf8("Хороший результат."),
        "$",
    };
    qv::writeLines(fileNameBytes(path), lines);
}

void settle() {
    for (int i = 0; i < 5; ++i) {
        QApplication::processEvents();
        QTest::qWait(20);
    }
}

bool save(QWidget* window, const QDir& folder, const char* name) {
    settle();
    const QString path = folder.filePath(QString::fromLatin1(name) + ".png");
    const bool ok = window->grab().save(path);
    std::printf("%s %s\n", ok ? "saved" : "FAILED", qPrintable(path));
    return ok;
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationName("Quorvane");
    QApplication::setQuitOnLastWindowClosed(false);
    fonts::installSubstitutes();
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
        return 2;
    }
    QDir folder(QString::fromLocal8Bit(argv[1]));
    folder.mkpath(".");
    QTemporaryDir temp;
    const QString example = temp.filePath("example.tst");
    writeExample(example);

    ScriptedPlatform platform;
    AppWindows windows(platform, [] {});
    bool ok = true;

    showWindow(windows.Manag);
    ok &= save(windows.Manag, folder, "1-manager");

    windows.Manag->Creat();
    windows.Redactor->Vopros->setText("Земля круглая?");
    windows.Redactor->variantEdit(1)->setText("Верно");
    windows.Redactor->variantEdit(2)->setText("Неверно");
    windows.Redactor->Memo2->setPlainText("=0-2\nСтоит повторить материал.\n=3-4\nХороший результат.");
    windows.Redactor->TextVoprosa();
    windows.Redactor->printVariants();
    windows.Redactor->Copyright();
    ok &= save(windows.Redactor, folder, "2-editor");
    ok &= save(windows.UserForm, folder, "3-preview");
    windows.Redactor->CloseRedactor();

    platform.names = {example};
    windows.Manag->Start();
    ok &= save(windows.UserForm, folder, "4-test");
    windows.UserForm->Button1->click();
    windows.UserForm->Button1->click();
    ok &= save(windows.ResForm, folder, "5-result");
    windows.ResForm->CloseTest();

    windows.ErrorForm->showScore(21);
    showWindow(windows.ErrorForm);
    ok &= save(windows.ErrorForm, folder, "6-error");
    windows.ErrorForm->StartRec();

    showWindow(windows.AB);
    ok &= save(windows.AB, folder, "7-about");
    return ok ? 0 : 1;
}
