#include "store/extensionline.h"

namespace ExtensionLine {

namespace {

constexpr QByteArrayView Prefix = "ondro:";
constexpr QByteArrayView ThisVersion = "ondro:1";

bool needsEscape(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return c == '%' || c == ' ' || c == '=' || u < 0x20 || u == 0x7F;
}

void appendEscaped(QByteArray &out, QByteArrayView text)
{
    static constexpr char Hex[] = "0123456789ABCDEF";
    for (const char c : text) {
        if (!needsEscape(c)) {
            out += c;
            continue;
        }
        const auto u = static_cast<unsigned char>(c);
        out += '%';
        out += Hex[u >> 4];
        out += Hex[u & 0xF];
    }
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// A "%" not followed by two hex digits stands for itself.
QByteArray unescaped(QByteArrayView text)
{
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const int high = text[i] == '%' && i + 2 < text.size() ? hexDigit(text[i + 1]) : -1;
        const int low = high >= 0 ? hexDigit(text[i + 2]) : -1;
        if (low >= 0) {
            out += char(high << 4 | low);
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

} // namespace

QByteArray Facts::value(QByteArrayView key) const
{
    QByteArray written;
    appendEscaped(written, key);
    for (const auto &[k, v] : pairs) {
        if (k == written)
            return unescaped(v);
    }
    return {};
}

void Facts::set(QByteArrayView key, QByteArrayView value)
{
    QByteArray writtenKey, writtenValue;
    appendEscaped(writtenKey, key);
    appendEscaped(writtenValue, value);
    for (auto &[k, v] : pairs) {
        if (k == writtenKey) {
            v = writtenValue;
            return;
        }
    }
    pairs.append({writtenKey, writtenValue});
}

Facts parse(QByteArrayView line)
{
    Facts facts;
    if (!line.startsWith(Prefix))
        return facts;
    const qsizetype versionEnd = line.indexOf(' ') < 0 ? line.size() : line.indexOf(' ');
    if (line.first(versionEnd) != ThisVersion) {
        facts.laterVersion = line.toByteArray();
        return facts;
    }
    for (qsizetype at = versionEnd; at < line.size();) {
        qsizetype end = line.indexOf(' ', at);
        if (end < 0)
            end = line.size();
        const QByteArrayView word = line.sliced(at, end - at);
        at = end + 1;
        if (word.isEmpty())
            continue;
        const qsizetype equals = word.indexOf('=');
        facts.pairs.append({(equals < 0 ? word : word.first(equals)).toByteArray(),
                            equals < 0 ? QByteArray() : word.sliced(equals + 1).toByteArray()});
    }
    return facts;
}

QByteArray format(const Facts &facts)
{
    if (!facts.laterVersion.isEmpty())
        return facts.laterVersion;
    if (facts.pairs.isEmpty())
        return {};
    QByteArray out(ThisVersion.toByteArray());
    for (const auto &[key, value] : facts.pairs) {
        out += ' ' + key + '=' + value;
    }
    return out;
}

} // namespace ExtensionLine
