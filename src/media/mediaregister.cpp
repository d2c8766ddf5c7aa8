#include "media/mediaregister.h"

#include "catalogue/extensionline.h"

#include "catalogue/rowstore.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QJsonDocument>
#include <QJsonParseError>
#include <algorithm>
#include <array>

namespace {

// The keys of a record in the order they are written; anything else in an
// object is kept in `unknown`.
const QStringList &knownKeys()
{
    static const QStringList keys{QStringLiteral("source"),   QStringLiteral("label"),
                                  QStringLiteral("uuid"),     QStringLiteral("fstype"),
                                  QStringLiteral("capacity"), QStringLiteral("root"),
                                  QStringLiteral("mountRoot"), QStringLiteral("scanned"),
                                  QStringLiteral("files"),    QStringLiteral("bytes"),
                                  QStringLiteral("seconds"),  QStringLiteral("codepage"),
                                  QStringLiteral("tags"),     QStringLiteral("note"),
                                  QStringLiteral("verified")};
    return keys;
}

// A missing key is its default; a key of the wrong type makes the record
// damaged, since writing it back would lose what another version put there.
bool takeText(const QJsonObject &object, const QString &key, QString &out)
{
    const QJsonValue value = object.value(key);
    if (value.isUndefined())
        return true;
    if (!value.isString())
        return false;
    out = value.toString();
    return true;
}

bool takeCount(const QJsonObject &object, const QString &key, qint64 &out)
{
    const QJsonValue value = object.value(key);
    if (value.isUndefined())
        return true;
    const double number = value.toDouble(-1);
    if (!value.isDouble() || number < 0 || number > 9.0e15 || number != double(qint64(number)))
        return false;
    out = qint64(number);
    return true;
}

// "verified": {"time", "files", "ok", "unreadable", "changed", "damaged",
// "missing"}, written once the medium was verified.
const std::array<std::pair<const char *, qint64 MediumVerification::*>, 6> &verificationCounts()
{
    static const std::array<std::pair<const char *, qint64 MediumVerification::*>, 6> counts{{
        {"files", &MediumVerification::files},
        {"ok", &MediumVerification::ok},
        {"unreadable", &MediumVerification::unreadable},
        {"changed", &MediumVerification::changed},
        {"damaged", &MediumVerification::damaged},
        {"missing", &MediumVerification::missing},
    }};
    return counts;
}

bool takeVerification(const QJsonObject &object, MediumVerification &out)
{
    const QJsonValue value = object.value(QStringLiteral("verified"));
    if (value.isUndefined())
        return true;
    const QJsonObject verified = value.toObject();
    QString time;
    if (!value.isObject() || !takeText(verified, QStringLiteral("time"), time))
        return false;
    out.when = QDateTime::fromString(time, Qt::ISODate);
    for (const auto &[key, member] : verificationCounts()) {
        if (!takeCount(verified, QString::fromLatin1(key), out.*member))
            return false;
    }
    return out.when.isValid();
}

bool parseRecord(const QString &key, const QJsonObject &object, MediaRecord &record, QString &reason)
{
    record.source = key;
    QString source = key;
    QString scanned;
    bool ok = takeText(object, QStringLiteral("source"), source) && takeText(object, QStringLiteral("label"), record.label)
              && takeText(object, QStringLiteral("uuid"), record.uuid)
              && takeText(object, QStringLiteral("fstype"), record.fstype)
              && takeCount(object, QStringLiteral("capacity"), record.capacity)
              && takeText(object, QStringLiteral("root"), record.root)
              && takeText(object, QStringLiteral("mountRoot"), record.mountRoot)
              && takeText(object, QStringLiteral("scanned"), scanned)
              && takeCount(object, QStringLiteral("files"), record.files)
              && takeCount(object, QStringLiteral("bytes"), record.bytes)
              && takeCount(object, QStringLiteral("seconds"), record.seconds)
              && takeText(object, QStringLiteral("codepage"), record.codepage)
              && takeText(object, QStringLiteral("tags"), record.tags)
              && takeText(object, QStringLiteral("note"), record.note)
              && takeVerification(object, record.verified);
    if (!ok || source != key) {
        reason = QStringLiteral("the entry of %1 is damaged").arg(key);
        return false;
    }
    if (!scanned.isEmpty()) {
        record.scanned = QDateTime::fromString(scanned, Qt::ISODate);
        if (!record.scanned.isValid()) {
            reason = QStringLiteral("the entry of %1 is damaged").arg(key);
            return false;
        }
    }
    for (auto it = object.begin(); it != object.end(); ++it) {
        if (!knownKeys().contains(it.key()))
            record.unknown.insert(it.key(), it.value());
    }
    return true;
}

// A UTF-16 unit as the code points it stands for rank: a surrogate (half
// of a character above U+FFFF) goes above U+E000-U+FFFF.
char16_t codePointRank(char16_t unit)
{
    return unit < 0xD800 ? unit : unit >= 0xE000 ? char16_t(unit - 0x800) : char16_t(unit + 0x2000);
}

bool sourceBefore(const MediaRecord &record, const QString &source)
{
    return SourceOrder()(record.source, source);
}

} // namespace

