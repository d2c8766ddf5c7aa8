#include "export/interchangeformat.h"

#include "base/bytescan.h"
#include "catalogue/extensionline.h"
#include "base/textcodec.h"

#include <charconv>
#include <string_view>

namespace InterchangeFormat {

namespace {

constexpr char Hex[] = "0123456789ABCDEF";
constexpr char LowerHex[] = "0123456789abcdef";
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
struct UriPathBytes
{
    std::array<bool, 256> allowed{};
    constexpr UriPathBytes()
    {
        for (int c = 0; c < 256; ++c)
            allowed[size_t(c)] = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        for (const char c : std::string_view("-._~!$&'()*+,;=:@/"))
            allowed[uchar(c)] = true;
    }
};
constexpr UriPathBytes UriPath;

// The bytes XML text takes as they are: printable ASCII but the five
// escaped, and tab and line feed.
struct XmlPlainBytes
{
    std::array<bool, 256> plain{};
    constexpr XmlPlainBytes()
    {
        for (int c = 0x20; c < 0x80; ++c)
            plain[size_t(c)] = c != '&' && c != '<' && c != '>' && c != '"' && c != '\'';
        plain['\t'] = plain['\n'] = true;
    }
};
constexpr XmlPlainBytes XmlPlain;

// The bytes a JSON string takes as they are: printable ASCII but quote
// and backslash.
struct JsonPlainBytes
{
    std::array<bool, 256> plain{};
    constexpr JsonPlainBytes()
    {
        for (int c = 0x20; c < 0x80; ++c)
            plain[size_t(c)] = c != '"' && c != '\\';
    }
};
constexpr JsonPlainBytes JsonPlain;

// The end of the run from p that goes out as it is: plain bytes and whole
// UTF-8 sequences (but U+FFFE and U+FFFF for XML).
const uchar *plainRun(const uchar *p, const uchar *end, const std::array<bool, 256> &plain, bool xml)
{
    for (;;) {
        while (p < end && plain[*p])
            ++p;
        if (p == end || *p < 0x80)
            return p;
        char32_t code = 0;
        const int length = utf8Sequence(p, end, code);
        if (length == 0 || (xml && (code == 0xFFFE || code == 0xFFFF)))
            return p;
        p += length;
    }
}

void append(std::string &out, QByteArrayView bytes)
{
    out.append(bytes.data(), size_t(bytes.size()));
}

QByteArrayView fileBaseName(QByteArrayView path)
{
    const qsizetype slash = std::max(path.lastIndexOf('/'), path.lastIndexOf('\\'));
    QByteArrayView name = path.sliced(slash + 1);
    const qsizetype dot = name.lastIndexOf('.');
    return dot > 0 ? name.first(dot) : name;
}

} // namespace


void appendUtf8(std::string &out, QByteArrayView bytes)
{
    QByteArray room;
    append(out, TextCodec::validUtf8(bytes, room));
}

void appendCsvField(std::string &out, QByteArrayView given)
{
    QByteArray room;
    const QByteArrayView value = TextCodec::validUtf8(given, room);
    if (!csvNeedsQuotes(value)) {
        append(out, value);
        return;
    }
    out += '"';
    const char *run = value.data();
    const char *const end = run + value.size();
    for (const char *p = run; p < end; ++p) {
        if (*p == '"') {
            out.append(run, size_t(p + 1 - run));
            out += '"';
            run = p + 1;
        }
    }
    out.append(run, size_t(end - run));
    out += '"';
}

void appendJsonString(std::string &out, QByteArrayView utf8)
{
    const size_t from = out.size();
    out += '"';
    const uchar *p = reinterpret_cast<const uchar *>(utf8.data());
    const uchar *const end = p + utf8.size();
    while (p < end) {
        const uchar *const run = p;
        p = plainRun(p, end, JsonPlain.plain, false);
        out.append(reinterpret_cast<const char *>(run), size_t(p - run));
        if (p == end)
            break;
        const uchar c = *p++;
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
                out += LowerHex[c >> 4];
                out += LowerHex[c & 15];
            } else { // not UTF-8 (rare): written again, replaced as everywhere
                out.resize(from);
                QByteArray room;
                appendJsonString(out, TextCodec::validUtf8(utf8, room));
                return;
            }
        }
    }
    out += '"';
}

void appendNumber(std::string &out, qint64 n)
{
    char digits[24];
    const auto [end, error] = std::to_chars(digits, digits + sizeof digits, n);
    out.append(digits, size_t(end - digits));
}

void appendTenths(std::string &out, qint64 tenths)
{
    appendNumber(out, tenths / 10);
    if (tenths % 10 != 0) {
        out += '.';
        out += char('0' + tenths % 10);
    }
}

void appendTabEscaped(std::string &out, QByteArrayView given)
{
    QByteArray room;
    const QByteArrayView utf8 = TextCodec::validUtf8(given, room);
    const char *text = utf8.data();
    const qsizetype n = utf8.size();
    for (qsizetype i = 0; i < n; ++i) {
        const qsizetype run = ByteScan::plainRun(text + i, n - i);
        out.append(text + i, size_t(run));
        i += run;
        if (i == n)
            break;
        out += '\\';
        switch (text[i]) {
        case '\\': out += '\\'; break;
        case '\t': out += 't'; break;
        case '\r':
            if (i + 1 < n && text[i + 1] == '\n')
                ++i; // CR LF is one line break
            out += 'n';
            break;
        case '\n': out += 'n'; break;
        default:
            out += 'x';
            out += LowerHex[quint8(text[i]) >> 4];
            out += LowerHex[quint8(text[i]) & 0xF];
        }
    }
}

void appendXmlText(std::string &out, QByteArrayView utf8)
{
    const uchar *p = reinterpret_cast<const uchar *>(utf8.data());
    const uchar *const end = p + utf8.size();
    while (p < end) {
        const uchar *const run = p;
        p = plainRun(p, end, XmlPlain.plain, true);
        out.append(reinterpret_cast<const char *>(run), size_t(p - run));
        if (p == end)
            break;
        switch (*p++) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&apos;"; break;
        case '\r': out += "&#13;"; break; // a parser would make a bare CR a line feed
        default: // a control XML does not allow, or a byte that starts no UTF-8 sequence
            append(out, Replacement);
            if (p[-1] >= 0x80) {
                char32_t code = 0;
                const int length = utf8Sequence(p - 1, end, code);
                p += length > 0 ? length - 1 : 0; // U+FFFE and U+FFFF: the whole sequence
            }
        }
    }
}

void appendFileUri(std::string &out, QByteArrayView path)
{
    out += "file://";
    const char *p = path.data();
    const char *const end = p + path.size();
    while (p < end) {
        const char *run = p;
        while (p < end && UriPath.allowed[uchar(*p)])
            ++p;
        out.append(run, size_t(p - run));
        if (p == end)
            break;
        const uchar u = uchar(*p++);
        out += '%';
        out += Hex[u >> 4];
        out += Hex[u & 15];
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

qint64 wholeSeconds(std::optional<qint64> tenths)
{
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
