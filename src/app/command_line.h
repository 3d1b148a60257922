// What the program is asked to do on its command line:
//
//   quorvane                   the manager window
//   quorvane FILE              a run of FILE, as "Запустить" would start it
//   quorvane --edit [FILE]     FILE in the editor, as "Редактор" would open it;
//                              without FILE, "Редактор" itself
//   quorvane --check FILE...   the check of each file, printed; no window
//   quorvane --export-web FILE [-o PAGE], --export-scorm FILE [-o ZIP],
//            --print-key FILE [-o KEY]
//                              the test as a web page, a SCORM package or the
//                              author's key (never combined); no window
//   quorvane --journal FOLDER [FILE]  as above, every run recorded in the
//                              results journal in FOLDER, for this start only
//   quorvane --journal-export FOLDER [-o FILE.csv|FILE.xlsx]
//                              the journal in FOLDER as CSV or a spreadsheet; no window
//   quorvane --serve FILE [--port N] [--loopback] [--journal FOLDER]
//                              FILE served to a class on the local network; no window
//   quorvane --help, --version
#pragma once

#include <QString>
#include <QStringList>
#include <cstdio>

struct CommandLine {
    enum class Action {
        Start,
        Run,
        Edit,
        Check,
        JournalExport,
        JournalSetup,
        Export,
        Serve,
        Help,
        Version,
        Wrong
    };
    Action action = Action::Start;
    QStringList files;
    // --journal: the results journal's folder for this start. JournalExport:
    // the folder read and the CSV file written (empty: standard output).
    QString journalFolder;
    QString journalCsv;
    // Export: a web page, a package, or the author's key (printKey) as a
    // document of its own, and where to (empty: beside the test).
    bool exportPackage = false;
    QString output;
    bool printKey = false;
    // Serve: the port asked for (taken when free) and whether only this computer is served.
    quint16 port = 8080;
    bool loopbackOnly = false;
    // Help: the help text; Version: the version line; Wrong: what is wrong.
    QString text;

    // Whether the program needs no window for it (and so no display).
    bool windowless() const {
        return action != Action::Start && action != Action::Run && action != Action::Edit;
    }
};

// Reads the arguments, the program's name first. The texts are those of the
// installed translations.
CommandLine readCommandLine(const QStringList& arguments);

// Checks the test files, printing to `out` one line per problem (and one
// for a clean file), each starting with the file's name. Returns the exit
// status: 0 when every file is clean, 1 when any has a problem, 2 when any
// cannot be read.
int checkTestFiles(const QStringList& files, std::FILE* out);
