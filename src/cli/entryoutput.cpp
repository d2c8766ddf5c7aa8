#include "cli/entryoutput.h"

#include "cli/clicontext.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <cstring>

namespace EntryOutput {

namespace {

constexpr qsizetype BlockSize = 1 << 20;

bool needsEscape(char c)
{
    return c == '\\' || c == '\t' || c == '\r' || c == '\n';
}

// True when one of the eight bytes of word needs escaping (a byte equal
// to c shows as a zero byte of word ^ c repeated).
bool anyNeedsEscape(quint64 word)
{
    constexpr quint64 Ones = 0x0101010101010101ULL, Highs = 0x8080808080808080ULL;
    const auto has = [word](unsigned char c) {
        const quint64 x = word ^ (Ones * c);
        return (x - Ones) & ~x & Highs;
    };
    return (has('\\') | has('\t') | has('\r') | has('\n')) != 0;
}

// How many bytes from the start of text need no escaping.
qsizetype plainRun(const char *text, qsizetype size)
{
    qsizetype i = 0;
    for (quint64 word; i + 8 <= size; i += 8) {
        std::memcpy(&word, text + i, 8);
        if (anyNeedsEscape(word))
            break;
    }
    while (i < size && !needsEscape(text[i]))
        ++i;
    return i;
}

} // namespace

// Copies the runs between the bytes to escape in one go each.
void appendEscaped(QByteArray &out, QByteArrayView utf8)
{
    const char *text = utf8.data();
    const qsizetype n = utf8.size();
    for (qsizetype i = 0; i < n; ++i) {
        const qsizetype run = plainRun(text + i, n - i);
        out.append(text + i, run);
        i += run;
        if (i == n)
            break;
        switch (text[i]) {
        case '\\': out.append("\\\\", 2); break;
        case '\t': out.append("\\t", 2); break;
        case '\r':
            if (i + 1 < n && text[i + 1] == '\n')
                ++i; // CR LF is one line break
            out.append("\\n", 2);
            break;
        default: out.append("\\n", 2); break; // LF
        }
    }
}

void Writer::add(const RowStore &rows, qsizetype row)
{
    if (m_block.capacity() < BlockSize)
        m_block.reserve(BlockSize + (BlockSize >> 4));
    if (m_format == Format::Tabs) {
        const QByteArrayView record = rows.recordUtf8(row);
        if (plainRun(record.data(), record.size()) == record.size()) {
            // Nothing to escape (the common case): the fields are copied
            // straight into place between their tabs.
            const qsizetype at = m_block.size();
            m_block.resize(at + record.size() + TrackFieldCount);
            char *out = m_block.data() + at;
            for (int f = 0; f < TrackFieldCount; ++f) {
                const QByteArrayView field = rows.fieldUtf8(row, f);
                std::memcpy(out, field.data(), size_t(field.size()));
                out += field.size();
                *out++ = f + 1 < TrackFieldCount ? '\t' : '\n';
            }
        } else {
            for (int f = 0; f < TrackFieldCount; ++f) {
                if (f > 0)
                    m_block.append('\t');
                appendEscaped(m_block, rows.fieldUtf8(row, f));
            }
            m_block.append('\n');
        }
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
        m_block.resize(0); // keeps the space for the next block
    }
}

} // namespace EntryOutput
