#include "cli/entryoutput.h"

#include "cli/clicontext.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace EntryOutput {

namespace {

constexpr qsizetype BlockSize = 128 << 10;
// The most bytes one byte of a value takes escaped: four, as \x1b for ESC.
constexpr qsizetype EscapedMost = 4;

// A backslash, every C0 control (tab and line breaks among them) and DEL:
// no byte that a terminal acts on reaches it raw.
bool needsEscape(char c)
{
    const auto u = quint8(c);
    return u < 0x20 || u == 0x7F || c == '\\';
}

// True when one of the eight bytes of word needs escaping. A byte equal
// to c shows as a zero byte of word ^ c repeated; a byte below 0x20 is
// one that borrows when 0x20 is taken from it.
inline __attribute__((always_inline)) bool anyNeedsEscape(quint64 word)
{
    constexpr quint64 Ones = 0x0101010101010101ULL, Highs = 0x8080808080808080ULL;
    const auto below = [word](unsigned char c) { return (word - Ones * c) & ~word & Highs; };
    const auto has = [word, below](unsigned char c) {
        const quint64 x = word ^ (Ones * c);
        return (x - Ones) & ~x & Highs;
    };
    return (below(0x20) | has('\\') | has(0x7F)) != 0;
}

#if defined(__SSE2__)
// One bit for each of the sixteen bytes of v that needs escaping.
inline int escapeBits(__m128i v)
{
    const __m128i lastControl = _mm_set1_epi8(0x1F);
    const __m128i backslash = _mm_set1_epi8('\\'), del = _mm_set1_epi8(0x7F);
    const __m128i control = _mm_cmpeq_epi8(_mm_min_epu8(v, lastControl), v); // v <= 0x1F
    return _mm_movemask_epi8(
        _mm_or_si128(control, _mm_or_si128(_mm_cmpeq_epi8(v, backslash), _mm_cmpeq_epi8(v, del))));
}
#endif

// How many bytes from the start of text need no escaping: sixteen bytes
// at a time where the processor allows, then eight, then the last few
// as one word of bytes taken from them.
qsizetype plainRun(const char *text, qsizetype size)
{
    qsizetype i = 0;
#if defined(__SSE2__)
    for (; i + 16 <= size; i += 16) {
        const int mask = escapeBits(_mm_loadu_si128(reinterpret_cast<const __m128i *>(text + i)));
        if (mask != 0)
            return i + __builtin_ctz(unsigned(mask));
    }
#endif
    quint64 word;
    for (; i + 8 <= size; i += 8) {
        std::memcpy(&word, text + i, 8);
        if (anyNeedsEscape(word))
            break;
    }
    if (const qsizetype left = size - i; left > 0 && left < 8) {
        // The last bytes as one word, without reading past them: two
        // overlapping halves, or the first, middle and last byte, each
        // twice. A byte seen twice changes nothing for the question asked.
        const char *p = text + i;
        if (left >= 4) {
            quint32 low, high;
            std::memcpy(&low, p, 4);
            std::memcpy(&high, p + left - 4, 4);
            word = low | quint64(high) << 32;
        } else {
            const quint32 three = quint32(quint8(p[0])) | quint32(quint8(p[left / 2])) << 8 |
                                  quint32(quint8(p[left - 1])) << 16 | quint32(quint8(p[0])) << 24;
            word = three | quint64(three) << 32;
        }
        if (!anyNeedsEscape(word))
            return size;
    }
    while (i < size && !needsEscape(text[i]))
        ++i;
    return i;
}

// Copies the n bytes at in to out when none of them needs escaping; false
// otherwise (what was copied by then is to be written over). One pass
// loads, checks and stores each byte; the last few bytes go as words that
// overlap the ones before, never past the end of in or of out.
inline bool copyPlain(char *out, const char *in, qsizetype n)
{
    qsizetype i = 0;
#if defined(__SSE2__)
    const auto plain = [](__m128i v) { return escapeBits(v) == 0; };
    for (; i + 16 <= n; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(in + i));
        if (!plain(v))
            return false;
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out + i), v);
    }
    if (i == n)
        return true;
    if (n >= 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(in + n - 16));
        if (!plain(v))
            return false;
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out + n - 16), v);
        return true;
    }
#endif
    for (; i + 8 <= n; i += 8) {
        quint64 word;
        std::memcpy(&word, in + i, 8);
        if (anyNeedsEscape(word))
            return false;
        std::memcpy(out + i, &word, 8);
    }
    if (const qsizetype left = n - i; left >= 4) {
        quint32 low, high;
        std::memcpy(&low, in + i, 4);
        std::memcpy(&high, in + n - 4, 4);
        if (anyNeedsEscape(low | quint64(high) << 32))
            return false;
        std::memcpy(out + i, &low, 4);
        std::memcpy(out + n - 4, &high, 4);
    } else {
        for (; i < n; ++i) {
            if (needsEscape(in[i]))
                return false;
            out[i] = in[i];
        }
    }
    return true;
}

// Writes value escaped at out, which has room for EscapedMost times its
// bytes, and returns the end of what it wrote. The runs between the bytes
// to escape are copied in one go each.
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
        case '\n': *out++ = 'n'; break;
        default: {
            static constexpr char Hex[] = "0123456789abcdef";
            const auto u = quint8(text[i]);
            *out++ = 'x';
            *out++ = Hex[u >> 4];
            *out++ = Hex[u & 0xF];
            break;
        }
        }
    }
    return out;
}

} // namespace

void appendEscaped(QByteArray &out, QByteArrayView utf8)
{
    const qsizetype at = out.size();
    out.resize(at + EscapedMost * utf8.size());
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
        // Room for the fields and a separator after each, then cut to
        // what was written: resizing within the block's capacity neither
        // allocates nor fills.
        qsizetype plain = TrackFieldCount;
        for (const QByteArrayView &field : fields)
            plain += field.size();
        const qsizetype at = m_block.size();
        m_block.resize(at + plain);
        // Nothing to escape is the common case: each field is copied as
        // it is checked. Else the record is written again, escaped, in
        // room for every byte escaped.
        char *out = m_block.data() + at;
        for (int f = 0; f < TrackFieldCount; ++f) {
            const QByteArrayView field = fields[size_t(f)];
            if (!copyPlain(out, field.data(), field.size())) {
                out = nullptr;
                break;
            }
            out += field.size();
            *out++ = f + 1 < TrackFieldCount ? '\t' : '\n';
        }
        if (!out) {
            m_block.resize(at + TrackFieldCount + EscapedMost * (plain - TrackFieldCount));
            out = m_block.data() + at;
            for (int f = 0; f < TrackFieldCount; ++f) {
                out = writeEscaped(out, fields[size_t(f)]);
                *out++ = f + 1 < TrackFieldCount ? '\t' : '\n';
            }
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
