// Recording finished runs in the results journal: whether it is on and in
// which folder (kept between starts), the taker's name asked before a run,
// and the record written as the run ends, before its result appears. The
// store itself is reached through the parts loaded when first used
// (results_and_export.h): a program that records nothing never loads them.
#pragma once

#include <QString>
#include <memory>
#include <optional>
#include <string>

class JournalRecorder;
class Platform;
class QWidget;
namespace qv {
struct FinishedRun;
}

// The journal's texts are UTF-8, not the tests' Windows-1251.
inline QString journalText(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

class RunJournal {
  public:
    explicit RunJournal(Platform& platform);
    ~RunJournal();
    RunJournal(const RunJournal&) = delete;
    RunJournal& operator=(const RunJournal&) = delete;

    bool recording() const { return recording_; }
    const QString& folder() const { return folder_; }
    // Kept between starts, unless this start records by the command line.
    // The folder is made when the user chooses it (or turns recording on in
    // it), never when a run ends: what went wrong is returned, or nothing.
    QString setRecording(bool on);
    QString setFolder(const QString& folder);
    // `--journal FOLDER`: recording on, in that folder, for this start only.
    void recordForThisStart(const QString& folder);

    // $XDG_DATA_HOME/quorvane/journal.
    static QString defaultFolder();
    // This computer's name, which names its file in the folder for people to read.
    static QString computerName();
    // Where this installation keeps its identifier: $XDG_CONFIG_HOME/quorvane.
    static QString configFolder();

    // Before a run: while recording is on, asks the taker's name; "Отмена"
    // takes the test without recording it.
    void beginRun(QWidget* parent);
    // The end of a run, before its result appears: its record committed, or
    // the problem told, after which the result appears all the same.
    void record(const qv::FinishedRun& run);

  private:
    void save() const;

    Platform& platform_;
    bool recording_ = false;
    QString folder_;
    bool forThisStart_ = false;
    std::optional<QString> taker_;               // set for a run being recorded
    std::unique_ptr<JournalRecorder> recorder_;  // this installation's file in the folder
    bool toldFolderMissing_ = false;             // once per start and folder
};
