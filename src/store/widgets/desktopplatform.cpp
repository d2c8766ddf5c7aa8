#include "desktopplatform.h"

#include "store/platform/shellopen.h"

#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>

int DesktopPlatform::shellOpen(const QString &pathOrAddress)
{
    return ShellOpen::open(pathOrAddress);
}

Platform::PrintOutcome DesktopPlatform::printLines(qsizetype count, const std::function<QString(qsizetype)> &line,
                                                   const std::function<void(qsizetype)> &progress)
{
    if (QPrinterInfo::defaultPrinter().isNull())
        return PrintOutcome::NoPrinter;
    QPrinter printer(QPrinterInfo::defaultPrinter());
    QPainter painter;
    if (!painter.begin(&printer))
        return PrintOutcome::Failed;
    const QFontMetrics metrics(painter.font(), &printer);
    const QRect page = printer.pageLayout().paintRectPixels(printer.resolution());
    const int lineHeight = metrics.lineSpacing();
    int y = 0;
    for (qsizetype i = 0; i < count; ++i) {
        if (y + lineHeight > page.height()) {
            if (!printer.newPage())
                return PrintOutcome::Failed;
            y = 0;
        }
        painter.drawText(0, y + metrics.ascent(), line(i));
        y += lineHeight;
        if (progress)
            progress(i + 1);
    }
    return painter.end() ? PrintOutcome::Printed : PrintOutcome::Failed;
}
