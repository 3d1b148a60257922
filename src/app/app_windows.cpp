#include "app_windows.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QShortcut>
#include <QWidget>
#include <mutex>
#include <thread>

#include "ab.h"
#include "command_line.h"
#include "encoding.h"
#include "errorform.h"
#include "manag.h"
#include "os_kept_copies.h"
#include "platform.h"
#include "redactor.h"
#include "resform.h"
#include "results_and_export.h"
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

AppWindows::AppWindows(Platform& platform, std::function<void()> quit)
    : platform_(platform),
      failures_(platform),
      services_{session_, platform, failures_},
      quit_(std::move(quit)) {
    static const bool accessibleWindows =
        (QAccessible::installFactory(secondaryWindowAccessible), true);
    (void)accessibleWindows;
    session_.onChange = [this](unsigned changed) { showChanges(changed); };
    runJournal_ = std::make_unique<RunJournal>(platform_);
    session_.running().onRunFinished = [this](const qv::FinishedRun& run) {
        runJournal_->record(run);
    };
    manag_ = new TManag(services_);
    connectManager();
    addHelpKey(manag_);
}

struct AppWindows::LaterReport {
    std::mutex mutex;
    AppWindows* windows = nullptr;
};

AppWindows::~AppWindows() {
    if (laterReport_) {
        const std::lock_guard<std::mutex> lock(laterReport_->mutex);
        laterReport_->windows = nullptr;
    }
    session_.onChange = nullptr;
    session_.running().onRunFinished = nullptr;
    delete journal_;
    // Hidden first, so that no window's handlers run while its neighbours go.
    const auto windows = all();
    for (QWidget* w : windows) w->hide();
    for (auto it = windows.rbegin(); it != windows.rend(); ++it) delete *it;
}

std::vector<QWidget*> AppWindows::all() const {
    std::vector<QWidget*> windows;
    for (QWidget* w : std::initializer_list<QWidget*>{manag_, redactor_, userForm_, resForm_,
                                                      errorForm_, about_}) {
        if (w) windows.push_back(w);
    }
    return windows;
}

void AppWindows::showChanges(unsigned changed) {
    if (redactor_) {
        if (changed & qv::kEditorHeader) redactor_->showHeader();
        if (changed & qv::kEditorButtons) redactor_->showButtonCount();
        if (changed & qv::kEditorQuestion) redactor_->showQuestion();
        if (changed & qv::kEditorMessages) redactor_->showMessages();
    }
    if (userForm_) {
        if (changed & qv::kTestTitle) userForm_->showTitle();
        if (changed & qv::kTestButtons) userForm_->showButtons();
        if (changed & qv::kTestQuestion) userForm_->showQuestion();
        if (changed & qv::kTestVariants) userForm_->showVariants();
        if (changed & qv::kRunReady) userForm_->runReady();
    }
}

// Which windows each command opens and closes, in the order the program's
// window flow gives.
void AppWindows::connectManager() {
    // Work in the editor is not thrown away unasked.
    manag_->setLeaveCheck([this] { return !redactor_ || redactor_->mayLeave(); });
    QObject::connect(manag_, &TManag::runFailed, manag_,
                     services_.guard([this] { backToManager(); }));
    QObject::connect(manag_, &TManag::newTestOpening, manag_, services_.guard([this] {
        // The preview opens beside the editor where the screen has room for both.
        moveBeside(testWindow(), editor(), frameMargins(manag_));
        showWindow(testWindow());
        editor()->openForWork();
        manag_->hide();
    }));
    QObject::connect(manag_, &TManag::editingOpening, manag_, services_.guard([this] {
        centreOnScreen(editor());  // a new test may have moved it aside for its preview
        editor()->openForWork();
        manag_->hide();
    }));
    QObject::connect(manag_, &TManag::runOpening, manag_, services_.guard([this] {
        if (redactor_) redactor_->hide();
        // Other takers' names and scores are not for the one taking the test.
        if (journal_) journal_->hide();
        manag_->hide();
        showWindow(testWindow());
    }));
    // The taker's name, while runs are recorded, once the test could be read:
    // a test that cannot be taken asks no name.
    QObject::connect(manag_, &TManag::runLoaded, manag_,
                     services_.guard([this] { runJournal_->beginRun(testWindow()); }));
    QObject::connect(manag_, &TManag::journalRequested, manag_, services_.guard([this] {
        QWidget* window = journalWindow();
        resultsAndExport().reloadJournalWindow(window);
        showWindow(window);
    }));
    QObject::connect(manag_, &TManag::aboutRequested, manag_,
                     services_.guard([this] { showWindow(about()); }));
    QObject::connect(manag_, &TManag::exportRequested, manag_, services_.guard([this] {
        const std::optional<QString> test = platform_.openTestFile(manag_, QString());
        if (test) resultsAndExport().askExport(services_, *test, manag_);
    }));
    QObject::connect(manag_, &TManag::closed, manag_, services_.guard([this] { quit_(); }));
}

