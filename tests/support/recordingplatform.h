#pragma once

#include "base/platform/platform.h"

#include <QQueue>
#include <optional>
#include <QStringList>

// A Platform for tests: records what was opened and printed; shellOpen
// answers with queued codes (handed over when none is queued).
class RecordingPlatform : public Platform
{
public:
    QStringList opened;
    QQueue<int> openResults;
    QStringList printed;
    bool hasPrinter = true;
    // The PDF fallback: records the path and lines; fails with pdfError when set.
    QString pdfPath;
    QStringList pdfLines;
    QString pdfError;
    // The association: what associatedProgram() answers (a program by
    // default, so start-up asks nothing), and the associations made.
    QString association = QStringLiteral("/usr/bin/some-reader");
    QStringList associationsMade; // "extension program"
    // What mountedVolumes() answers: the system's until a test sets it.
    std::optional<QList<MountedVolume>> volumes;

    int shellOpen(const QString &pathOrAddress) override;
    PrintOutcome printLines(qsizetype count, const std::function<QString(qsizetype)> &line,
                            WorkProgress *progress) override;
    SaveResult writePdf(const QString &path, qsizetype count, const std::function<QString(qsizetype)> &line,
                        WorkProgress *progress) override;
    QString associatedProgram(const QString &extension) override;
    void makeAssociation(const QString &extension, const QString &programPath) override;
    QList<MountedVolume> mountedVolumes() override { return volumes ? *volumes : Platform::mountedVolumes(); }
};
