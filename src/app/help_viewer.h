// The help viewer: shows a help file in a window of its own. It looks for the
// file in the working folder, then beside the program, then in the installed
// data folder, and says so in its own words when it cannot find or read it.
#pragma once

#include <QStringList>
#include <QWidget>

class QTextBrowser;

class HelpViewer : public QWidget {
    Q_OBJECT
  public:
    HelpViewer();

    // Where a bare help file name is looked for, in order.
    static QStringList searchFolders();
    // The first existing file of that name in those folders, or an empty text.
    static QString locate(const QString& helpFileName);

    // Opens the file at its contents, or reports why it cannot.
    void openContents(const QString& helpFileName);

    QTextBrowser* browser() const { return browser_; }

  private:
    QTextBrowser* browser_;
};
