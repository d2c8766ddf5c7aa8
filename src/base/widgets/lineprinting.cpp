#include "base/widgets/lineprinting.h"

#include "base/oneline.h"

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

QStringList wrapToWidth(const QString &text, const QFontMetrics &metrics, int width)
{
    QStringList pieces;
    QString rest = text;
    while (rest.size() > 1 && metrics.horizontalAdvance(rest) > width) {
        // The longest start that fits, at least one character.
        qsizetype fits = 1, above = rest.size();
        while (above - fits > 1) {
            const qsizetype middle = (fits + above) / 2;
            (metrics.horizontalAdvance(rest.left(middle)) <= width ? fits : above) = middle;
        }
        qsizetype cut = fits;
        // A path breaks after a folder's "/" where one fits, else after a blank.
        qsizetype separator = rest.lastIndexOf(QLatin1Char('/'), cut - 1);
        if (separator <= 0)
            separator = rest.lastIndexOf(QLatin1Char(' '), cut - 1);
        if (separator > 0)
            cut = separator + 1;
        else if (cut > 1 && rest.at(cut - 1).isHighSurrogate())
            --cut;
        pieces.append(rest.left(cut));
        rest.remove(0, cut);
    }
    pieces.append(rest);
    return pieces;
}

bool paintLines(QPrinter &printer, qsizetype count, const Line &line, WorkProgress *progress)
{
    printer.setPageMargins(QMarginsF(PageMarginMm, PageMarginMm, PageMarginMm, PageMarginMm),
                           QPageLayout::Millimeter);
    QPainter painter;
    if (!painter.begin(&printer))
        return false;
    const QFontMetrics metrics(painter.font(), &printer);
    // The painter's origin is the top left corner of the paint rectangle.
    const QRect paintRect = printer.pageLayout().paintRectPixels(printer.resolution());
    const int pageHeight = paintRect.height();
    const int lineHeight = metrics.lineSpacing();
    int y = 0;
    for (qsizetype i = 0; i < count; ++i) {
        // A path too long for the page goes on over the next lines.
        for (const QString &piece : wrapToWidth(OneLine::of(line(i)), metrics, paintRect.width())) {
            // A line taller than the page still goes on a page of its own
            // instead of asking for new pages without end.
            if (y > 0 && y + lineHeight > pageHeight) {
                if (!printer.newPage())
                    return false;
                y = 0;
            }
            painter.drawText(0, y + metrics.ascent(), piece);
            y += lineHeight;
        }
        workStep(progress, i + 1, count);
    }
    return painter.end();
}

SaveResult writePdf(const QString &path, qsizetype count, const Line &line, WorkProgress *progress)
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
