#include "recordingplatform.h"

int RecordingPlatform::shellOpen(const QString &pathOrAddress)
{
    opened << pathOrAddress;
    return openResults.isEmpty() ? ShellHandedOver : openResults.dequeue();
}

Platform::PrintOutcome RecordingPlatform::printLines(qsizetype count, const std::function<QString(qsizetype)> &line,
                                                     WorkProgress *progress)
{
    if (!hasPrinter)
        return PrintOutcome::NoPrinter;
    for (qsizetype i = 0; i < count; ++i) {
        printed << line(i);
        workStep(progress, i + 1, count);
    }
    return PrintOutcome::Printed;
}

SaveResult RecordingPlatform::writePdf(const QString &path, qsizetype count, const std::function<QString(qsizetype)> &line,
                                       WorkProgress *progress)
{
    if (!pdfError.isEmpty())
        return {false, pdfError};
    pdfPath = path;
    for (qsizetype i = 0; i < count; ++i) {
        pdfLines << line(i);
        workStep(progress, i + 1, count);
    }
    return {};
}

QString RecordingPlatform::associatedProgram(const QString &)
{
    return association;
}

void RecordingPlatform::makeAssociation(const QString &extension, const QString &programPath)
{
    associationsMade << extension + QLatin1Char(' ') + programPath;
    association = programPath;
}
