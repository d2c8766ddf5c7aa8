#include "export/interchange.h"

#include "store/entrypath.h"

#include <QDir>
#include <QFileInfo>

namespace Interchange {

using namespace InterchangeFormat;

namespace {

// The device is written in blocks of about this size.
constexpr qsizetype BlockBytes = 256 * 1024;


constexpr QByteArrayView XspfHead = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                    "<playlist version=\"1\" xmlns=\"http://xspf.org/ns/0/\">\n"
                                    "  <trackList>\n";
constexpr QByteArrayView XspfTail = "  </trackList>\n</playlist>\n";

bool holdsLineBreak(QByteArrayView text)
{
    return text.contains('\n') || text.contains('\r');
}

void append(std::string &out, QByteArrayView bytes)
{
    out.append(bytes.data(), size_t(bytes.size()));
}

// Text on one line: line breaks and other controls become blanks, what
// is not UTF-8 U+FFFD.
void appendOneLine(std::string &out, QByteArrayView text)
{
    const size_t from = out.size();
    appendUtf8(out, text);
    for (size_t i = from; i < out.size(); ++i) {
        if (uchar(out[i]) < 0x20)
            out[i] = ' ';
    }
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

// The text of a fact: as written, or decoded when it holds an escape.
template <typename Append>
void appendFact(std::string &out, QByteArrayView raw, QByteArrayView extension, QByteArrayView key, Append append)
{
    if (raw.contains('%'))
        append(out, textValue(extension, key));
    else
        append(out, raw);
}

// A fact as a JSON value: a number for the numeric facts when it is one,
// otherwise a string.
void appendJsonFact(std::string &out, QByteArrayView raw, QByteArrayView extension, size_t fact)
{
    if (fact == ExtensionLine::Dur) {
        if (const std::optional<qint64> inTenths = tenths(raw)) {
            appendNumber(out, *inTenths / 10);
            out += '.';
            out += char('0' + *inTenths % 10);
            return;
        }
    } else if (ExtensionLine::FactLimits[fact] > 0) {
        if (const std::optional<qint64> n = wholeNumber(raw, ExtensionLine::FactLimits[fact])) {
            appendNumber(out, *n);
            return;
        }
    }
    appendFact(out, raw, extension, FactKeys[fact], appendJsonString);
}

// "filename": and the other keys of the nine fields, made once.
const std::array<std::string, TrackFieldCount> &jsonKeys()
{
    static const std::array<std::string, TrackFieldCount> keys = [] {
        std::array<std::string, TrackFieldCount> made;
        for (int f = 0; f < TrackFieldCount; ++f) {
            appendJsonString(made[size_t(f)], TrackRecord::fieldNames()[size_t(f)].toUtf8());
            made[size_t(f)] += ':';
        }
        return made;
    }();
    return keys;
}

} // namespace

Writer::Writer(Format format, QIODevice &device, const Options &options, const QString &relativeTo)
    : m_format(format), m_device(device), m_options(options)
{
    if (options.relative && !relativeTo.isEmpty())
        m_relativeTo = QDir::cleanPath(relativeTo).toUtf8();
    m_buffer.reserve(size_t(BlockBytes) + 64 * 1024);
}

bool Writer::begin()
{
    switch (m_format) {
    case Format::M3u8: m_buffer += "#EXTM3U\n"; break;
    case Format::Xspf: append(m_buffer, XspfHead); break;
    case Format::Csv: {
        const auto &names = TrackRecord::fieldNames();
        for (int f = 0; f < TrackFieldCount; ++f) {
            append(m_buffer, names[size_t(f)].toUtf8());
            m_buffer += ',';
        }
        for (const char *key : FactKeys) {
            m_buffer += key;
            m_buffer += ',';
        }
        m_buffer.back() = '\r';
        m_buffer += '\n';
        break;
    }
    case Format::Jsonl: break;
    }
    return flush();
}

bool Writer::add(const Fields &given, QByteArrayView extension)
{
    Fields fields = given;
    QByteArray resolved;
    if (m_options.resolve) {
        resolved = m_options.resolve(QString::fromUtf8(given[FieldFilename]), QString::fromUtf8(given[FieldSource]))
                       .toUtf8();
        fields[FieldFilename] = resolved;
    }
    // Playlists need the path that opens: a name that is not UTF-8 goes
    // as its exact bytes (the other formats keep the name as stored).
    QByteArray exact;
    if ((m_format == Format::M3u8 || m_format == Format::Xspf)
        && !ExtensionLine::rawValue(extension, EntryPath::RawNameKey).isEmpty()) {
        exact = EntryPath::exactPath(fields[FieldFilename], extension);
        fields[FieldFilename] = exact;
    }
    switch (m_format) {
    case Format::M3u8: appendM3u8(fields, extension, !exact.isEmpty()); break;
    case Format::Xspf: appendXspf(fields, extension); break;
    case Format::Csv: appendCsv(fields, extension); break;
    case Format::Jsonl: appendJson(fields, extension); break;
    }
    return qsizetype(m_buffer.size()) < BlockBytes || flush();
}

bool Writer::finish()
{
    if (m_format == Format::Xspf)
        append(m_buffer, XspfTail);
    return flush();
}

bool Writer::flush()
{
    if (m_ok && !m_buffer.empty())
        m_ok = m_device.write(m_buffer.data(), qint64(m_buffer.size())) == qint64(m_buffer.size());
    m_buffer.clear();
    return m_ok;
}

void Writer::appendM3u8(const Fields &fields, QByteArrayView extension, bool exactBytes)
{
    const QByteArrayView path = fields[FieldFilename];
    m_buffer += "#EXTINF:";
    appendNumber(m_buffer, wholeSeconds(tenths(factValues(extension)[ExtensionLine::Dur])));
    m_buffer += ',';
    appendOneLine(m_buffer, displayTitle(fields));
    m_buffer += '\n';
    if (holdsLineBreak(path))
        appendLocation(m_buffer, path); // no line of its own could hold it
    else if (exactBytes) // a name that is not UTF-8, as it opens
        append(m_buffer, m_relativeTo.isEmpty() ? path.toByteArray() : relativePath(path, m_relativeTo));
    else if (!m_relativeTo.isEmpty())
        appendUtf8(m_buffer, relativePath(path, m_relativeTo));
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
    const FactValues values = factValues(extension);
    if (const std::optional<qint64> trk = wholeNumber(values[ExtensionLine::Trk], ExtensionLine::MaxNumber); trk && *trk > 0)
        appendXmlElement(m_buffer, "trackNum", QByteArray::number(*trk));
    if (const std::optional<qint64> inTenths = tenths(values[ExtensionLine::Dur]))
        appendXmlElement(m_buffer, "duration", QByteArray::number(*inTenths * 100)); // few, short
    m_buffer += "    </track>\n";
}

void Writer::appendCsv(const Fields &fields, QByteArrayView extension)
{
    for (int f = 0; f < TrackFieldCount; ++f) {
        appendCsvField(m_buffer, fields[size_t(f)]);
        m_buffer += ',';
    }
    const FactValues values = factValues(extension);
    for (size_t k = 0; k < FactKeys.size(); ++k) {
        appendFact(m_buffer, values[k], extension, FactKeys[k], appendCsvField);
        m_buffer += ',';
    }
    m_buffer.back() = '\r';
    m_buffer += '\n';
}

void Writer::appendJson(const Fields &fields, QByteArrayView extension)
{
    const auto &keys = jsonKeys();
    char separator = '{';
    for (int f = 0; f < TrackFieldCount; ++f) {
        m_buffer += separator;
        separator = ',';
        m_buffer += keys[size_t(f)];
        appendJsonString(m_buffer, fields[size_t(f)]);
    }
    const FactValues values = factValues(extension);
    for (size_t k = 0; k < FactKeys.size(); ++k) {
        if (values[k].isEmpty())
            continue;
        m_buffer += ",\"";
        m_buffer += FactKeys[k];
        m_buffer += "\":";
        appendJsonFact(m_buffer, values[k], extension, k);
    }
    m_buffer += "}\n";
}

EntrySource fromRows(const RowStore &rows, WorkProgress *progress)
{
    return [&rows, progress](const AddEntry &add) {
        Fields fields;
        const qsizetype n = rows.size();
        for (qsizetype row = 0; row < n; ++row) {
            for (int f = 0; f < TrackFieldCount; ++f)
                fields[size_t(f)] = rows.fieldUtf8(row, f);
            if (!add(fields, rows.extensionUtf8(row)) || !workStep(progress, row + 1, n))
                return false;
        }
        return true;
    };
}

EntrySource fromRows(const RowStore &rows, std::vector<qsizetype> listed, WorkProgress *progress)
{
    return [&rows, listed = std::move(listed), progress](const AddEntry &add) {
        Fields fields;
        const qsizetype n = qsizetype(listed.size());
        for (qsizetype i = 0; i < n; ++i) {
            const qsizetype row = listed[size_t(i)];
            for (int f = 0; f < TrackFieldCount; ++f)
                fields[size_t(f)] = rows.fieldUtf8(row, f);
            if (!add(fields, rows.extensionUtf8(row)) || !workStep(progress, i + 1, n))
                return false;
        }
        return true;
    };
}

SaveResult save(const QString &path, Format format, const EntrySource &source, const Options &options,
                const SaveSystemCalls &calls)
{
    const QString folder = QFileInfo(path).absolutePath();
    return saveAtomically(
        path,
        [&](QIODevice &device) {
            Writer writer(format, device, options, folder);
            if (!writer.begin())
                return true; // the device's failure is the save's
            const bool whole = source([&writer](const Fields &fields, QByteArrayView extension) {
                return writer.add(fields, extension);
            });
            return writer.finish() && whole;
        },
        calls);
}

} // namespace Interchange
