#include "cli/entryoutput.h"

#include "cli/clicontext.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace EntryOutput {

namespace {
constexpr qsizetype BlockSize = 1 << 20;
}

void appendEscaped(QByteArray &out, QByteArrayView utf8)
{
    const qsizetype n = utf8.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char c = utf8[i];
        switch (c) {
        case '\\': out.append("\\\\"); break;
        case '\t': out.append("\\t"); break;
        case '\r':
            if (i + 1 < n && utf8[i + 1] == '\n')
                ++i; // CR LF is one line break
            out.append("\\n");
            break;
        case '\n': out.append("\\n"); break;
        default: out.append(c);
        }
    }
}

void Writer::add(const RowStore &rows, qsizetype row)
{
    if (m_format == Format::Tabs) {
        for (int f = 0; f < TrackFieldCount; ++f) {
            if (f > 0)
                m_block.append('\t');
            appendEscaped(m_block, rows.fieldUtf8(row, f));
        }
        m_block.append('\n');
    } else {
        QJsonObject object;
        const auto &names = TrackRecord::fieldNames();
        for (int f = 0; f < TrackFieldCount; ++f)
            object.insert(names[size_t(f)], rows.field(row, f));
        object.insert(QStringLiteral("origin"), rows.origin(row) == EntryOrigin::Library
                                                    ? QStringLiteral("library")
                                                    : QStringLiteral("own"));
        m_block.append(m_count == 0 ? "[\n" : ",\n");
        m_block.append(QJsonDocument(object).toJson(QJsonDocument::Compact));
    }
    ++m_count;
    flushIfFull();
}

void Writer::finish()
{
    if (m_format == Format::Json)
        m_block.append(m_count == 0 ? "[]\n" : "\n]\n");
    CliIo::out(m_block);
    m_block.clear();
}

void Writer::flushIfFull()
{
    if (m_block.size() >= BlockSize) {
        CliIo::out(m_block);
        m_block.clear();
    }
}

} // namespace EntryOutput
