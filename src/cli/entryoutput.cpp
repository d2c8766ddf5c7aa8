#include "cli/entryoutput.h"

#include "cli/clicontext.h"
#include "store/bytescan.h"
#include "store/extensionline.h"
#include "store/textcodec.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <cstring>

namespace EntryOutput {

namespace {

constexpr qsizetype BlockSize = 128 << 10;
// The most bytes one byte of a value takes escaped: four, as \x1b for ESC.
constexpr qsizetype EscapedMost = 4;

// Writes value escaped at out, which has room for EscapedMost times its
// bytes, and returns the end of what it wrote. The runs between the bytes
// to escape are copied in one go each; what is not UTF-8 goes as U+FFFD
// (three bytes for at least one).
char *writeEscaped(char *out, QByteArrayView given)
{
    QByteArray room;
    const QByteArrayView utf8 = TextCodec::validUtf8(given, room);
    const char *text = utf8.data();
    const qsizetype n = utf8.size();
    for (qsizetype i = 0; i < n; ++i) {
        const qsizetype run = ByteScan::plainRun(text + i, n - i);
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

// How the output reads each fact of the extension line: as a whole
// number, as tenths (dur), or as text.
enum class FactKind { Whole, Tenths, Text };
FactKind kindOf(size_t fact)
{
    switch (ExtensionLine::Fact(fact)) {
    case ExtensionLine::Dur: return FactKind::Tenths;
    case ExtensionLine::Mode:
    case ExtensionLine::Enc:
    case ExtensionLine::Aid:
    case ExtensionLine::Dmg: return FactKind::Text;
    default: return FactKind::Whole;
    }
}

// The facts of line as JSON keys, each read as the query reads it; a
// fact that is absent, or no number where one is due, is left out.
void insertFacts(QJsonObject &object, QByteArrayView line)
{
    if (line.isEmpty())
        return;
    const ExtensionLine::FactValues values = ExtensionLine::factValues(line);
    for (size_t k = 0; k < values.size(); ++k) {
        const QString name = QString::fromLatin1(ExtensionLine::FactKeys[k]);
        switch (kindOf(k)) {
        case FactKind::Whole:
            if (const auto n = ExtensionLine::wholeNumber(values[k], ExtensionLine::FactLimits[k]))
                object.insert(name, double(*n));
            break;
        case FactKind::Tenths:
            if (const auto tenths = ExtensionLine::tenths(values[k]))
                object.insert(name, double(*tenths) / 10);
            break;
        case FactKind::Text:
            if (const QByteArray text = ExtensionLine::textValue(line, ExtensionLine::FactKeys[k]); !text.isEmpty())
                object.insert(name, QString::fromUtf8(text));
            break;
        }
    }
}

// A CSV value: as it is, or quoted with its quotes doubled when it holds a
// comma, a quote or a line break; what is not UTF-8 as U+FFFD.
void appendCsvValue(QByteArray &out, QByteArrayView given)
{
    QByteArray room;
    const QByteArrayView value = TextCodec::validUtf8(given, room);
    const bool quote = std::any_of(value.begin(), value.end(),
                                   [](char c) { return c == ',' || c == '"' || c == '\r' || c == '\n'; });
    if (!quote) {
        out.append(value);
        return;
    }
    out += '"';
    for (const char c : value) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
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
    add(fields, rows.origin(row), rows.extensionUtf8(row));
}

void Writer::add(const std::array<QByteArrayView, TrackFieldCount> &fields, EntryOrigin origin,
                 QByteArrayView extension)
{
    if (m_block.capacity() < BlockSize)
        m_block.reserve(BlockSize + (BlockSize >> 4));
    if (m_facts == Facts::Without)
        extension = {};
    switch (m_format) {
    case Format::Tabs: addTabs(fields); break;
    case Format::Json: addJson(fields, origin, extension); break;
    case Format::Csv: addCsv(fields, extension); break;
    }
    ++m_count;
    flushIfFull();
}

void Writer::addTabs(const std::array<QByteArrayView, TrackFieldCount> &fields)
{
    // Room for the fields and a separator after each, then cut to what
    // was written: resizing within the block's capacity neither allocates
    // nor fills.
    qsizetype plain = TrackFieldCount;
    for (const QByteArrayView &field : fields)
        plain += field.size();
    const qsizetype at = m_block.size();
    m_block.resize(at + plain);
    // Nothing to escape (and valid UTF-8) is the common case: each field
    // is copied as it is checked. Else the record is written again, escaped, in room for
    // every byte escaped.
    char *out = m_block.data() + at;
    for (int f = 0; f < TrackFieldCount; ++f) {
        const QByteArrayView field = fields[size_t(f)];
        if (!ByteScan::copyPlain(out, field.data(), field.size()) || !field.isValidUtf8()) {
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
}

void Writer::addJson(const std::array<QByteArrayView, TrackFieldCount> &fields, EntryOrigin origin,
                     QByteArrayView extension)
{
    QJsonObject object;
    const auto &names = TrackRecord::fieldNames();
    for (int f = 0; f < TrackFieldCount; ++f)
        object.insert(names[size_t(f)], QString::fromUtf8(fields[size_t(f)]));
    object.insert(QStringLiteral("origin"),
                  origin == EntryOrigin::Library ? QStringLiteral("library") : QStringLiteral("own"));
    insertFacts(object, extension);
    m_block.append(m_count == 0 ? "[\n" : ",\n");
    m_block.append(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

void Writer::addCsvHeader()
{
    const auto &names = TrackRecord::fieldNames();
    for (int f = 0; f < TrackFieldCount; ++f) {
        if (f > 0)
            m_block += ',';
        m_block += names[size_t(f)].toLatin1();
    }
    if (m_facts == Facts::With) {
        for (const char *key : ExtensionLine::FactKeys) {
            m_block += ',';
            m_block += key;
        }
    }
    m_block += "\r\n";
}

void Writer::addCsv(const std::array<QByteArrayView, TrackFieldCount> &fields, QByteArrayView extension)
{
    if (m_count == 0)
        addCsvHeader();
    for (int f = 0; f < TrackFieldCount; ++f) {
        if (f > 0)
            m_block += ',';
        appendCsvValue(m_block, fields[size_t(f)]);
    }
    if (m_facts == Facts::With) {
        // Each fact as written, where JSON would have it.
        const ExtensionLine::FactValues values = ExtensionLine::factValues(extension);
        for (size_t k = 0; k < values.size(); ++k) {
            const FactKind kind = kindOf(k);
            const bool known = kind == FactKind::Whole    ? ExtensionLine::wholeNumber(values[k], ExtensionLine::FactLimits[k]).has_value()
                               : kind == FactKind::Tenths ? ExtensionLine::tenths(values[k]).has_value()
                                                          : true;
            m_block += ',';
            if (known)
                appendCsvValue(m_block, ExtensionLine::textValue(extension, ExtensionLine::FactKeys[k]));
        }
    }
    m_block += "\r\n";
}

void Writer::finish()
{
    if (m_format == Format::Json)
        m_block.append(m_count == 0 ? "[]\n" : "\n]\n");
    else if (m_format == Format::Csv && m_count == 0)
        addCsvHeader();
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
