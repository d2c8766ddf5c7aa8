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

// Writes value escaped at out, which has room for twice its bytes, and
// returns the end of what it wrote. The runs between the bytes to escape
// are copied in one go each.
char *writeEscaped(char *out, QByteArrayView utf8)
{
    const char *text = utf8.data();
    const qsizetype n = utf8.size();
    for (qsizetype i = 0; i < n; ++i) {
        const qsizetype run = plainRun(text + i, n - i);
        std::memcpy(out, text + i, size_t(run));
        out += run;
        i += run;
        if (i == n)
            break;
        *out++ = '\\';
        switch (text[i]) {
        case '\\': *out++ = '\\'; break;
        case '\t': *out++ = 't'; break;
        case '\r':
            if (i + 1 < n && text[i + 1] == '\n')
                ++i; // CR LF is one line break
            *out++ = 'n';
            break;
        default: *out++ = 'n'; break; // LF
        }
    }
    return out;
}

} // namespace

void appendEscaped(QByteArray &out, QByteArrayView utf8)
{
    const qsizetype at = out.size();
    out.resize(at + 2 * utf8.size());
    out.resize(writeEscaped(out.data() + at, utf8) - out.constData());
}

void Writer::add(const RowStore &rows, qsizetype row)
{
    std::array<QByteArrayView, TrackFieldCount> fields;
    for (int f = 0; f < TrackFieldCount; ++f)
        fields[size_t(f)] = rows.fieldUtf8(row, f);
    add(fields, rows.origin(row));
}

void Writer::add(const std::array<QByteArrayView, TrackFieldCount> &fields, EntryOrigin origin)
{
    if (m_block.capacity() < BlockSize)
        m_block.reserve(BlockSize + (BlockSize >> 4));
    if (m_format == Format::Tabs) {
        // Room for every byte escaped and a separator after each field,
        // then cut to what was written: resizing within the block's
        // capacity neither allocates nor fills.
        qsizetype most = TrackFieldCount;
        for (const QByteArrayView &field : fields)
            most += 2 * field.size();
        const qsizetype at = m_block.size();
        m_block.resize(at + most);
        char *out = m_block.data() + at;
        for (int f = 0; f < TrackFieldCount; ++f) {
            out = writeEscaped(out, fields[size_t(f)]);
            *out++ = f + 1 < TrackFieldCount ? '\t' : '\n';
        }
        m_block.resize(out - m_block.constData());
    } else {
        QJsonObject object;
        const auto &names = TrackRecord::fieldNames();
        for (int f = 0; f < TrackFieldCount; ++f)
            object.insert(names[size_t(f)], QString::fromUtf8(fields[size_t(f)]));
        object.insert(QStringLiteral("origin"),
                      origin == EntryOrigin::Library ? QStringLiteral("library") : QStringLiteral("own"));
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

void Writer::flush()
{
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
