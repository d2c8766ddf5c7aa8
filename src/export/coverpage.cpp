#include "export/coverpage.h"

#include "base/textblanks.h"
#include "export/entryformat.h"

#include <QSet>

namespace CoverPage {

namespace {

// The path inside src="...": characters that would end the attribute or
// start markup become entities; a line break would split the page's lines.
QString attributeText(const QString &path)
{
    QString out;
    out.reserve(path.size());
    for (const QChar c : path) {
        switch (c.unicode()) {
        case u'&': out += QStringLiteral("&amp;"); break;
        case u'<': out += QStringLiteral("&lt;"); break;
        case u'>': out += QStringLiteral("&gt;"); break;
        case u'"': out += QStringLiteral("&quot;"); break;
        case u'\r': out += QStringLiteral("&#13;"); break;
        case u'\n': out += QStringLiteral("&#10;"); break;
        default: out += c;
        }
    }
    return out;
}

} // namespace

QString fileName()
{
    return QStringLiteral("zembra.html");
}

bool hasCover(const RowStore &rows)
{
    for (qsizetype row = 0; row < rows.size(); ++row) {
        if (!rows.fieldUtf8(row, FieldCoverImage).isEmpty() && !trimBlanks(rows.field(row, FieldCoverImage)).isEmpty())
            return true;
    }
    return false;
}

QByteArray page(const RowStore &rows)
{
    QByteArray out("<HTML><HEAD><META CHARSET=\"UTF-8\"><TITLE>Ondro Cover Export</TITLE></HEAD>"
                   "<BODY BGCOLOR=WHITE>\r\n");
    QSet<QString> seen;
    for (qsizetype row = 0; row < rows.size(); ++row) {
        if (rows.fieldUtf8(row, FieldCoverImage).isEmpty())
            continue;
        const QString cover = rows.field(row, FieldCoverImage);
        const QString key = trimBlanks(cover).toUpper();
        if (key.isEmpty() || seen.contains(key))
            continue;
        seen.insert(key);
        // A URI, as the XSPF playlist writes it: a browser takes a bare
        // path with "#" or "%" for something else.
        const QString uri = QString::fromUtf8(EntryFormat::fileLocation(cover.toUtf8()));
        out += "<img src=\"" + attributeText(uri).toUtf8() + "\" width=170 height=170>\r\n";
    }
    out += "</BODY></HTML>\r\n";
    return out;
}

SaveResult save(const QString &path, const RowStore &rows, const SaveSystemCalls &calls)
{
    const QByteArray content = page(rows);
    return saveAtomically(path, [&](QIODevice &device) { return device.write(content) == content.size(); }, calls);
}

} // namespace CoverPage
