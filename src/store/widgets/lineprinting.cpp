#include "store/widgets/lineprinting.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>
#include <QPainter>
#include <QPrinter>
#include <QTemporaryFile>
#include <cerrno>
#include <cstdio>

namespace LinePrinting {

bool paintLines(QPrinter &printer, qsizetype count, const Line &line, const LineDone &progress)
{
    QPainter painter;
    if (!painter.begin(&printer))
        return false;
    const QFontMetrics metrics(painter.font(), &printer);
    // The painter's origin is the top left corner of the paint rectangle.
    const int pageHeight = printer.pageLayout().paintRectPixels(printer.resolution()).height();
    const int lineHeight = metrics.lineSpacing();
    int y = 0;
    for (qsizetype i = 0; i < count; ++i) {
        // A line taller than the page still goes on a page of its own
        // instead of asking for new pages without end.
        if (y > 0 && y + lineHeight > pageHeight) {
            if (!printer.newPage())
                return false;
            y = 0;
        }
        painter.drawText(0, y + metrics.ascent(), line(i));
        y += lineHeight;
        if (progress)
            progress(i + 1);
    }
    return painter.end();
}

SaveResult writePdf(const QString &path, qsizetype count, const Line &line, const LineDone &progress)
{
    const QFileInfo info(path);
    if (!QDir().mkpath(info.absolutePath()))
        return {false, QStringLiteral("the folder %1 cannot be created").arg(QDir::toNativeSeparators(info.absolutePath()))};

    QTemporaryFile temporary(info.absolutePath() + QLatin1Char('/') + info.fileName() + QStringLiteral(".XXXXXX"));
    if (!temporary.open())
        return {false, temporary.errorString()};
    temporary.close();

    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(temporary.fileName());
    printer.setDocName(info.fileName());
    if (!paintLines(printer, count, line, progress))
        return {false, QStringLiteral("the PDF document could not be written")};

    temporary.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
    // rename() replaces the target in one step, unlike QFile::rename.
    if (std::rename(QFile::encodeName(temporary.fileName()).constData(), QFile::encodeName(path).constData()) != 0)
        return {false, qt_error_string(errno)};
    temporary.setAutoRemove(false);
    return {};
}

} // namespace LinePrinting
