#pragma once

#include "base/atomicsave.h"
#include "base/platform/volumes.h"
#include "base/workprogress.h"

#include <QRect>
#include <QString>
#include <functional>

// Effects outside the program: opening documents with their programs,
// printing, the file association, and what the windows remember between
// runs. The desktop program uses the real ones; tests use a recording
// stand-in.
class Platform
{
public:
    // Codes of shellOpen(): above 32 means the document was handed over.
    static constexpr int ShellFileNotFound = 2;
    static constexpr int ShellNoAssociation = 31;
    static constexpr int ShellHandedOver = 42;

    enum class PrintOutcome { Printed, NoPrinter, Failed };

    virtual ~Platform() = default;

    virtual int shellOpen(const QString &pathOrAddress) = 0;

    // Prints count lines, line(i) for i = 0..count-1, one per printed line
    // on the default printer; a step of progress after each line.
    virtual PrintOutcome printLines(qsizetype count, const std::function<QString(qsizetype)> &line,
                                    WorkProgress *progress) = 0;

    // The same lines as a PDF document at path, replaced atomically: the
    // index's fallback when no printer is installed.
    virtual SaveResult writePdf(const QString &path, qsizetype count, const std::function<QString(qsizetype)> &line,
                                WorkProgress *progress) = 0;

    // The program that opens files of an extension (see Association), or
    // "Not Detected"; and registering a program as that opener.
    virtual QString associatedProgram(const QString &extension) = 0;
    virtual void makeAssociation(const QString &extension, const QString &programPath) = 0;

    // What the windows remember between runs: the folder scanned last and
    // the main window's normal geometry (empty when none) and whether it
    // was maximised. Kept in the state file
    // (see StateFile) unless a stand-in keeps them otherwise.
    virtual QString lastScanFolder();
    virtual void setLastScanFolder(const QString &folder);
    virtual QRect mainWindowGeometry();
    virtual void setMainWindowGeometry(const QRect &geometry);
    virtual bool mainWindowMaximized();
    virtual void setMainWindowMaximized(bool maximized);
    virtual QStringList listColumns(); // the main list's shown fact columns, "key=twips"
    virtual void setListColumns(const QStringList &columns);

    // The volumes mounted now (see Volumes::mounted).
    virtual QList<MountedVolume> mountedVolumes();
};