bool SourceOrder::operator()(QStringView a, QStringView b) const
{
    // Units before the first difference are the same characters, so only
    // the first differing pair needs ranking.
    const auto [x, y] = std::mismatch(a.utf16(), a.utf16() + a.size(), b.utf16(), b.utf16() + b.size());
    if (y == b.utf16() + b.size())
        return false;
    return x == a.utf16() + a.size() || codePointRank(*x) < codePointRank(*y);
}

QJsonObject MediaRegister::objectOf(const MediaRecord &record)
{
    QJsonObject object = record.unknown;
    object.insert(QStringLiteral("source"), record.source);
    object.insert(QStringLiteral("label"), record.label);
    object.insert(QStringLiteral("uuid"), record.uuid);
    object.insert(QStringLiteral("fstype"), record.fstype);
    object.insert(QStringLiteral("capacity"), double(record.capacity));
    object.insert(QStringLiteral("root"), record.root);
    object.insert(QStringLiteral("mountRoot"), record.mountRoot);
    object.insert(QStringLiteral("scanned"), record.scanned.isValid()
                                                 ? record.scanned.toUTC().toString(Qt::ISODate)
                                                 : QString());
    object.insert(QStringLiteral("files"), double(record.files));
    object.insert(QStringLiteral("bytes"), double(record.bytes));
    object.insert(QStringLiteral("seconds"), double(record.seconds));
    object.insert(QStringLiteral("codepage"), record.codepage);
    object.insert(QStringLiteral("tags"), record.tags);
    object.insert(QStringLiteral("note"), record.note);
    if (record.verified.when.isValid()) {
        QJsonObject verified{{QStringLiteral("time"), record.verified.when.toUTC().toString(Qt::ISODate)}};
        for (const auto &[key, member] : verificationCounts())
            verified.insert(QString::fromLatin1(key), double(record.verified.*member));
        object.insert(QStringLiteral("verified"), verified);
    }
    return object;
}

bool MediaRegister::parse(const QByteArray &json, QString *reason)
{
    m_records.clear();
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    QString why;
    if (error.error != QJsonParseError::NoError) {
        why = QStringLiteral("it is not valid JSON (%1 at byte %2)").arg(error.errorString()).arg(error.offset);
    } else if (!document.isObject()) {
        why = QStringLiteral("it does not hold one object per medium");
    } else {
        const QJsonObject media = document.object();
        for (auto it = media.begin(); it != media.end() && why.isEmpty(); ++it) {
            MediaRecord record;
            if (!it.value().isObject())
                why = QStringLiteral("the entry of %1 is damaged").arg(it.key());
            else if (parseRecord(it.key(), it.value().toObject(), record, why))
                m_records.append(std::move(record));
        }
    }
    if (why.isEmpty()) {
        // The object's own order of keys is Qt's, not the register's.
        std::sort(m_records.begin(), m_records.end(),
                  [](const MediaRecord &a, const MediaRecord &b) { return SourceOrder()(a.source, b.source); });
        return true;
    }
    m_records.clear();
    if (reason)
        *reason = why;
    return false;
}

QByteArray MediaRegister::toJson() const
{
    QJsonObject media;
    for (const MediaRecord &record : m_records)
        media.insert(record.source, objectOf(record));
    return QJsonDocument(media).toJson(QJsonDocument::Compact);
}

MediaRegister::ReadResult MediaRegister::read(const QString &path)
{
    m_records.clear();
    return JsonFile::read(path, MaxFileBytes, [this](const QByteArray &json, QString *reason) { return parse(json, reason); });
}

SaveResult MediaRegister::save(const QString &path) const
{
    return JsonFile::save(path, toJson(), MaxFileBytes);
}

const MediaRecord *MediaRegister::find(const QString &source) const
{
    const auto it = std::lower_bound(m_records.begin(), m_records.end(), source, sourceBefore);
    return it != m_records.end() && it->source == source ? &*it : nullptr;
}

MediaRecord *MediaRegister::find(const QString &source)
{
    return const_cast<MediaRecord *>(std::as_const(*this).find(source));
}

