#include "store/widgets/desktopplatform.h"

#include "store/widgets/lineprinting.h"
#include "store/platform/association.h"
#include "store/platform/shellopen.h"

#include <QPrinter>
#include <QPrinterInfo>

int DesktopPlatform::shellOpen(const QString &pathOrAddress)
{
    return ShellOpen::open(pathOrAddress);
}

Platform::PrintOutcome DesktopPlatform::printLines(qsizetype count, const std::function<QString(qsizetype)> &line,
                                                   const std::function<void(qsizetype)> &progress)
{
    // Without a default printer a plain QPrinter quietly becomes a PDF
    // printer without a file, and every line would be lost unnoticed.
    const QPrinterInfo target = QPrinterInfo::defaultPrinter();
    if (target.isNull())
        return PrintOutcome::NoPrinter;
    QPrinter printer(target, QPrinter::HighResolution);
    if (!printer.isValid())
        return PrintOutcome::Failed;
    printer.setDocName(QStringLiteral("Ondro"));
    return LinePrinting::paintLines(printer, count, line, progress) ? PrintOutcome::Printed : PrintOutcome::Failed;
}

SaveResult DesktopPlatform::writePdf(const QString &path, qsizetype count, const std::function<QString(qsizetype)> &line,
                                     const std::function<void(qsizetype)> &progress)
{
    return LinePrinting::writePdf(path, count, line, progress);
}

QString DesktopPlatform::associatedProgram(const QString &extension)
{
    return Association::findAssociatedProgram(extension);
}

void DesktopPlatform::makeAssociation(const QString &extension, const QString &programPath)
{
    Association::makeAssociation(extension, programPath);
}
