#pragma once

#include <QByteArray>
#include <QStringList>

// Runs the built ondro-cli (ONDRO_CLI_PATH) with arguments and collects
// its exit status and both output streams; status -1 when it did not end.
struct CliRun
{
    int status = -1;
    QByteArray out;
    QByteArray err;
};

CliRun runOndroCli(const QString &program, const QStringList &arguments, const QString &workingFolder = QString());
