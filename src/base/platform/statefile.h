#pragma once

#include <QRect>
#include <QString>
#include <QStringList>

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
// Whether the main window was closed maximised; its geometry above is then
// the normal one it returns to.
bool mainWindowMaximized();
void setMainWindowMaximized(bool maximized);

// The main list's fact columns that are shown, each "key=width in twips".
QStringList listColumns();
void setListColumns(const QStringList &columns);

} // namespace StateFile
