#include "recent_tests.h"

#include <QDir>

#include "program_settings.h"

namespace {

const QString kRecentKey = QStringLiteral("recent/tests");
const QString kLastFileKey = QStringLiteral("recent/lastFile");
const QString kEditPrefix = QStringLiteral("edit:");
const QString kRunPrefix = QStringLiteral("run:");

}  // namespace

QList<RecentTests::Entry> RecentTests::entries() const {
    QList<Entry> entries;
    const QSettings settings = programSettings();
    for (const QString& item : settings.value(kRecentKey).toStringList()) {
        if (item.startsWith(kEditPrefix))
            entries.append({item.mid(kEditPrefix.size()), Use::Edit});
        else if (item.startsWith(kRunPrefix))
            entries.append({item.mid(kRunPrefix.size()), Use::Run});
        if (entries.size() == kKept) break;
    }
    return entries;
}

QString RecentTests::lastFile() const {
    return programSettings().value(kLastFileKey).toString();
}

void RecentTests::setLastFile(const QString& path) {
    if (lastFile() == path) return;
    write(entries(), path);
}

void RecentTests::opened(const QString& path, Use use) {
    const QString absolute = QDir::cleanPath(QDir::current().absoluteFilePath(path));
    QList<Entry> list = entries();
    list.removeIf([&](const Entry& entry) { return entry.path == absolute; });
    list.prepend({absolute, use});
    if (list.size() > kKept) list.resize(kKept);
    write(list, path);  // the file offered next, with the list, in one write
}

void RecentTests::remove(const QString& path) {
    QList<Entry> list = entries();
    list.removeIf([&](const Entry& entry) { return entry.path == path; });
    write(list, lastFile());
}

void RecentTests::write(const QList<Entry>& entries, const QString& lastFile) {
    QStringList items;
    for (const Entry& entry : entries)
        items << (entry.use == Use::Edit ? kEditPrefix : kRunPrefix) + entry.path;
    QSettings settings = programSettings();
    settings.setValue(kRecentKey, items);
    settings.setValue(kLastFileKey, lastFile);
}
