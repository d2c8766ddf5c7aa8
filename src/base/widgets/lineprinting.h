#pragma once

#include "base/atomicsave.h"
#include "base/workprogress.h"

#include <QString>
#include <QStringList>
#include <functional>

class QPrinter;

class QFontMetrics;

// Prints lines of text the way the index is printed: the printer's default
// font, margins of PageMarginMm on every side, one entry per line, no
// heading, an entry too long for the page's width carried on over the next
// lines, and a new page when the next line would pass the bottom of the
// paint rectangle. A line break inside an entry prints as a blank.
namespace LinePrinting {

constexpr double PageMarginMm = 20.0;

// The text cut into pieces no wider than width: after the last "/" that
// fits, else the last blank, else the last character that fits.
QStringList wrapToWidth(const QString &text, const QFontMetrics &metrics, int width);

using Line = std::function<QString(qsizetype)>;

// Paints count lines, line(i) for i = 0..count-1, on the printer and ends
// the document; a step of progress after each line. False when the printer
// cannot be opened or refuses a page. Safe on a worker thread.
bool paintLines(QPrinter &printer, qsizetype count, const Line &line, WorkProgress *progress = nullptr);

// The same lines as a PDF document at path. The document is painted into a
// temporary file next to it and renamed over path only when complete, so
// an older document stays whole on failure.
SaveResult writePdf(const QString &path, qsizetype count, const Line &line, WorkProgress *progress = nullptr);

} // namespace LinePrinting
