#include "app_windows.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QShortcut>
#include <QWidget>

#include "ab.h"
#include "command_line.h"
#include "encoding.h"
#include "errorform.h"
#include "export_dialog.h"
#include "journal_window.h"
#include "manag.h"
#include "os_file.h"
#include "platform.h"
#include "redactor.h"
#include "resform.h"
#include "run_journal.h"
#include "userform.h"
#include "window_frames.h"

namespace {

// The editor, test, result, error and About windows are dialogs to a screen
// reader; a plain top-level widget would read as an unnamed pane.
QAccessibleInterface* secondaryWindowAccessible(const QString& className, QObject* object) {
    static const QStringList dialogs{"TRedactor", "TUserForm", "TResForm", "TErrorForm", "TAB"};
    if (!object || !object->isWidgetType() || !dialogs.contains(className)) return nullptr;
    return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Dialog);
}

}  // namespace

AppWindows::AppWindows(Platform& platform_, std::function<void()> quit, Creation creation)
    : platform(platform_),
      failures(platform_),
      services_{session, platform_, failures},
      quit_(std::move(quit)) {
    static const bool accessibleWindows =
        (QAccessible::installFactory(secondaryWindowAccessible), true);
    (void)accessibleWindows;
    session.onChange = [this](unsigned changed) { show(changed); };
    runJournal = std::make_unique<RunJournal>(platform_);
    session.onRunFinished = [this](const qv::FinishedRun& run) { runJournal->record(run); };
    Manag = new TManag(services_);
    connectManager();
    addHelpKey(Manag);
    if (creation == Creation::AllAtOnce) {
        editor();
        testWindow();
        resultWindow();
        errorWindow();
        about();
    }
}

AppWindows::~AppWindows() {
    session.onChange = nullptr;
    session.onRunFinished = nullptr;
    delete Journal;
    // Hidden first, so that no window's handlers run while its neighbours go.
    const auto windows = all();
    for (QWidget* w : windows) w->hide();
    for (auto it = windows.rbegin(); it != windows.rend(); ++it) delete *it;
}

std::vector<QWidget*> AppWindows::all() const {
    std::vector<QWidget*> windows;
    for (QWidget* w :
         std::initializer_list<QWidget*>{Manag, Redactor, UserForm, ResForm, ErrorForm, AB}) {
        if (w) windows.push_back(w);
    }
    return windows;
}

void AppWindows::show(unsigned changed) {
    if (Redactor) {
        if (changed & qv::kEditorHeader) Redactor->showHeader();
        if (changed & qv::kEditorButtons) Redactor->showButtonCount();
        if (changed & qv::kEditorQuestion) Redactor->showQuestion();
        if (changed & qv::kEditorMessages) Redactor->showMessages();
    }
    if (UserForm) {
        if (changed & qv::kTestTitle) UserForm->showTitle();
        if (changed & qv::kTestButtons) UserForm->showButtons();
        if (changed & qv::kTestQuestion) UserForm->showQuestion();
        if (changed & qv::kTestVariants) UserForm->showVariants();
        if (changed & qv::kRunReady) UserForm->runReady();
    }
}

// Which windows each command opens and closes, in the order the program's
// window flow gives.
void AppWindows::connectManager() {
    // Work in the editor is not thrown away unasked.
    Manag->setLeaveCheck([this] { return !Redactor || Redactor->mayLeave(); });
    QObject::connect(Manag, &TManag::runFailed, Manag,
                     services_.guard([this] { backToManager(); }));
    QObject::connect(Manag, &TManag::newTestOpening, Manag, services_.guard([this] {
        // The preview opens beside the editor where the screen has room for both.
        moveBeside(testWindow(), editor(), frameMargins(Manag));
        showWindow(testWindow());
        editor()->open();
        Manag->hide();
    }));
    QObject::connect(Manag, &TManag::editingOpening, Manag, services_.guard([this] {
        centreOnScreen(editor());  // a new test may have moved it aside for its preview
        editor()->open();
        Manag->hide();
    }));
    QObject::connect(Manag, &TManag::runOpening, Manag, services_.guard([this] {
        runJournal->beginRun(Manag);  // the taker's name, while runs are recorded
        if (Redactor) Redactor->hide();
        Manag->hide();
        showWindow(testWindow());
    }));
    QObject::connect(Manag, &TManag::journalRequested, Manag, services_.guard([this] {
        journalWindow()->reload();
        showWindow(Journal);
    }));
    QObject::connect(Manag, &TManag::aboutRequested, Manag,
                     services_.guard([this] { showWindow(about()); }));
    QObject::connect(Manag, &TManag::exportRequested, Manag, services_.guard([this] {
        const std::optional<QString> test = platform.openTestFile(Manag, QString());
        if (!test) return;
        ExportDialog dialog(services_, *test, Manag);
        dialog.exec();
    }));
    QObject::connect(Manag, &TManag::closed, Manag, services_.guard([this] { quit_(); }));
}

TRedactor* AppWindows::editor() {
    if (Redactor) return Redactor;
    Redactor = new TRedactor(services_);
    addHelpKey(Redactor);
    QObject::connect(Redactor, &TRedactor::closing, Redactor, services_.guard([this] {
        if (UserForm) UserForm->hide();
        Redactor->hide();
        showWindow(Manag);
    }));
    return Redactor;
}

