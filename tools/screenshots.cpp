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

#include "ab.h"
#include "app_windows.h"
#include "class_session.h"
#include "class_window.h"
#include "core_support.h"
#include "encoding.h"
#include "errorform.h"
#include "fonts.h"
#include "gui_support.h"
#include "manag.h"
#include "redactor.h"
#include "resform.h"
#include "session.h"
#include "session_setup.h"
#include "userform.h"
#include "window_frames.h"

namespace {

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
    // The worked example of the file format, as the tests keep it; a run only reads it.
    const QString example = fileNameText(qvtest::workedExamplePath());

    FakePlatform platform;
    AppWindows windows(platform, [] {});
    bool ok = true;

    showWindow(windows.manager());
    ok &= save(windows.manager(), folder, "1-manager");

    ctl::button(windows.manager(), "Button1")->click();  // "Новый тест"
    TRedactor* editor = windows.editor();
    ctl::edit(editor, "Vopros")->setText("Земля круглая?");
    ctl::edit(editor, "v", 1)->setText("Верно");
    ctl::edit(editor, "v", 2)->setText("Неверно");
    ctl::memo(editor, "Memo2")
        ->setPlainText("=0-2\nСтоит повторить материал.\n=3-4\nХороший результат.");
    // The preview as it is once the author has left those fields.
    windows.session().editing().preview(qv::EditorField::QuestionText);
    windows.session().editing().preview(qv::EditorField::Variant);
    windows.session().editing().preview(qv::EditorField::Author);
    ok &= save(editor, folder, "2-editor");
    ok &= save(windows.testWindow(), folder, "3-preview");
    editor->CloseRedactor();

    platform.openAnswers.push_back(example);
    ctl::button(windows.manager(), "Button3")->click();  // "Запустить"
    ok &= save(windows.testWindow(), folder, "4-test");
    ctl::button(windows.testWindow(), 1)->click();
    ctl::button(windows.testWindow(), 1)->click();
    ok &= save(windows.resultWindow(), folder, "5-result");
    ctl::button(windows.resultWindow(), "Button3")->click();  // "Закрыть"

    // The error window as a run whose Score no range holds leaves it.
    qv::SessionSetUp::run(windows.session()).score = 21;
    windows.errorWindow()->showScore();
    showWindow(windows.errorWindow());
    ok &= save(windows.errorWindow(), folder, "6-error");
    ctl::button(windows.errorWindow(), "Button1")->click();  // "Хорошо"

    showWindow(windows.about());
    ok &= save(windows.about(), folder, "7-about");

    // A class under way, served on this computer only: two pupils have finished.
    if (qEnvironmentVariableIsEmpty("QUORVANE_WEB_DIR"))
        qputenv("QUORVANE_WEB_DIR",
                (QCoreApplication::applicationDirPath() + "/../src/app/web").toLocal8Bit());
    qv::ServeOptions options;
    options.loopbackOnly = true;
    QString problem;
    QTemporaryDir journal;
    if (auto session = ClassSession::open(example, journal.path(), options, problem)) {
        qv::ClassRoom& room = session->room();
        const auto ignore = [](const qv::RoomReply&) {};
        for (const char* name : {"Анна Смирнова", "Борис Петров", "Вера Иванова"}) {
            const std::string json = room.start(name).json;
            const std::size_t at = json.find("\"token\":\"") + 9;
            const std::string token = json.substr(at, 32);
            room.answer(token, 1, name[1] == '\x90' ? 1 : 2, ignore);
            if (name[1] != '\x92') room.answer(token, 2, 1, ignore);
        }
        while (room.recordedRuns() < 2) QTest::qWait(20);
        auto* window = new ClassWindow(windows.services(), std::move(session), "example.tst");
        window->show();
        ok &= save(window, folder, "8-class");
        window->finish();
    } else {
        std::fprintf(stderr, "class: %s\n", qPrintable(problem));
        ok = false;
    }

    // A window that reported anything is not as a person sees it.
    for (const QString& message : platform.errors)
        std::fprintf(stderr, "error box: %s\n", qPrintable(message));
    for (const QString& message : platform.informations) {
        std::fprintf(stderr, "information: %s\n", qPrintable(message));
    }
    if (!platform.openAnswers.empty()) std::fprintf(stderr, "the open dialog was not shown\n");
    ok &= platform.errors.isEmpty() && platform.informations.isEmpty() &&
          platform.openAnswers.empty();
    return ok ? 0 : 1;
}
