#include "help_viewer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QShortcut>
#include <QTextBrowser>
#include <QVBoxLayout>

#include "window_frames.h"

#ifndef QV_INSTALLED_DATA_DIR
#define QV_INSTALLED_DATA_DIR "/usr/share/quorvane"
#endif

HelpViewer::HelpViewer() : QWidget(nullptr, Qt::Window) {
    setObjectName("HelpViewer");
    setWindowTitle(QStringLiteral("Справка"));
    setWindowIcon(programIcon());
    resize(640, 560);
    browser_ = new QTextBrowser(this);
    browser_->setObjectName("HelpText");
    browser_->setOpenExternalLinks(false);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(browser_);
    auto* close = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(close, &QShortcut::activated, this, &QWidget::close);
}

QStringList HelpViewer::searchFolders() {
    return {QDir::currentPath(), QCoreApplication::applicationDirPath(),
            QStringLiteral(QV_INSTALLED_DATA_DIR)};
}

QString HelpViewer::locate(const QString& helpFileName) {
    for (const QString& folder : searchFolders()) {
        const QFileInfo candidate(QDir(folder), helpFileName);
        if (candidate.isFile()) return candidate.absoluteFilePath();
    }
    return {};
}

void HelpViewer::openContents(const QString& helpFileName) {
    const QString path = locate(helpFileName);
    if (path.isEmpty()) {
        QMessageBox::warning(
            nullptr, windowTitle(),
            QStringLiteral("Не удается найти файл справки «%1».\n\nПроверьте, что он лежит в "
                           "рабочей папке, рядом с программой или в папке %2.")
                .arg(helpFileName, QStringLiteral(QV_INSTALLED_DATA_DIR)));
        return;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        QMessageBox::warning(nullptr, windowTitle(),
                             QStringLiteral("Не удается открыть файл справки «%1»:\n%2.")
                                 .arg(path, file.errorString()));
        return;
    }
    browser_->setMarkdown(QString::fromUtf8(file.readAll()));
    browser_->moveCursor(QTextCursor::Start);
    show();
    raise();
    activateWindow();
}
