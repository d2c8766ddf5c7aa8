#include "catalogue/extensionline.h"

#include "catalogue/entrypath.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <iterator>
#include <cstring>
#include <string_view>

namespace ExtensionLine {

namespace {

constexpr QByteArrayView Prefix = "ondro:";
constexpr QByteArrayView ThisVersion = "ondro:1";

// The bytes written escaped, looked up: a scan writes a line for every
// file. Bytes beyond ASCII too: a value may be bytes that are not UTF-8 (a
// file name's, raw=), and the line must stay valid UTF-8 for its record
// to be read as UTF-8.
constexpr std::array<bool, 256> Escaped = [] {
    std::array<bool, 256> escaped{};
    for (int c = 0; c < 256; ++c)
        escaped[size_t(c)] = c == '%' || c == ' ' || c == '=' || c < 0x20 || c >= 0x7F;
    return escaped;
}();

// Writes text escaped at to, which has room for three bytes a character;
// where it ends.
char *writeEscaped(char *to, QByteArrayView text)
{
    static constexpr char Hex[] = "0123456789ABCDEF";
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (!Escaped[u]) {
            *to++ = c;
            continue;
        }
        *to++ = '%';
        *to++ = Hex[u >> 4];
        *to++ = Hex[u & 0xF];
    }
    return to;
}

// Written straight into out's room, not a character at a time: a scan
// writes a line for every file.
void appendEscaped(QByteArray &out, QByteArrayView text)
{
    const qsizetype start = out.size();
    out.resize(start + 3 * text.size());
    out.truncate(writeEscaped(out.data() + start, text) - out.constData());
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
    for (const Pair &pair : pairs) {
        if (pair.key == written)
            return unescaped(pair.value);
    }
    return {};
}

void Facts::set(QByteArrayView key, QByteArrayView value)
{
    QByteArray writtenKey, writtenValue;
    appendEscaped(writtenKey, key);
    appendEscaped(writtenValue, value);
    for (Pair &pair : pairs) {
        if (pair.key == writtenKey) {
            pair.value = writtenValue;
            pair.bare = false;
            return;
        }
    }
    pairs.append({writtenKey, writtenValue});
}

void Facts::remove(QByteArrayView key)
{
    QByteArray writtenKey;
    appendEscaped(writtenKey, key);
    pairs.removeIf([&](const Pair &pair) { return pair.key == writtenKey; });
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
        if (equals < 0)
            facts.pairs.append({word.toByteArray(), QByteArray(), true});
        else
            facts.pairs.append({word.first(equals).toByteArray(), word.sliced(equals + 1).toByteArray()});
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
    for (const Facts::Pair &pair : facts.pairs) {
        out += ' ' + pair.key;
        if (!pair.bare)
            out += '=' + pair.value;
    }
    return out;
}

void LineBuilder::add(QByteArrayView key, QByteArrayView value)
{
    char *to = room(key, 3 * value.size());
    m_size = writeEscaped(to, value) - m_out.constData();
}

void LineBuilder::add(QByteArrayView key, qint64 number)
{
    // A number's digits (and sign) are never escaped: written in place.
    constexpr qsizetype MostDigits = 20;
    char *to = room(key, MostDigits);
    m_size = std::to_chars(to, to + MostDigits, number).ptr - m_out.constData();
}

char *LineBuilder::room(QByteArrayView key, qsizetype valueRoom)
{
    const qsizetype start = m_size == 0 ? ThisVersion.size() : m_size;
    const qsizetype needed = start + 2 + 3 * key.size() + valueRoom;
    // All the room out has, and at first that of a scanned file's whole
    // line, mostly: most lines are written with one resize.
    constexpr qsizetype UsualLine = 192;
    if (needed > m_out.size())
        m_out.resize(std::max({needed, m_out.capacity(), UsualLine}));
    if (m_size == 0)
        std::copy(ThisVersion.begin(), ThisVersion.end(), m_out.data());
    char *to = m_out.data() + start;
    *to++ = ' ';
    to = writeEscaped(to, key);
    *to++ = '=';
    return to;
}

// Digits only, no sign; a number over max is refused before it could
// overflow, however many leading zeros it has.
std::optional<qint64> wholeNumber(QByteArrayView raw, qint64 max)
{
    if (raw.isEmpty())
        return std::nullopt;
    qint64 n = 0;
    for (const char c : raw) {
        const int digit = c - '0';
        if (digit < 0 || digit > 9 || digit > max || n > (max - digit) / 10)
            return std::nullopt;
        n = n * 10 + digit;
    }
    return n;
}

std::optional<qint64> tenths(QByteArrayView raw, qint64 maxTenths)
{
    const qsizetype dot = raw.indexOf('.');
    const auto whole = wholeNumber(dot < 0 ? raw : raw.first(dot), maxTenths / 10);
    if (!whole)
        return std::nullopt;
    if (dot < 0)
        return *whole * 10;
    const QByteArrayView decimal = raw.sliced(dot + 1);
    if (decimal.size() != 1 || decimal[0] < '0' || decimal[0] > '9' || *whole * 10 + (decimal[0] - '0') > maxTenths)
        return std::nullopt;
    return *whole * 10 + (decimal[0] - '0');
}

namespace {

// A fact's key compared at its known length, which the compiler does in place.
int factNamed(std::string_view key)
{
    const auto is = [&key](const char *name) { return std::memcmp(key.data(), name, key.size()) == 0; };
    switch (key.size()) {
    case 3:
        return is("dur") ? Dur : is("enc") ? Enc : is("aid") ? Aid : is("est") ? Est : is("dmg") ? Dmg
             : is("trk") ? Trk : FactCount;
    case 4:
        return is("size") ? Size : is("kbps") ? Kbps : is("mode") ? Mode : is("rate") ? Rate
             : is("disc") ? Disc : FactCount;
    case 5:
        return is("mtime") ? Mtime : FactCount;
    default:
        return FactCount;
    }
}

} // namespace

FactValues factValues(QByteArrayView line)
{
    FactValues values{};
    const std::string_view text(line.data(), size_t(line.size()));
    const std::string_view version(ThisVersion.data(), size_t(ThisVersion.size()));
    if (!text.starts_with(version) || (text.size() > version.size() && text[version.size()] != ' '))
        return values; // no line, or one of a later version
    for (size_t at = version.size() + 1; at < text.size();) {
        const size_t end = std::min(text.find(' ', at), text.size());
        const std::string_view word = text.substr(at, end - at);
        at = end + 1;
        const size_t equals = word.find('=');
        if (equals == std::string_view::npos)
            continue;
        const int fact = factNamed(word.substr(0, equals));
        if (fact < FactCount && values[size_t(fact)].isNull())
            values[size_t(fact)] = QByteArrayView(word.data() + equals + 1, qsizetype(word.size() - equals - 1));
    }
    return values;
}

namespace {

std::optional<qint64> numberOf(QByteArrayView text, Fact fact)
{
    if (fact == Dur)
        return tenths(text, FactLimits[Dur]);
    return isNumeric(fact) ? wholeNumber(text, FactLimits[size_t(fact)]) : std::nullopt;
}

} // namespace

std::optional<qint64> factNumber(QByteArrayView raw, Fact fact)
{
    // A value written escaped is rare: decoded only then.
    return raw.contains('%') ? numberOf(unescaped(raw), fact) : numberOf(raw, fact);
}

QByteArray decodedText(QByteArrayView raw)
{
    return raw.contains('%') ? unescaped(raw) : raw.toByteArray();
}

std::optional<qint64> integerValue(QByteArrayView line, QByteArrayView key)
{
    const int fact = factNamed(std::string_view(key.data(), size_t(key.size())));
    if (fact < FactCount && isNumeric(Fact(fact)) && fact != Dur)
        return factNumber(rawValue(line, key), Fact(fact));
    return wholeNumber(decodedText(rawValue(line, key)), MaxWhole);
}

std::optional<quint64> hexValue(QByteArrayView line, QByteArrayView key)
{
    const QByteArrayView text = rawValue(line, key);
    if (text.isEmpty() || text.size() > 16)
        return std::nullopt;
    quint64 n = 0;
    for (const char c : text) {
        const int d = hexDigit(c);
        if (d < 0)
            return std::nullopt;
        n = n << 4 | quint64(d);
    }
    return n;
}

std::optional<qint64> tenthsValue(QByteArrayView line, QByteArrayView key)
{
    return key == "dur" ? factNumber(rawValue(line, key), Dur) : tenths(decodedText(rawValue(line, key)));
}

QByteArrayView rawValue(QByteArrayView line, QByteArrayView key)
{
    // Read for every row by queries and the duplicates: plain string_view
    // searches, which the compiler inlines.
    const std::string_view text(line.data(), size_t(line.size()));
    const std::string_view version(ThisVersion.data(), size_t(ThisVersion.size()));
    const std::string_view name(key.data(), size_t(key.size()));
    if (text.substr(0, version.size()) != version || (text.size() > version.size() && text[version.size()] != ' '))
        return {};
    for (size_t at = text.find(' '); at != std::string_view::npos; at = text.find(' ', at + 1)) {
        const std::string_view rest = text.substr(at + 1);
        if (rest.size() > name.size() && rest[name.size()] == '=' && rest.substr(0, name.size()) == name) {
            const std::string_view value = rest.substr(name.size() + 1);
            const size_t end = value.find(' ');
            return QByteArrayView(value.data(), qsizetype(end == std::string_view::npos ? value.size() : end));
        }
    }
    return {};
}

QByteArray textValue(QByteArrayView line, QByteArrayView key)
{
    return decodedText(rawValue(line, key));
}

} // namespace ExtensionLine