TRedactor* AppWindows::editor() {
    if (redactor_) return redactor_;
    redactor_ = new TRedactor(services_);
    addHelpKey(redactor_);
    QObject::connect(redactor_, &TRedactor::closing, redactor_, services_.guard([this] {
        if (userForm_) userForm_->hide();
        redactor_->hide();
        showWindow(manag_);
    }));
    return redactor_;
}

TUserForm* AppWindows::testWindow() {
    if (userForm_) return userForm_;
    userForm_ = new TUserForm(services_);
    addHelpKey(userForm_);
    QObject::connect(userForm_, &TUserForm::runEnded, userForm_, [this](bool found) {
        failures_.run([this, found] {
            userForm_->hide();
            if (found) {
                resultWindow()->showResult();
                showWindow(resForm_);
            } else {
                errorWindow()->showScore();
                showWindow(errorForm_);
            }
        });
    });
    QObject::connect(userForm_, &TUserForm::closedByUser, userForm_,
                     services_.guard([this] { showWindow(manag_); }));
    return userForm_;
}

TResForm* AppWindows::resultWindow() {
    if (resForm_) return resForm_;
    resForm_ = new TResForm(services_);
    addHelpKey(resForm_);
    QObject::connect(resForm_, &TResForm::closing, resForm_, services_.guard([this] {
        resForm_->hide();
        showWindow(manag_);
    }));
    return resForm_;
}

TErrorForm* AppWindows::errorWindow() {
    if (errorForm_) return errorForm_;
    errorForm_ = new TErrorForm(services_);
    addHelpKey(errorForm_);
    QObject::connect(errorForm_, &TErrorForm::closing, errorForm_, services_.guard([this] {
        errorForm_->hide();
        showWindow(manag_);
    }));
    return errorForm_;
}

TAB* AppWindows::about() {
    if (!about_) {
        about_ = new TAB(services_);
        addHelpKey(about_);
    }
    return about_;
}

QWidget* AppWindows::journalWindow() {
    if (!journal_) {
        journal_ = resultsAndExport().makeJournalWindow(services_, *runJournal_);
        addHelpKey(journal_);
    }
    return journal_;
}

void AppWindows::addHelpKey(QWidget* window) {
    // A shortcut of its own in each window: one of the whole program would
    // stop working while its window is hidden.
    auto* help = new QShortcut(QKeySequence(Qt::Key_F1), window);
    QObject::connect(help, &QShortcut::activated, window, services_.guard([this] {
        platform_.showHelp(QString::fromLatin1(TManag::kHelpFile));
    }));
}

void AppWindows::backToManager() {
    if (redactor_ && redactor_->isVisible()) redactor_->CloseRedactor();
    if (userForm_ && userForm_->isVisible()) userForm_->close();
}

void AppWindows::openFromCommandLine(const CommandLine& line) {
    using Action = CommandLine::Action;
    if (line.action == Action::Edit && line.files.isEmpty()) {
        failures_.run([this] { manag_->Editing(); });
        return;
    }
    if (line.action != Action::Run && line.action != Action::Edit) return;
    const QString& file = line.files.first();
    const bool taken = failures_.run(
        [&] { line.action == Action::Edit ? manag_->editFile(file) : manag_->runFile(file); });
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
    tellInterruptedSaves(qv::os::interruptedSaves());
}

void AppWindows::reportInterruptedSavesLater() {
    auto report = std::make_shared<LaterReport>();
    report->windows = this;
    laterReport_ = report;
    QObject* receiver = QCoreApplication::instance();
    std::thread([report, receiver] {
        std::vector<qv::os::InterruptedSave> saves;
        try {
            qv::os::removeLeftoverTemporaries();
            saves = qv::os::interruptedSaves();
        } catch (...) {
            return;  // nothing to tell that could be trusted
        }
        const std::lock_guard<std::mutex> lock(report->mutex);
        if (!report->windows) return;
        QMetaObject::invokeMethod(
            receiver,
            [report, saves] {
                AppWindows* windows = nullptr;
                {
                    const std::lock_guard<std::mutex> held(report->mutex);
                    windows = report->windows;
                }
                if (windows) windows->tellInterruptedSaves(saves);
            },
            Qt::QueuedConnection);
    }).detach();
}

void AppWindows::tellInterruptedSaves(const std::vector<qv::os::InterruptedSave>& saves) {
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
    failures_.run([&] { platform_.showInformation(heading + "\n\n" + told.join("\n\n")); });
    for (const auto& save : saves) qv::os::forgetInterruptedSave(save);
}

void AppWindows::endEventLoop() {
    QCoreApplication::exit(0);
}
