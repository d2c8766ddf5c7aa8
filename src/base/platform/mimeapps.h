#pragma once

#include <QString>
#include <QStringList>

// The program the desktop opens a file type with, found the way the
// freedesktop.org MIME applications rules and xdg-open find it, read from
// the files themselves: no helper process is started, so the answer comes
// in a moment.
namespace MimeApps {

// Where the association files and desktop entries are looked for, most
// important first.
struct Folders
{
    QStringList config;       // $XDG_CONFIG_HOME, then $XDG_CONFIG_DIRS
    QStringList applications; // $XDG_DATA_HOME/applications, then $XDG_DATA_DIRS/*/applications
    QStringList desktops;     // $XDG_CURRENT_DESKTOP, lower case

    // The folders of this session's environment.
    static Folders fromEnvironment();
};

// The desktop file id of the installed program that opens the first of
// mimeTypes (a type, then its parents) that has one; empty when none does.
// A program that needs a terminal is passed over: started from a window
// it would run unseen.
QString defaultApplication(const QStringList &mimeTypes, const Folders &folders);

} // namespace MimeApps