MediaRecord &MediaRegister::recordFor(const QString &source)
{
    auto it = std::lower_bound(m_records.begin(), m_records.end(), source, sourceBefore);
    if (it == m_records.end() || it->source != source) {
        MediaRecord record;
        record.source = source;
        it = m_records.insert(it, std::move(record));
    }
    return *it;
}

bool MediaRegister::dropUnused(const std::function<bool(const QString &)> &hasEntries)
{
    const qsizetype before = m_records.size();
    m_records.removeIf([&hasEntries](const MediaRecord &record) {
        return record.note.isEmpty() && record.codepage == QLatin1String("auto") && !hasEntries(record.source);
    });
    return m_records.size() != before;
}

const MediaRecord *MediaRegister::sameMedium(const QString &source, const QString &root,
                                             const std::function<QString(const MediaRecord &)> &currentRoot) const
{
    const QString id = source.trimmed();
    const QString folder = QDir::cleanPath(root);
    for (const MediaRecord &record : m_records) {
        if (record.source == source)
            continue;
        if (record.source.trimmed().compare(id, Qt::CaseInsensitive) == 0)
            return &record;
        const QString now = currentRoot(record);
        if (!now.isEmpty() && QDir::cleanPath(now) == folder)
            return &record;
    }
    return nullptr;
}

MediaRegister MediaRegister::withRecordsOf(const MediaRegister &other) const
{
    MediaRegister both = *this;
    for (const MediaRecord &record : other.m_records) {
        if (!find(record.source))
            both.recordFor(record.source) = record;
    }
    return both;
}

bool MediaRegister::remove(const QString &source)
{
    const auto it = std::lower_bound(m_records.begin(), m_records.end(), source, sourceBefore);
    if (it == m_records.end() || it->source != source)
        return false;
    m_records.erase(it);
    return true;
}

QString MediaRegister::problemMessage(const QString &path, const ReadResult &result)
{
    return QStringLiteral("The media register %1 could not be read (%2).")
        .arg(QDir::toNativeSeparators(path), result.reason);
}

void noteScan(MediaRecord &record, const QString &root, const QList<MountedVolume> &volumes, const QDateTime &when,
              const MediumTotals &totals)
{
    record.files = totals.files;
    record.bytes = totals.bytes;
    record.seconds = totals.seconds;
    record.root = root;
    record.scanned = when.toUTC();
    const MountedVolume *volume = Volumes::holding(volumes, root);
    record.mountRoot = volume ? volume->mountPoint : QString();
    record.label = volume ? volume->label : QString();
    record.uuid = volume ? volume->uuid : QString();
    record.fstype = volume ? volume->fstype : QString();
    record.capacity = volume ? volume->capacity : 0;
}

void MediumTotals::add(QByteArrayView facts, QByteArrayView path, Measure measure)
{
    ++files;
    if (measure == EntriesOnly)
        return;
    tenths += ExtensionLine::tenthsValue(facts, "dur").value_or(0);
    seconds = (tenths + 5) / 10;
    if (const auto size = ExtensionLine::integerValue(facts, "size")) {
        bytes += *size;
        return;
    }
    const QFileInfo file(QString::fromUtf8(path));
    if (file.isFile())
        bytes += file.size();
}

MediumTotals mediumTotals(const RowStore &rows, const QString &source, MediumTotals::Measure measure)
{
    const QByteArray wanted = source.toUtf8();
    MediumTotals totals;
    for (qsizetype row = 0; row < rows.size(); ++row) {
        if (rows.origin(row) == EntryOrigin::Own && rows.fieldUtf8(row, FieldSource) == wanted)
            totals.add(rows.extensionUtf8(row), rows.fieldUtf8(row, FieldFilename), measure);
    }
    return totals;
}

TotalsBySource mediaTotals(const RowStore &rows)
{
    QHash<QByteArray, MediumTotals> counted;
    for (qsizetype row = 0; row < rows.size(); ++row) {
        if (rows.origin(row) == EntryOrigin::Own)
            counted[rows.fieldUtf8(row, FieldSource).toByteArray()].add(rows.extensionUtf8(row),
                                                                       rows.fieldUtf8(row, FieldFilename));
    }
    TotalsBySource totals;
    for (auto it = counted.cbegin(); it != counted.cend(); ++it)
        totals.emplace(QString::fromUtf8(it.key()), it.value());
    return totals;
}

QSet<QByteArray> ownSources(const RowStore &rows)
{
    QSet<QByteArray> sources;
    QByteArrayView last; // runs of one source are the common case
    for (qsizetype row = 0; row < rows.size(); ++row) {
        const QByteArrayView source = rows.fieldUtf8(row, FieldSource);
        if (rows.origin(row) == EntryOrigin::Own && (sources.isEmpty() || source != last)) {
            sources.insert(source.toByteArray());
            last = source;
        }
    }
    return sources;
}
