#include "base/platform/mimeapps.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>

namespace MimeApps {

namespace {

// The desktop ids one line of an association file gives for type, in order.
// The files are INI-like, but values hold ';' lists and keys hold '/', which
// QSettings reads its own way: read as plain lines.
QStringList idsIn(const QString &path, const QString &section, const QString &type)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    bool inSection = false;
    const QString key = type + QLatin1Char('=');
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inSection = line == QLatin1Char('[') + section + QLatin1Char(']');
        } else if (inSection && line.startsWith(key)) {
            return line.mid(key.size()).split(QLatin1Char(';'), Qt::SkipEmptyParts);
        }
    }
    return {};
}

// The desktop entry of id ("vlc.desktop", or "kde-foo.desktop" for
// kde/foo.desktop), or empty when it is not installed.
QString entryFor(const QString &id, const Folders &folders)
{
    for (const QString &dir : folders.applications) {
        QString relative = id;
        for (;;) {
            const QString path = dir + QLatin1Char('/') + relative;
            if (QFile::exists(path))
                return path;
            const qsizetype dash = relative.indexOf(QLatin1Char('-'));
            if (dash < 0)
                break;
            relative[dash] = QLatin1Char('/');
        }
    }
    return {};
}

bool usable(const QString &id, const Folders &folders)
{
    const QString entry = entryFor(id, folders);
    if (entry.isEmpty())
        return false;
    const QSettings desktopEntry(entry, QSettings::IniFormat);
    return desktopEntry.value(QStringLiteral("Desktop Entry/Terminal")).toString().compare(QLatin1String("true"),
                                                                                        Qt::CaseInsensitive) != 0;
}

// The association files, most important first: per desktop, then plain,
// in the configuration folders and then the application folders; the
// older defaults.list and the installed programs' cache come last.
QStringList associationFiles(const Folders &folders)
{
    QStringList files;
    const auto add = [&](const QStringList &dirs) {
        for (const QString &dir : dirs) {
            for (const QString &desktop : folders.desktops)
                files << dir + QLatin1Char('/') + desktop + QStringLiteral("-mimeapps.list");
            files << dir + QStringLiteral("/mimeapps.list");
        }
    };
    add(folders.config);
    add(folders.applications);
    return files;
}

} // namespace

Folders Folders::fromEnvironment()
{
    Folders folders;
    folders.config = QStandardPaths::standardLocations(QStandardPaths::GenericConfigLocation);
    folders.applications = QStandardPaths::standardLocations(QStandardPaths::ApplicationsLocation);
    for (const QString &desktop : qEnvironmentVariable("XDG_CURRENT_DESKTOP").split(QLatin1Char(':'), Qt::SkipEmptyParts))
        folders.desktops << desktop.toLower();
    return folders;
}

QString defaultApplication(const QStringList &mimeTypes, const Folders &folders)
{
    const QStringList files = associationFiles(folders);
    for (const QString &type : mimeTypes) {
        QStringList candidates;
        for (const QString &file : files)
            candidates += idsIn(file, QStringLiteral("Default Applications"), type);
        for (const QString &file : files)
            candidates += idsIn(file, QStringLiteral("Added Associations"), type);
        for (const QString &dir : folders.applications) {
            candidates += idsIn(dir + QStringLiteral("/defaults.list"), QStringLiteral("Default Applications"), type);
            candidates += idsIn(dir + QStringLiteral("/mimeinfo.cache"), QStringLiteral("MIME Cache"), type);
        }
        for (const QString &id : candidates)
            if (usable(id, folders))
                return id;
    }
    return {};
}

} // namespace MimeApps
