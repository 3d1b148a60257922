// The tests the manager opened last and the file it opened last, kept
// between starts in the user's configuration folder
// ($XDG_CONFIG_HOME/quorvane/quorvane.conf).
#pragma once

#include <QList>
#include <QString>

class RecentTests {
  public:
    // How a test was opened, and so how its entry opens it again.
    enum class Use { Run, Edit };
    struct Entry {
        QString path;
        Use use = Use::Run;
    };
    static constexpr qsizetype kKept = 5;

    // Reads what an earlier start kept; an unreadable file keeps nothing.
    RecentTests();

    // The newest first.
    const QList<Entry>& entries() const { return entries_; }
    // The file the open dialog offers: the one chosen last.
    const QString& lastFile() const { return lastFile_; }

    void setLastFile(const QString& path);
    // A test opened: its entry goes to the top.
    void opened(const QString& path, Use use);
    void remove(const QString& path);

  private:
    void write() const;

    QList<Entry> entries_;
    QString lastFile_;
};
