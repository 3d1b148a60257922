// Quorvane: making and taking simple scored tests.
#include <QApplication>
#include <QCoreApplication>
#include <QFileInfo>
#include <QTimer>
#include <cstdio>

#include "app_windows.h"
#include "command_line.h"
#include "cp1251.h"
#include "errors.h"
#include "fonts.h"
#include "manag.h"
#include "os_signals.h"
#include "pg_journal_store.h"
#include "qt_platform.h"
#include "results_and_export.h"
#include "run_journal.h"
#include "window_frames.h"

namespace {

QStringList argumentsOf(int argc, char* argv[]) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

void nameTheApplication() {
    // The application title. No display name is set: it would be appended
    // to every window caption.
    QCoreApplication::setApplicationName("Quorvane");
    QCoreApplication::setApplicationVersion(QStringLiteral(QV_VERSION));
}

// The journal's and a test's exports, and a class served from the command
// line, by the parts loaded for them.
int exportWithoutWindows(const CommandLine& line) {
    try {
        ResultsAndExport& parts = resultsAndExport();
        if (line.action == CommandLine::Action::Serve) return parts.serve(line, stdout, stderr);
        if (line.action == CommandLine::Action::JournalSetup)
            return parts.setupServerJournal(line.journalFolder, stdout, stderr);
        return line.action == CommandLine::Action::Export
                   ? parts.exportTest(line, stdout, stderr)
                   : parts.exportJournal(line.journalFolder, line.journalCsv, stdout, stderr);
    } catch (const qv::Exception& failure) {
        std::fprintf(stderr, "quorvane: %s\n", qv::cp1251::toUtf8(failure.message()).c_str());
        return 2;
    }
}

// Help, the version, the check of test files, or what is wrong with the
// command line: printed, with no window and no display needed.
int runWithoutWindows(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    nameTheApplication();
    QtPlatform::prepareToolkit();
    const CommandLine line = readCommandLine(QCoreApplication::arguments());
    switch (line.action) {
        case CommandLine::Action::Help:
        case CommandLine::Action::Version:
            std::printf("%s\n", line.text.trimmed().toUtf8().constData());
            return 0;
        case CommandLine::Action::Check:
            return checkTestFiles(line.files, stdout);
        case CommandLine::Action::JournalExport:
        case CommandLine::Action::JournalSetup:
        case CommandLine::Action::Export:
            return exportWithoutWindows(line);
        case CommandLine::Action::Serve:
            return exportWithoutWindows(line);
        default:
            std::fprintf(stderr, "quorvane: %s\nПодробнее: quorvane --help\n",
                         line.text.toUtf8().constData());
            return 2;
    }
}

}  // namespace

int main(int argc, char* argv[]) {
    // A save into a pipe or past the file size limit fails with a message.
    qv::os::keepRunningOnWriteFailures();
    const CommandLine line = readCommandLine(argumentsOf(argc, argv));
    if (line.windowless()) return runWithoutWindows(argc, argv);

    fonts::ConfigurationLoader fontConfiguration;
    QApplication application(argc, argv);
    nameTheApplication();
    // What is read only once the application exists (a results server's
    // address) may still make the command line wrong.
    if (const CommandLine again = readCommandLine(QCoreApplication::arguments());
        again.action == CommandLine::Action::Wrong) {
        std::fprintf(stderr, "quorvane: %s\nПодробнее: quorvane --help\n",
                     again.text.toUtf8().constData());
        return 2;
    }
    QApplication::setDesktopFileName("org.quorvane.Quorvane");
    QApplication::setWindowIcon(programIcon());
    // Windows are hidden and shown, never closed, while the program runs; only
    // the manager window's close ends it.
    QApplication::setQuitOnLastWindowClosed(false);
    fontConfiguration.wait();
    fonts::installSubstitutes();
    QtPlatform::prepareToolkit();

    QtPlatform platform;
    // The other windows are made when first needed: the manager is up sooner.
    AppWindows windows(platform);
    if (!line.journalFolder.isEmpty()) windows.runJournal().recordForThisStart(line.journalFolder);
    showWindow(windows.manager());
    QTimer::singleShot(0, &application, [&windows, line] {
        windows.reportInterruptedSavesLater();
        // Records left waiting for the results server by an earlier start go
        // now; without such records the parts behind them are not loaded.
        if (QFileInfo::exists(serverQueueFile()) ||
            qv::isServerJournal(windows.runJournal().folder().toStdString())) {
            TManag* manager = windows.manager();
            try {
                resultsAndExport().sendQueued(
                    manager, [manager](int waiting) { manager->showWaitingRecords(waiting); });
            } catch (const qv::Exception&) {
                // Told when the journal is used.
            }
        }
        windows.openFromCommandLine(line);
    });
    return QApplication::exec();
}
