// The settings the program keeps between starts (the tests opened last, the
// results journal's folder and whether it records), all in one file in the
// user's configuration folder: $XDG_CONFIG_HOME/quorvane/quorvane.conf.
#pragma once

#include <QSettings>

// Named explicitly: the toolkit's default settings go nowhere (see QtPlatform).
QSettings programSettings();
