#include "browse/queryvalues.h"

#include "catalogue/extensionline.h"
#include "catalogue/trackrecord.h"

#include <QDate>
#include <QDateTime>
#include <QTimeZone>

#include <algorithm>
#include <array>

namespace Query {

namespace {

constexpr double Unbounded = 1e300;

// A time value: the first and last second of a date, or an age's one
// second before now (first == last, counted from now: negative).
struct TimeValue
{
    qint64 first = 0;
    qint64 last = 0;
    bool age = false;
};

bool allDigits(QStringView text)
{
    return !text.isEmpty() && std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

qint64 utcSeconds(QDate date)
{
    return date.startOfDay(QTimeZone::utc()).toSecsSinceEpoch();
}

std::optional<TimeValue> dateValue(QStringView text)
{
    const QList<QStringView> parts = text.split(u'-');
    if (parts.size() > 3 || parts[0].size() != 4)
        return std::nullopt;
    std::array<int, 3> n{0, 1, 1};
    for (qsizetype i = 0; i < parts.size(); ++i) {
        if (!allDigits(parts[i]) || (i > 0 && parts[i].size() != 2))
            return std::nullopt;
        n[size_t(i)] = parts[i].toInt();
    }
    const QDate first(n[0], n[1], n[2]);
    if (!first.isValid())
        return std::nullopt;
    const QDate next = parts.size() == 1 ? first.addYears(1) : parts.size() == 2 ? first.addMonths(1) : first.addDays(1);
    return TimeValue{utcSeconds(first), utcSeconds(next) - 1, false};
}

std::optional<TimeValue> ageValue(QStringView text)
{
    if (text.size() < 2)
        return std::nullopt;
    constexpr std::array<std::pair<char16_t, qint64>, 4> Units{
        {{u'h', 3600}, {u'd', 86400}, {u'w', 7 * 86400}, {u'y', 365 * 86400}}};
    for (const auto &[unit, seconds] : Units) {
        bool ok = false;
        const double n = text.chopped(1).toDouble(&ok);
        if (text.back().toLower() == unit && ok && n >= 0 && n < 1e6 && allDigits(text.first(1))) {
            const qint64 back = -qint64(n * double(seconds));
            return TimeValue{back, back, true};
        }
    }
    return std::nullopt;
}

std::optional<TimeValue> timeValue(QStringView text)
{
    const std::optional<TimeValue> age = ageValue(text);
    return age ? age : dateValue(text);
}

// Seconds as m:ss or h:mm:ss: two digits after each colon, below 60, the
// last with tenths if given (4:30.5).
std::optional<double> clockValue(QStringView text)
{
    const QList<QStringView> parts = text.split(u':');
    if (parts.size() > 3 || !allDigits(parts.front()))
        return std::nullopt;
    double seconds = parts.front().toDouble();
    for (qsizetype i = 1; i < parts.size(); ++i) {
        const QStringView part = parts[i];
        const QStringView whole = part.first(std::min<qsizetype>(2, part.size()));
        const QStringView tenths = part.sliced(whole.size());
        const bool tenthsOk = tenths.isEmpty()
                              || (i == parts.size() - 1 && tenths.front() == u'.' && allDigits(tenths.sliced(1)));
        if (whole.size() != 2 || !allDigits(whole) || whole.toInt() >= 60 || !tenthsOk)
            return std::nullopt;
        seconds = seconds * 60 + part.toDouble();
    }
    return seconds;
}

struct FieldName
{
    const char *name;
    Field field;
};

// "track" is the title, as the list's header and the JSON output name it;
// the track number is trk.
constexpr std::array<FieldName, 23> Fields{{{"path", Field::Path},   {"file", Field::File},   {"source", Field::Source},
                                            {"artist", Field::Artist}, {"title", Field::Title}, {"track", Field::Title},
                                            {"album", Field::Album},   {"year", Field::Year},   {"genre", Field::Genre},
                                            {"cover", Field::Cover},   {"dur", Field::Dur},     {"kbps", Field::Kbps},
                                            {"mode", Field::Mode},     {"rate", Field::Rate},   {"enc", Field::Enc},
                                            {"size", Field::Size},     {"label", Field::Label}, {"note", Field::Note},
                                            {"trk", Field::Trk},       {"disc", Field::Disc},   {"mtime", Field::Mtime},
                                            {"scanned", Field::Scanned}, {"verified", Field::Verified}}};

constexpr std::array<FieldName, 14> Flags{{{"has:cover", Field::HasCover}, {"has:art", Field::HasArt},
                                           {"has:tag", Field::HasTag},
                                           {"is:online", Field::IsOnline}, {"is:offline", Field::IsOffline},
                                           {"is:library", Field::IsLibrary}, {"dup:audio", Field::DupAudio},
                                           {"dup:song", Field::DupSong}, {"single", Field::Single},
                                           {"is:single", Field::Single}, {"has:damage", Field::HasDamage},
                                           {"is:estimated", Field::IsEstimated},
                                           {"is:unverified", Field::IsUnverified}, {"has:problem", Field::HasProblem}}};

} // namespace

std::optional<Field> fieldNamed(QStringView name)
{
    for (const FieldName &f : Fields) {
        if (name == QLatin1String(f.name))
            return f.field;
    }
    return std::nullopt;
}

std::optional<Field> flagNamed(QStringView name)
{
    for (const FieldName &f : Flags) {
        if (name.compare(QLatin1String(f.name), Qt::CaseInsensitive) == 0)
            return f.field;
    }
    return std::nullopt;
}

std::optional<LineFlag> lineFlag(Field field)
{
    switch (field) {
    case Field::HasDamage: // dmg=short or dmg=long
        return LineFlag{"dmg", {}};
    case Field::IsEstimated:
        return LineFlag{"est", "1"};
    case Field::HasProblem: // a verification's mark
        return LineFlag{ExtensionLine::ProblemKey, {}};
    case Field::HasArt:
        return LineFlag{ExtensionLine::ArtKey, {}};
    default:
        return std::nullopt;
    }
}

int textColumnOf(Field field)
{
    switch (field) {
    case Field::Source: return FieldSource;
    case Field::Artist: return FieldArtist;
    case Field::Title: return FieldTrack;
    case Field::Album: return FieldAlbum;
    case Field::Year: return FieldYear;
    case Field::Genre: return FieldGenre;
    case Field::Cover: return FieldCoverImage;
    default: return FieldFilename;
    }
}

bool isNumberField(Field field)
{
    return field == Field::Dur || field == Field::Kbps || field == Field::Rate || field == Field::Size
           || field == Field::Trk || field == Field::Disc;
}

bool isTimeField(Field field)
{
    return field == Field::Mtime || field == Field::Scanned || field == Field::Verified;
}

std::optional<double> numberValue(Field field, QStringView text)
{
    double scale = 1;
    if (field == Field::Dur && text.contains(u':'))
        return clockValue(text);
    if (field == Field::Size && !text.isEmpty()) {
        const double units[] = {1024.0, 1024.0 * 1024, 1024.0 * 1024 * 1024};
        const qsizetype which = QStringView(u"KMG").indexOf(text.back().toUpper());
        if (which >= 0) {
            scale = units[which];
            text.chop(1);
        }
    }
    bool ok = false;
    const double n = text.toDouble(&ok);
    return ok ? std::optional(n * scale) : std::nullopt;
}

std::optional<Term> timeTerm(Field field, QStringView compare, QStringView text)
{
    Term term{field, Op::Range, {}, -Unbounded, Unbounded};
    const auto setLow = [&](const TimeValue &v, qint64 second) { term.low = double(second), term.lowFromNow = v.age; };
    const auto setHigh = [&](const TimeValue &v, qint64 second) { term.high = double(second), term.highFromNow = v.age; };
    if (!compare.isEmpty()) {
        const std::optional<TimeValue> v = timeValue(text);
        if (!v)
            return std::nullopt;
        const bool orEqual = compare.endsWith(u'=');
        // An age's < is a time after its moment: newer.
        if ((compare.front() == u'<') != v->age)
            orEqual ? setHigh(*v, v->last) : setHigh(*v, v->first - 1);
        else
            orEqual ? setLow(*v, v->first) : setLow(*v, v->last + 1);
        return term;
    }
    const qsizetype dots = text.indexOf(u"..");
    const QStringView from = dots < 0 ? text : text.first(dots);
    const QStringView to = dots < 0 ? text : text.sliced(dots + 2);
    const std::optional<TimeValue> first = from.isEmpty() ? std::nullopt : timeValue(from);
    const std::optional<TimeValue> last = to.isEmpty() ? std::nullopt : timeValue(to);
    if ((!from.isEmpty() && !first) || (!to.isEmpty() && !last) || (!first && !last))
        return std::nullopt;
    if (dots < 0 && first->age) { // mtime:30d: within the last 30 days
        setLow(*first, first->first);
        return term;
    }
    // 7d..30d: from 30 days ago to 7.
    const bool ages = first && last && first->age && last->age && first->first > last->first;
    if (const std::optional<TimeValue> &low = ages ? last : first)
        setLow(*low, low->first);
    if (const std::optional<TimeValue> &high = ages ? first : last)
        setHigh(*high, high->last);
    return term;
}

} // namespace Query
