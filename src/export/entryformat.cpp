#include "export/entryformat.h"

#include "base/bytescan.h"
#include "catalogue/entrypath.h"
#include "catalogue/extensionline.h"
#include "base/oneline.h"
#include "base/textcodec.h"

#include <algorithm>
#include <vector>

namespace EntryFormat {

using namespace InterchangeFormat;

namespace {

// Blocks of about this size go to the sink.
constexpr qsizetype BlockBytes = 128 * 1024;

constexpr QByteArrayView XspfHead = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                    "<playlist version=\"1\" xmlns=\"http://xspf.org/ns/0/\">\n"
                                    "  <trackList>\n";
constexpr QByteArrayView XspfTail = "  </trackList>\n</playlist>\n";

void append(std::string &out, QByteArrayView bytes)
{
    out.append(bytes.data(), size_t(bytes.size()));
}

// A key of an entry's JSON object: "name": made once, and what it holds.
struct JsonKey
{
    std::string name;
    int field = -1; // one of the nine fields,
    int fact = -1;  // or a fact; neither: the origin
};

// The keys of the objects in alphabetical order, with the origin (the
// JSON array) or without (JSON Lines), and with or without the facts.
const std::vector<JsonKey> &jsonKeys(bool origin, bool facts)
{
    static const auto made = [] {
        std::array<std::vector<JsonKey>, 4> plans;
        for (int plan = 0; plan < 4; ++plan) {
            std::vector<JsonKey> &keys = plans[size_t(plan)];
            for (int f = 0; f < TrackFieldCount; ++f)
                keys.push_back({TrackRecord::fieldNames()[size_t(f)].toStdString(), f, -1});
            if (plan & 1)
                keys.push_back({"origin", -1, -1});
            for (int k = 0; (plan & 2) && k < ExtensionLine::FactCount; ++k)
                keys.push_back({ExtensionLine::FactKeys[size_t(k)], -1, k});
            std::sort(keys.begin(), keys.end(), [](const JsonKey &a, const JsonKey &b) { return a.name < b.name; });
            for (JsonKey &key : keys) {
                std::string quoted;
                appendJsonString(quoted, QByteArrayView(key.name.data(), qsizetype(key.name.size())));
                key.name = quoted + ':';
            }
        }
        return plans;
    }();
    return made[size_t((origin ? 1 : 0) + (facts ? 2 : 0))];
}

// A fact as a JSON value: a number for a numeric fact, the decoded text
// for the others; false when the entry has none.
bool appendJsonFact(std::string &out, QByteArrayView raw, ExtensionLine::Fact fact)
{
    if (ExtensionLine::isNumeric(fact)) {
        const std::optional<qint64> n = ExtensionLine::factNumber(raw, fact);
        if (n)
            fact == ExtensionLine::Dur ? appendTenths(out, *n) : appendNumber(out, *n);
        return n.has_value();
    }
    if (raw.isEmpty())
        return false;
    raw.contains('%') ? appendJsonString(out, ExtensionLine::decodedText(raw)) : appendJsonString(out, raw);
    return true;
}

// A fact as a CSV column: the decoded value, a numeric fact only when it is
// a number; empty otherwise.
void appendCsvFact(std::string &out, QByteArrayView raw, ExtensionLine::Fact fact)
{
    if (ExtensionLine::isNumeric(fact) && !ExtensionLine::factNumber(raw, fact))
        return;
    raw.contains('%') ? appendCsvField(out, ExtensionLine::decodedText(raw)) : appendCsvField(out, raw);
}

// What a playlist shows on one line: its line breaks as blanks (OneLine),
// and the other controls, which no player shows, too.
void appendTitle(std::string &out, const Fields &fields)
{
    QByteArray room, line;
    OneLine::append(line, TextCodec::validUtf8(displayTitle(fields), room));
    std::replace_if(line.begin(), line.end(), [](char c) { return uchar(c) < 0x20; }, ' ');
    append(out, line);
}

// A location for a playlist that takes URIs: file:// for an absolute
// path; a path as a DOS program stored it ("D:\Music\a.mp3") with its
// drive after "file:///" and forward slashes.
void appendLocation(std::string &out, QByteArrayView path)
{
    if (path.startsWith('/')) {
        appendFileUri(out, path);
        return;
    }
    appendFileUri(out, "/" + path.toByteArray().replace('\\', '/'));
}

void appendXmlElement(std::string &out, const char *name, QByteArrayView text)
{
    if (text.isEmpty())
        return;
    out += "      <";
    out += name;
    out += '>';
    appendXmlText(out, text);
    out += "</";
    out += name;
    out += ">\n";
}

} // namespace

QByteArray fileLocation(QByteArrayView path)
{
    std::string out;
    appendLocation(out, path);
    return QByteArray(out.data(), qsizetype(out.size()));
}

Writer::Writer(Format format, Sink sink, Options options)
    : m_format(format), m_sink(std::move(sink)), m_options(std::move(options))
{
    m_buffer.reserve(size_t(BlockBytes) + 64 * 1024);
}

bool Writer::begin()
{
    head();
    return flush();
}

void Writer::head()
{
    if (m_begun)
        return;
    m_begun = true;
    switch (m_format) {
    case Format::M3u8: m_buffer += "#EXTM3U\n"; break;
    case Format::Xspf: append(m_buffer, XspfHead); break;
    case Format::Csv: {
        for (const QString &name : TrackRecord::fieldNames()) {
            append(m_buffer, name.toUtf8());
            m_buffer += ',';
        }
        for (const char *key : ExtensionLine::FactKeys) {
            m_buffer += key;
            m_buffer += ',';
        }
        m_buffer.back() = '\r';
        m_buffer += '\n';
        break;
    }
    case Format::Tabs:
    case Format::Json: // "[" comes with the first entry: "[]" when none does
    case Format::Jsonl: break;
    }
}

bool Writer::add(const EntryView &entry)
{
    head();
    const Fields &given = entry.fields;
    const QByteArrayView extension = entry.extension;
    Fields fields = given;
    QByteArray resolved;
    if (m_options.resolve) {
        resolved = m_options.resolve(QString::fromUtf8(given[FieldFilename]), QString::fromUtf8(given[FieldSource]))
                       .toUtf8();
        fields[FieldFilename] = resolved;
    }
    // Playlists need the path that opens: a name that is not UTF-8 goes
    // as its exact bytes (the other formats keep the name as stored).
    const bool playlist = m_format == Format::M3u8 || m_format == Format::Xspf;
    QByteArray exact;
    if (playlist && !ExtensionLine::rawValue(extension, EntryPath::RawNameKey).isEmpty()) {
        exact = EntryPath::exactPath(fields[FieldFilename], extension);
        fields[FieldFilename] = exact;
    }
    switch (m_format) {
    case Format::Tabs: appendTabs(fields); break;
    case Format::Json:
        m_buffer += m_count == 0 ? "[\n" : ",\n";
        appendJson(fields, extension, entry.origin);
        break;
    case Format::Jsonl:
        appendJson(fields, extension, entry.origin);
        m_buffer += '\n';
        break;
    case Format::Csv: appendCsv(fields, extension); break;
    case Format::M3u8: appendM3u8(fields, extension, !exact.isEmpty()); break;
    case Format::Xspf: appendXspf(fields, extension); break;
    }
    ++m_count;
    return qsizetype(m_buffer.size()) < BlockBytes || flush();
}

bool Writer::finish()
{
    head();
    if (m_format == Format::Json)
        m_buffer += m_count == 0 ? "[]\n" : "\n]\n";
    else if (m_format == Format::Xspf)
        append(m_buffer, XspfTail);
    return flush();
}

bool Writer::flush()
{
    if (m_ok && !m_buffer.empty())
        m_ok = m_sink(QByteArrayView(m_buffer.data(), qsizetype(m_buffer.size())));
    m_buffer.clear();
    return m_ok;
}

void Writer::appendTabs(const Fields &fields)
{
    // Nothing to escape (and valid UTF-8) is the common case: such a field
    // is copied as it is.
    for (int f = 0; f < TrackFieldCount; ++f) {
        const QByteArrayView field = fields[size_t(f)];
        if (ByteScan::plainRun(field.data(), field.size()) == field.size() && field.isValidUtf8())
            append(m_buffer, field);
        else
            appendTabEscaped(m_buffer, field);
        m_buffer += f + 1 < TrackFieldCount ? '\t' : '\n';
    }
}

void Writer::appendJson(const Fields &fields, QByteArrayView extension, EntryOrigin origin)
{
    const bool withFacts = m_options.facts && m_format != Format::Tabs;
    const ExtensionLine::FactValues values = withFacts ? ExtensionLine::factValues(extension) : ExtensionLine::FactValues{};
    char separator = '{';
    for (const JsonKey &key : jsonKeys(m_format == Format::Json, withFacts)) {
        const size_t at = m_buffer.size();
        m_buffer += separator;
        append(m_buffer, QByteArrayView(key.name.data(), qsizetype(key.name.size())));
        if (key.field >= 0) {
            appendJsonString(m_buffer, fields[size_t(key.field)]);
        } else if (key.fact < 0) {
            m_buffer += origin == EntryOrigin::Library ? "\"library\"" : "\"own\"";
        } else if (!appendJsonFact(m_buffer, values[size_t(key.fact)], ExtensionLine::Fact(key.fact))) {
            m_buffer.resize(at); // an absent fact: no key
            continue;
        }
        separator = ',';
    }
    m_buffer += '}';
}

void Writer::appendCsv(const Fields &fields, QByteArrayView extension)
{
    for (int f = 0; f < TrackFieldCount; ++f) {
        appendCsvField(m_buffer, fields[size_t(f)]);
        m_buffer += ',';
    }
    const ExtensionLine::FactValues values = ExtensionLine::factValues(extension);
    for (size_t k = 0; k < values.size(); ++k) {
        appendCsvFact(m_buffer, values[k], ExtensionLine::Fact(k));
        m_buffer += ',';
    }
    m_buffer.back() = '\r';
    m_buffer += '\n';
}

void Writer::appendM3u8(const Fields &fields, QByteArrayView extension, bool exactBytes)
{
    const QByteArrayView path = fields[FieldFilename];
    const QByteArray &folder = m_options.relativeTo;
    m_buffer += "#EXTINF:";
    appendNumber(m_buffer, wholeSeconds(ExtensionLine::factNumber(ExtensionLine::rawValue(extension, "dur"),
                                                                  ExtensionLine::Dur)));
    m_buffer += ',';
    appendTitle(m_buffer, fields);
    m_buffer += '\n';
    if (path.contains('\n') || path.contains('\r'))
        appendLocation(m_buffer, path); // no line of its own could hold it
    else if (exactBytes) // a name that is not UTF-8, as it opens
        append(m_buffer, folder.isEmpty() ? path.toByteArray() : relativePath(path, folder));
    else if (!folder.isEmpty())
        appendUtf8(m_buffer, relativePath(path, folder));
    else
        appendUtf8(m_buffer, path);
    m_buffer += '\n';
}

void Writer::appendXspf(const Fields &fields, QByteArrayView extension)
{
    const QByteArrayView path = fields[FieldFilename];
    m_buffer += "    <track>\n";
    if (!path.isEmpty()) {
        // A URI holds no XML special character but "&" and "'" (rare in
        // paths): it is escaped again only when it holds one of them.
        m_buffer += "      <location>";
        const size_t from = m_buffer.size();
        appendLocation(m_buffer, path);
        if (m_buffer.find_first_of("&'", from) != std::string::npos) {
            const std::string uri = m_buffer.substr(from);
            m_buffer.resize(from);
            appendXmlText(m_buffer, QByteArrayView(uri.data(), qsizetype(uri.size())));
        }
        m_buffer += "</location>\n";
    }
    appendXmlElement(m_buffer, "title", fields[FieldTrack]);
    appendXmlElement(m_buffer, "creator", fields[FieldArtist]);
    appendXmlElement(m_buffer, "album", fields[FieldAlbum]);
    const ExtensionLine::FactValues values = ExtensionLine::factValues(extension);
    if (const auto trk = ExtensionLine::factNumber(values[ExtensionLine::Trk], ExtensionLine::Trk); trk && *trk > 0)
        appendXmlElement(m_buffer, "trackNum", QByteArray::number(*trk));
    if (const auto tenths = ExtensionLine::factNumber(values[ExtensionLine::Dur], ExtensionLine::Dur))
        appendXmlElement(m_buffer, "duration", QByteArray::number(*tenths * 100)); // few, short
    m_buffer += "    </track>\n";
}

} // namespace EntryFormat
