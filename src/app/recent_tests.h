// The tests opened or saved last and the file opened last, kept between
// starts in the user's configuration folder
// ($XDG_CONFIG_HOME/quorvane/quorvane.conf). Every instance reads and writes
// the one stored list, so the editor's saves and the manager's menu agree.
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

    // The newest first, as stored now; an unreadable store keeps nothing.
    QList<Entry> entries() const;
    // The file the open dialog offers: the one chosen last.
    QString lastFile() const;

    void setLastFile(const QString& path);
    // A test opened or saved: its entry goes to the top.
    void opened(const QString& path, Use use);
    void remove(const QString& path);

  private:
    static void write(const QList<Entry>& entries, const QString& lastFile);
};