TUserForm* AppWindows::testWindow() {
    if (UserForm) return UserForm;
    UserForm = new TUserForm(services_);
    addHelpKey(UserForm);
    QObject::connect(UserForm, &TUserForm::runEnded, UserForm, [this](bool found) {
        failures.run([this, found] {
            UserForm->hide();
            if (found) {
                showWindow(resultWindow());
                ResForm->showResult();
            } else {
                showWindow(errorWindow());
                ErrorForm->showScore();
            }
        });
    });
    QObject::connect(UserForm, &TUserForm::closedByUser, UserForm,
                     services_.guard([this] { showWindow(Manag); }));
    return UserForm;
}

TResForm* AppWindows::resultWindow() {
    if (ResForm) return ResForm;
    ResForm = new TResForm(services_);
    addHelpKey(ResForm);
    QObject::connect(ResForm, &TResForm::closing, ResForm, services_.guard([this] {
        ResForm->hide();
        showWindow(Manag);
    }));
    return ResForm;
}

TErrorForm* AppWindows::errorWindow() {
    if (ErrorForm) return ErrorForm;
    ErrorForm = new TErrorForm(services_);
    addHelpKey(ErrorForm);
    QObject::connect(ErrorForm, &TErrorForm::closing, ErrorForm, services_.guard([this] {
        ErrorForm->hide();
        showWindow(Manag);
    }));
    return ErrorForm;
}

TAB* AppWindows::about() {
    if (!AB) {
        AB = new TAB(services_);
        addHelpKey(AB);
    }
    return AB;
}

JournalWindow* AppWindows::journalWindow() {
    if (!Journal) Journal = new JournalWindow(services_, *runJournal);
    return Journal;
}

void AppWindows::addHelpKey(QWidget* window) {
    // A shortcut of its own in each window: one of the whole program would
    // stop working while its window is hidden.
    auto* help = new QShortcut(QKeySequence(Qt::Key_F1), window);
    QObject::connect(help, &QShortcut::activated, window, services_.guard([this] {
        platform.showHelp(QString::fromLatin1(TManag::kHelpFile));
    }));
}

void AppWindows::backToManager() {
    if (Redactor && Redactor->isVisible()) Redactor->CloseRedactor();
    if (UserForm && UserForm->isVisible()) UserForm->close();
}

void AppWindows::openFromCommandLine(const CommandLine& line) {
    using Action = CommandLine::Action;
    if (line.action == Action::Edit && line.files.isEmpty()) {
        failures.run([this] { Manag->Editing(); });
        return;
    }
    if (line.action != Action::Run && line.action != Action::Edit) return;
    const QString& file = line.files.first();
    const bool taken = failures.run(
        [&] { line.action == Action::Edit ? Manag->editFile(file) : Manag->runFile(file); });
    if (!taken) backToManager();
}

namespace {

// One line of the start-up report: what became of a save and what to do.
QString interruptedSaveText(const qv::os::InterruptedSave& save) {
    const QString file = fileNameText(save.targetPath);
    const QString copy = fileNameText(save.copyPath);
    switch (save.outcome) {
        case qv::os::SaveOutcome::Completed:
            return QString(
                       "Сохранение «%1» было завершено: файл содержит то, что сохранялось. "
                       "Копия его прежнего содержимого «%2» больше не нужна, её можно удалить.")
                .arg(file, copy);
        case qv::os::SaveOutcome::NotBegun:
            return QString(
                       "Сохранение «%1» было прервано до того, как файл изменился: в нём "
                       "прежнее содержимое, последние изменения в него не попали.")
                .arg(file);
        case qv::os::SaveOutcome::Interrupted:
            break;
    }
    if (save.isTest) {
        return QString(
                   "Сохранение теста «%1» не было завершено, и тест мог повредиться. Его "
                   "прежнее содержимое сохранено в файле «%2». Если тест повреждён, откройте "
                   "эту копию в редакторе и сохраните её под прежним именем.")
            .arg(file, copy);
    }
    return QString(
               "Сохранение файла «%1» не было завершено, и файл мог повредиться. Его прежнее "
               "содержимое сохранено в файле «%2». Если файл повреждён, скопируйте эту "
               "копию на его место.")
        .arg(file, copy);
}

}  // namespace

// One box for all that earlier runs left, however much it is; a box taller
// than a screen would hide its own button, so a long list is cut short.
void AppWindows::reportInterruptedSaves() {
    qv::os::removeLeftoverTemporaries();
    const auto saves = qv::os::interruptedSaves();
    if (saves.empty()) return;
    constexpr std::size_t kListed = 12;
    QStringList told;
    for (std::size_t i = 0; i < saves.size() && i < kListed; ++i)
        told << "• " + interruptedSaveText(saves[i]);
    if (saves.size() > kListed) {
        told << QString("• И ещё сохранений: %1. Копии прежнего содержимого лежат в папке «%2».")
                    .arg(saves.size() - kListed)
                    .arg(fileNameText(qv::os::copiesFolder()));
    }
    const QString heading =
        saves.size() == 1
            ? QString("Программа прервалась во время сохранения.")
            : QString("Программа прерывалась во время сохранений (%1).").arg(saves.size());
    failures.run([&] { platform.showInformation(heading + "\n\n" + told.join("\n\n")); });
    for (const auto& save : saves) qv::os::forgetInterruptedSave(save);
}

void AppWindows::endEventLoop() {
    QCoreApplication::exit(0);
}
