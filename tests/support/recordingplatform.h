#pragma once

#include "store/platform/platform.h"

#include <QQueue>
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

    int shellOpen(const QString &pathOrAddress) override;
    PrintOutcome printLines(qsizetype count, const std::function<QString(qsizetype)> &line,
                            const std::function<void(qsizetype)> &progress) override;
};
