#include "base/widgets/desktopplatform.h"

#include "base/widgets/lineprinting.h"
#include "base/platform/association.h"
#include "base/platform/shellopen.h"

#include <QApplication>
#include <QPrinter>
#include <QPrinterInfo>
#include <QTimer>

int DesktopPlatform::shellOpen(const QString &pathOrAddress)
{
    // The desktop takes a moment to start the program: the busy pointer
    // meanwhile, about as long as xdg-open needs to hand the file over.
    QApplication::setOverrideCursor(Qt::BusyCursor);
    const int outcome = ShellOpen::open(pathOrAddress);
    QTimer::singleShot(outcome == ShellHandedOver ? 1000 : 0, qApp, [] { QApplication::restoreOverrideCursor(); });
    return outcome;
}

Platform::PrintOutcome DesktopPlatform::printLines(qsizetype count, const std::function<QString(qsizetype)> &line,
                                                   WorkProgress *progress)
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
                                     WorkProgress *progress)
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
