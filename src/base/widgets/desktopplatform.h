#pragma once

#include "base/platform/platform.h"

// The real effects: xdg-open for documents and the default printer.
class DesktopPlatform : public Platform
{
public:
    int shellOpen(const QString &pathOrAddress) override;
    PrintOutcome printLines(qsizetype count, const std::function<QString(qsizetype)> &line,
                            WorkProgress *progress) override;
    SaveResult writePdf(const QString &path, qsizetype count, const std::function<QString(qsizetype)> &line,
                        WorkProgress *progress) override;
    QString associatedProgram(const QString &extension) override;
    void makeAssociation(const QString &extension, const QString &programPath) override;
};
