#include "base/platform/association.h"

#include "base/atomicsave.h"
#include "base/platform/platform.h"
#include "base/platform/prompter.h"
#include "base/platform/shellopen.h"
#include "base/platform/systempaths.h"

#include <QMimeDatabase>
#include <QProcess>
#include <QStandardPaths>

namespace Association {

namespace {

const QString &libraryMimeType()
{
    static const QString type = QStringLiteral("application/x-ondro-library");
    return type;
}

const QString &desktopFileId()
{
    static const QString id = QStringLiteral("MyApp.Document.desktop");
    return id;
}

QString dataHome()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
}

// Runs a helper of the desktop, waiting at most a few seconds; a missing
// helper or a failure is ignored, as the association is only a help.
void runTool(const QString &program, const QStringList &arguments)
{
    if (QStandardPaths::findExecutable(program).isEmpty())
        return;
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(20000))
        process.kill();
}

bool writeText(const QString &path, const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    return saveAtomically(path, [&](QIODevice &device) { return device.write(bytes) == bytes.size(); }).ok;
}

// Exec= quoting of the desktop entry format: quoted when it holds blanks
// or other reserved characters, with \ " ` $ escaped inside.
QString execArgument(const QString &program)
{
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    bool quote = false;
    for (const QChar c : program)
        quote = quote || reserved.contains(c);
    if (!quote)
        return program;
    QString out = QStringLiteral("\"");
    for (const QChar c : program) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
            out += u'\\';
        out += c;
    }
    return out + u'"';
}

} // namespace

QString notDetected()
{
    return QStringLiteral("Not Detected");
}

QString findAssociatedProgram(const QString &extension)
{
    const QMimeType type =
        QMimeDatabase().mimeTypeForFile(QStringLiteral("xtemp.") + extension, QMimeDatabase::MatchExtension);
    if (!type.isValid() || type.isDefault())
        return notDetected();
    const QString id = ShellOpen::defaultApplicationFor(type.name());
    if (id.isEmpty())
        return notDetected();
    return QStandardPaths::locate(QStandardPaths::ApplicationsLocation, id);
}

void makeAssociation(const QString &extension, const QString &programPath)
{
    if (extension.isEmpty() || programPath.isEmpty())
        return;
    const QString mimeFolder = dataHome() + QStringLiteral("/mime");
    const QString package =
        QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                       "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
                       "  <mime-type type=\"%1\">\n"
                       "    <comment>MyApp Document</comment>\n"
                       "    <glob pattern=\"*.%2\"/>\n"
                       "  </mime-type>\n"
                       "</mime-info>\n")
            .arg(libraryMimeType(), extension.toHtmlEscaped());
    if (writeText(mimeFolder + QStringLiteral("/packages/ondro-library.xml"), package))
        runTool(QStringLiteral("update-mime-database"), {mimeFolder});

    const QString applications = dataHome() + QStringLiteral("/applications");
    const QString entry = QStringLiteral("[Desktop Entry]\n"
                                         "Type=Application\n"
                                         "Name=Ondro\n"
                                         "Comment=MyApp Document\n"
                                         "Exec=%1 %f\n"
                                         "MimeType=%2;\n"
                                         "NoDisplay=true\n")
                              .arg(execArgument(programPath), libraryMimeType());
    if (writeText(applications + u'/' + desktopFileId(), entry)) {
        runTool(QStringLiteral("update-desktop-database"), {applications});
        runTool(QStringLiteral("xdg-mime"), {QStringLiteral("default"), desktopFileId(), libraryMimeType()});
    }
}

QString ownProgramPath()
{
    return SystemPaths::programFolder() + QStringLiteral("/ondro");
}

void checkDefaultReader(Platform &platform, Prompter &prompter)
{
    if (platform.associatedProgram(QStringLiteral("odl")) != notDetected())
        return;
    prompter.message(QStringLiteral("No default ODL reader detected.  Ondro will be your ODL reader."),
                     Prompter::Icon::Information);
    platform.makeAssociation(QStringLiteral("odl"), ownProgramPath());
}

} // namespace Association
