#include "recent_tests.h"

#include <QDir>

#include "program_settings.h"

namespace {

const QString kRecentKey = QStringLiteral("recent/tests");
const QString kLastFileKey = QStringLiteral("recent/lastFile");
const QString kEditPrefix = QStringLiteral("edit:");
const QString kRunPrefix = QStringLiteral("run:");

}  // namespace

RecentTests::RecentTests() {
    const QSettings settings = programSettings();
    for (const QString& item : settings.value(kRecentKey).toStringList()) {
        if (item.startsWith(kEditPrefix))
            entries_.append({item.mid(kEditPrefix.size()), Use::Edit});
        else if (item.startsWith(kRunPrefix))
            entries_.append({item.mid(kRunPrefix.size()), Use::Run});
        if (entries_.size() == kKept) break;
    }
    lastFile_ = settings.value(kLastFileKey).toString();
}

void RecentTests::setLastFile(const QString& path) {
    if (lastFile_ == path) return;
    lastFile_ = path;
    write();
}

void RecentTests::opened(const QString& path, Use use) {
    lastFile_ = path;  // set with the list, in one write
    const QString absolute = QDir::cleanPath(QDir::current().absoluteFilePath(path));
    entries_.removeIf([&](const Entry& entry) { return entry.path == absolute; });
    entries_.prepend({absolute, use});
    if (entries_.size() > kKept) entries_.resize(kKept);
    write();
}

void RecentTests::remove(const QString& path) {
    entries_.removeIf([&](const Entry& entry) { return entry.path == path; });
    write();
}

void RecentTests::write() const {
    QStringList items;
    for (const Entry& entry : entries_)
        items << (entry.use == Use::Edit ? kEditPrefix : kRunPrefix) + entry.path;
    QSettings settings = programSettings();
    settings.setValue(kRecentKey, items);
    settings.setValue(kLastFileKey, lastFile_);
}
