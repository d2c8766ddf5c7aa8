#include "export/interchangeformat.h"

#include "store/extensionline.h"

namespace InterchangeFormat {

namespace {

constexpr char Hex[] = "0123456789ABCDEF";
constexpr QByteArrayView Replacement("\xEF\xBF\xBD"); // U+FFFD

// The length of the well-formed UTF-8 sequence at p (shortest form, no
// surrogates, at most U+10FFFF) and its code point; 0 when there is none.
int utf8Sequence(const uchar *p, const uchar *end, char32_t &code)
{
    const uchar lead = p[0];
    int length;
    char32_t min;
    if (lead < 0x80) {
        code = lead;
        return 1;
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2, min = 0x80, code = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, min = 0x800, code = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, min = 0x10000, code = lead & 0x07;
    } else {
        return 0;
    }
    if (end - p < length)
        return 0;
    for (int i = 1; i < length; ++i) {
        if ((p[i] & 0xC0) != 0x80)
            return 0;
        code = code << 6 | (p[i] & 0x3F);
    }
    if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return 0;
    return length;
}

bool csvNeedsQuotes(QByteArrayView value)
{
    for (const char c : value) {
        if (c == ',' || c == '"' || c == '\r' || c == '\n')
            return true;
    }
    return false;
}

// What may stay as it is in a path of a URI (RFC 3986: unreserved,
// sub-delims, ":", "@" and the "/" between segments).
bool uriPathCharacter(uchar c)
{
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
        return true;
    return QByteArrayView("-._~!$&'()*+,;=:@/").contains(char(c));
}

QByteArrayView fileBaseName(QByteArrayView path)
{
    const qsizetype slash = std::max(path.lastIndexOf('/'), path.lastIndexOf('\\'));
    QByteArrayView name = path.sliced(slash + 1);
    const qsizetype dot = name.lastIndexOf('.');
    return dot > 0 ? name.first(dot) : name;
}

} // namespace

QByteArray factText(QByteArrayView extension, QByteArrayView key)
{
    const QByteArrayView raw = ExtensionLine::rawValue(extension, key);
    if (!raw.contains('%'))
        return raw.toByteArray();
    // Escaped text is rare (an encoder's name with a blank): taken apart in full.
    return ExtensionLine::parse(extension).value(key);
}

void appendCsvField(QByteArray &out, QByteArrayView value)
{
    if (!csvNeedsQuotes(value)) {
        out += value;
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

void appendJsonString(QByteArray &out, QByteArrayView utf8)
{
    out += '"';
    const uchar *p = reinterpret_cast<const uchar *>(utf8.data());
    const uchar *const end = p + utf8.size();
    while (p < end) {
        const uchar c = *p;
        if (c >= 0x20 && c < 0x80 && c != '"' && c != '\\') {
            out += char(c);
            ++p;
            continue;
        }
        char32_t code = 0;
        const int length = c < 0x80 ? 1 : utf8Sequence(p, end, code);
        if (length == 0) {
            out += Replacement;
            ++p;
            continue;
        }
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        case '\b': out += "\\b"; break;
        case '\f': out += "\\f"; break;
        default:
            if (c < 0x20) {
                out += "\\u00";
                out += Hex[c >> 4];
                out += Hex[c & 15];
            } else {
                out += QByteArrayView(reinterpret_cast<const char *>(p), length);
            }
        }
        p += length;
    }
    out += '"';
}

void appendXmlText(QByteArray &out, QByteArrayView utf8)
{
    const uchar *p = reinterpret_cast<const uchar *>(utf8.data());
    const uchar *const end = p + utf8.size();
    while (p < end) {
        char32_t code = 0;
        const int length = utf8Sequence(p, end, code);
        if (length == 0) {
            out += Replacement;
            ++p;
            continue;
        }
        switch (code) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&apos;"; break;
        case '\r': out += "&#13;"; break; // a parser would make a bare CR a line feed
        default:
            if ((code < 0x20 && code != '\t' && code != '\n') || code == 0xFFFE || code == 0xFFFF)
                out += Replacement;
            else
                out += QByteArrayView(reinterpret_cast<const char *>(p), length);
        }
        p += length;
    }
}

void appendFileUri(QByteArray &out, QByteArrayView path)
{
    out += "file://";
    for (const char c : path) {
        const uchar u = uchar(c);
        if (uriPathCharacter(u)) {
            out += c;
        } else {
            out += '%';
            out += Hex[u >> 4];
            out += Hex[u & 15];
        }
    }
}

QByteArray displayTitle(const Fields &fields)
{
    const QByteArrayView artist = fields[FieldArtist].trimmed();
    const QByteArrayView title = fields[FieldTrack].trimmed();
    if (!artist.isEmpty() && !title.isEmpty())
        return artist.toByteArray() + " - " + title.toByteArray();
    if (!artist.isEmpty() || !title.isEmpty())
        return (artist.isEmpty() ? title : artist).toByteArray();
    return fileBaseName(fields[FieldFilename]).toByteArray();
}

qint64 wholeSeconds(QByteArrayView extension)
{
    const std::optional<qint64> tenths = ExtensionLine::tenthsValue(extension, "dur");
    return tenths ? (*tenths + 5) / 10 : -1;
}

QByteArray relativePath(QByteArrayView path, QByteArrayView folder)
{
    if (!path.startsWith('/'))
        return path.toByteArray();
    // The longest run of whole folders the two share.
    qsizetype shared = 0;
    const qsizetype limit = std::min(path.size(), folder.size());
    for (qsizetype i = 0; i <= limit; ++i) {
        const bool folderEnds = i == folder.size() || folder[i] == '/';
        const bool pathEnds = i == path.size() || path[i] == '/';
        if (folderEnds && pathEnds)
            shared = i;
        if (i == limit || folder[i] != path[i])
            break;
    }
    QByteArray relative;
    for (qsizetype i = shared; i < folder.size(); ++i) {
        if (folder[i] == '/')
            relative += "../";
    }
    if (folder.size() == 1) // the root folder: nothing to leave
        relative.clear();
    relative += path.sliced(std::min(shared + 1, path.size()));
    return relative;
}

} // namespace InterchangeFormat