namespace ExtensionLine {

QByteArray withMeasuredFacts(QByteArrayView kept, QByteArrayView measured)
{
    Facts facts = parse(kept);
    if (!facts.laterVersion.isEmpty())
        return facts.laterVersion;
    const Facts now = parse(measured);
    // The name's exact bytes follow the walk like the measured facts.
    const auto isMeasured = [](const QByteArray &key) {
        return key == EntryPath::RawNameKey || key == ArtKey
               || std::find(FactKeys.begin(), FactKeys.end(), key) != FactKeys.end();
    };
    // A fact no longer measured would be stale; one written twice by hand
    // keeps its first place only.
    QList<QByteArray> seen;
    facts.pairs.removeIf([&](const Facts::Pair &pair) {
        if (!isMeasured(pair.key))
            return false;
        const bool stale = seen.contains(pair.key) || !std::any_of(now.pairs.begin(), now.pairs.end(), [&](const Facts::Pair &m) {
            return m.key == pair.key;
        });
        seen.append(pair.key);
        return stale;
    });
    for (const Facts::Pair &pair : now.pairs) {
        if (isMeasured(pair.key))
            facts.set(pair.key, now.value(pair.key));
    }
    if (const QByteArray mark = facts.value(ProblemKey); mark == "changed" || mark == "missing")
        facts.remove(ProblemKey);
    return format(facts);
}

} // namespace ExtensionLine
