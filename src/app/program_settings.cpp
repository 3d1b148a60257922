#include "program_settings.h"

#include <QDir>
#include <QStandardPaths>

QSettings programSettings() {
    const QString folder =
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + "/quorvane";
    return QSettings(QDir(folder).filePath(QStringLiteral("quorvane.conf")), QSettings::IniFormat);
}
