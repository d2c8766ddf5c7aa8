#pragma once

#include <QRect>
#include <QString>

// What the program remembers of its windows between runs, kept apart from
// the settings file (whose lines are fixed): the folder scanned last and
// the main window's geometry. The file is $XDG_STATE_HOME/ondro/state.ini
// (~/.local/state/ondro/state.ini by default), an INI file of QSettings.
// A state file that cannot be read or written only means nothing is
// remembered; no message is shown.
namespace StateFile {

QString path();

QString lastScanFolder();
void setLastScanFolder(const QString &folder);

// The main window's place and size on the screen, without its frame; an
// empty rectangle when none is remembered.
QRect mainWindowGeometry();
void setMainWindowGeometry(const QRect &geometry);

} // namespace StateFile
