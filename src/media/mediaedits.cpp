#include "media/mediaedits.h"

#include "base/oneline.h"
#include "catalogue/rowstore.h"

#include <QSet>

namespace {

// An ID as it is told apart from others: case and blanks do not count.
QString looseKey(const QString &source)
{
    QString key;
    for (const QChar c : source.toCaseFolded()) {
        if (!c.isSpace())
            key += c;
    }
    return key;
}

bool holdsLineBreakOrTab(const QString &text)
{
    for (const char32_t c : text.toUcs4()) {
        if (c == U'\t' || OneLine::isLineBreak(c))
            return true;
    }
    return false;
}

// Each row of source, ascending.
std::vector<qsizetype> rowsOf(const RowStore &rows, const QString &source)
{
    const QByteArray utf8 = source.toUtf8();
    std::vector<qsizetype> found;
    for (qsizetype row = 0; row < rows.size(); ++row) {
        if (rows.fieldUtf8(row, FieldSource) == utf8)
            found.push_back(row);
    }
    return found;
}

// The record a rename from -> to cut short between its writes left under
// to: from's own but for its source, with no entries of its own. Running
// the rename again finishes it.
bool leftByRename(const MediaRegister &media, const RowStore &rows, const QString &from, const QString &to)
{
    const MediaRecord *old = media.find(from), *left = media.find(to);
    if (!old || !left || !rowsOf(rows, to).empty())
        return false;
    MediaRecord renamed = *old;
    renamed.source = to;
    return *left == renamed;
}

} // namespace

namespace MediaEdits {

qsizetype entryCount(const RowStore &rows, const QString &source)
{
    return qsizetype(rowsOf(rows, source).size());
}

QString renameRefusal(const MediaRegister &media, const RowStore &rows, const QString &from, const QString &to)
{
    QSet<QString> others;
    for (qsizetype row = 0; row < rows.size(); ++row)
        others.insert(QString::fromUtf8(rows.fieldUtf8(row, FieldSource)));
    for (const MediaRecord &record : media.records())
        others.insert(record.source);
    if (!others.remove(from))
        return QStringLiteral("There is no medium %1 in the catalogue.").arg(from);
    if (leftByRename(media, rows, from, to))
        others.remove(to);
    if (to.trimmed().isEmpty())
        return QStringLiteral("The new ID of %1 is empty.").arg(from);
    if (holdsLineBreakOrTab(to))
        return QStringLiteral("A source ID cannot hold a tab or a line break.");
    if (to == from)
        return QStringLiteral("%1 is already the ID of the medium.").arg(from);
    if (others.contains(to))
        return QStringLiteral("%1 is the ID of another medium already.").arg(to);
    const QString key = looseKey(to);
    for (const QString &other : std::as_const(others)) {
        if (looseKey(other) == key)
            return QStringLiteral("%1 differs from %2, the ID of another medium, only in case or blanks.")
                .arg(to, other);
    }
    return {};
}

RowEdits renamedEntries(const RowStore &rows, const QString &from, const QString &to)
{
    RowEdits edits;
    for (const qsizetype row : rowsOf(rows, from))
        edits.fields.push_back({row, FieldSource, to});
    return edits;
}

void renameRecord(MediaRegister &media, const QString &from, const QString &to)
{
    const MediaRecord *record = media.find(from);
    if (!record)
        return;
    MediaRecord renamed = *record;
    renamed.source = to;
    media.remove(from);
    media.recordFor(to) = std::move(renamed);
}

RowEdits removedEntries(const RowStore &rows, const QString &source)
{
    RowEdits edits;
    edits.removed = rowsOf(rows, source);
    return edits;
}

} // namespace MediaEdits
