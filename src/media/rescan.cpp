#include "media/rescan.h"

#include "catalogue/entrypath.h"
#include "catalogue/extensionline.h"

#include <QFile>
#include <QHash>
#include <QSet>
#include <algorithm>
#include <deque>
#include <optional>
#include <string_view>
#include <unordered_map>

namespace {

// Files that could not be read, named in a summary before "and N more".
constexpr qsizetype MostNamed = 3;

constexpr int ComparedFields[] = {FieldArtist, FieldTrack, FieldAlbum, FieldYear, FieldGenre, FieldAudioHeader};
// A rescan takes these from the walk; the source and the cover stay.
constexpr int UpdatedFields[] = {FieldFilename, FieldArtist, FieldTrack, FieldAlbum,
                                 FieldYear,     FieldGenre,  FieldAudioHeader};

std::string_view view(QByteArrayView bytes)
{
    return {bytes.data(), size_t(bytes.size())};
}

// The path below root, without the separator; empty view when path does
// not lie below root.
std::optional<std::string_view> below(std::string_view path, const QByteArray &root)
{
    const std::string_view prefix(root.constData(), size_t(root.size()));
    if (prefix == "/")
        return path.size() > 1 && path[0] == '/' ? std::optional(path.substr(1)) : std::nullopt;
    if (path.size() <= prefix.size() + 1 || path.substr(0, prefix.size()) != prefix || path[prefix.size()] != '/')
        return std::nullopt;
    return path.substr(prefix.size() + 1);
}

QByteArray rootBytes(QString root)
{
    while (root.size() > 1 && root.endsWith(QLatin1Char('/')))
        root.chop(1);
    return root.toUtf8();
}

// The same tags and header, and, when both know them, the same size and
// modification time.
bool sameContent(const RowStore &a, qsizetype row, const RowStore &b, qsizetype other)
{
    for (const int field : ComparedFields) {
        if (a.fieldUtf8(row, field) != b.fieldUtf8(other, field))
            return false;
    }
    for (const QByteArrayView fact : {QByteArrayView("size"), QByteArrayView("mtime")}) {
        const auto known = ExtensionLine::integerValue(a.extensionUtf8(row), fact);
        const auto now = ExtensionLine::integerValue(b.extensionUtf8(other), fact);
        if (known && now && *known != *now)
            return false;
    }
    return true;
}

std::optional<quint64> aidOf(const RowStore &rows, qsizetype row)
{
    return ExtensionLine::hexValue(rows.extensionUtf8(row), "aid");
}

// What a moved file is recognised by: its name, tags and header.
std::string moveKey(const RowStore &rows, qsizetype row)
{
    const std::string_view path = view(rows.fieldUtf8(row, FieldFilename));
    const size_t slash = path.rfind('/');
    std::string key(slash == std::string_view::npos ? path : path.substr(slash + 1));
    for (const int field : ComparedFields) {
        key += '\0';
        key += view(rows.fieldUtf8(row, field));
    }
    return key;
}

// The path a row is matched by: its exact bytes, so a file whose name is
// not UTF-8 finds its entry whatever code page its name was decoded in.
// The bytes of such a path are kept in exact, which outlives the views.
std::string_view matchedPath(const RowStore &rows, qsizetype row, std::deque<QByteArray> &exact)
{
    const QByteArrayView line = rows.extensionUtf8(row);
    const QByteArrayView path = rows.fieldUtf8(row, FieldFilename);
    if (ExtensionLine::rawValue(line, EntryPath::RawNameKey).isEmpty())
        return view(path);
    return view(exact.emplace_back(EntryPath::exactPath(path, line)));
}

bool inUnreadFolder(std::string_view relative, const QSet<QByteArray> &unread)
{
    for (size_t slash = relative.rfind('/'); slash != std::string_view::npos && slash > 0;
         slash = relative.rfind('/', slash - 1)) {
        if (unread.contains(QByteArray(relative.data(), qsizetype(slash))))
            return true;
    }
    return unread.contains(QByteArray()); // the root itself
}

QSet<QByteArray> unreadFolders(const QStringList &failedFolders, const QByteArray &root)
{
    QSet<QByteArray> unread;
    for (const QString &folder : failedFolders) {
        const QByteArray bytes = rootBytes(folder);
        if (bytes == root)
            unread.insert(QByteArray());
        else if (const auto relative = below(view(bytes), root))
            unread.insert(QByteArray(relative->data(), qsizetype(relative->size())));
    }
    return unread;
}

// The files of the walk that could not be read, by their exact path below
// root, as the summary names them: "CD2/s2.mp3: Input/output error".
QHash<QByteArray, QString> unreadFiles(const QList<SkippedFile> &skipped, const QByteArray &root)
{
    QHash<QByteArray, QString> unread;
    for (const SkippedFile &file : skipped) {
        if (file.kind != SkippedFile::Unreadable)
            continue;
        const QByteArray shown = QFile::encodeName(file.path);
        const QByteArray exact = EntryPath::withRawName(shown, file.rawName);
        const auto relative = below(view(exact), root), relativeShown = below(view(shown), root);
        if (relative && relativeShown)
            unread.insert(QByteArray(relative->data(), qsizetype(relative->size())),
                          QString::fromUtf8(relativeShown->data(), qsizetype(relativeShown->size())) +
                              QStringLiteral(": ") + file.reason);
    }
    return unread;
}

// The line an entry gets from the walk: the facts measured now over its
// own line's other keys.
QByteArray rescannedLine(const RowStore &catalogue, qsizetype row, const RowStore &scanned, qsizetype other)
{
    const QByteArrayView kept = catalogue.extensionUtf8(row), measured = scanned.extensionUtf8(other);
    return kept == measured ? kept.toByteArray() : ExtensionLine::withMeasuredFacts(kept, measured);
}

// "in folders that could not be read" and "unreadable: a.mp3: Permission
// denied, ...", as the entries not seen call for them.
QString notSeenText(const RescanDiff &diff)
{
    const qsizetype all = qsizetype(diff.notSeen.size()), files = diff.unreadFiles.size();
    if (files == 0)
        return QStringLiteral("%1 not seen (in folders that could not be read, kept as they are)").arg(all);
    QString named = diff.unreadFiles.first(std::min(files, MostNamed)).join(QStringLiteral(", "));
    if (files > MostNamed)
        named += QStringLiteral(" and %1 more").arg(files - MostNamed);
    if (files == all)
        return QStringLiteral("%1 not seen (unreadable: %2)").arg(all).arg(named);
    return QStringLiteral("%1 not seen (%2 in folders that could not be read, kept as they are; %3 unreadable: %4)")
        .arg(all)
        .arg(all - files)
        .arg(files)
        .arg(named);
}

// A file gone from its path turns up elsewhere with the same audio
// identity; an entry without one is known by its name, tags and header.
// Of the files not yet taken, one of the same name, tags and header is
// taken first (copies of the same audio are told apart so), then the first
// in walk order.
void matchMoves(const RowStore &catalogue, const std::vector<qsizetype> &missing, const RowStore &scanned,
                std::vector<bool> &taken, RescanDiff &diff)
{
    std::unordered_multimap<quint64, qsizetype> byAid;
    std::unordered_multimap<std::string, qsizetype> byKey;
    for (qsizetype i = 0; i < scanned.size(); ++i) {
        if (taken[size_t(i)])
            continue;
        if (const auto aid = aidOf(scanned, i))
            byAid.emplace(*aid, i);
        byKey.emplace(moveKey(scanned, i), i);
    }
    const auto pick = [&](auto range, const std::string &key) -> std::optional<qsizetype> {
        std::optional<qsizetype> best;
        bool bestSameKey = false;
        for (auto it = range.first; it != range.second; ++it) {
            const qsizetype i = it->second;
            if (taken[size_t(i)])
                continue;
            const bool sameKey = moveKey(scanned, i) == key;
            if (!best || (sameKey && !bestSameKey) || (sameKey == bestSameKey && i < *best)) {
                best = i;
                bestSameKey = sameKey;
            }
        }
        return best;
    };
    for (const qsizetype row : missing) {
        const auto aid = aidOf(catalogue, row);
        const std::string key = moveKey(catalogue, row);
        const auto arrival = aid ? pick(byAid.equal_range(*aid), key) : pick(byKey.equal_range(key), key);
        if (!arrival) {
            diff.removed.push_back(row);
            continue;
        }
        taken[size_t(*arrival)] = true;
        diff.matches.push_back({row, *arrival, RescanDiff::Kind::Moved});
    }
}

} // namespace

qsizetype RescanDiff::count(Kind kind) const
{
    return std::count_if(matches.begin(), matches.end(), [kind](const Match &m) { return m.kind == kind; });
}

bool RescanDiff::changesCatalogue(const RowStore &catalogue, const RowStore &scanned) const
{
    if (!removed.empty() || !added.empty())
        return true;
    return std::any_of(matches.begin(), matches.end(), [&](const Match &m) {
        return m.kind != Kind::Kept
               || catalogue.fieldUtf8(m.row, FieldFilename) != scanned.fieldUtf8(m.scanned, FieldFilename)
               || rescannedLine(catalogue, m.row, scanned, m.scanned) != catalogue.extensionUtf8(m.row);
    });
}

QString comparedRoot(const RowStore &catalogue, const QString &source, const QString &registeredRoot,
                     const RowStore &scanned, const QString &newRoot)
{
    const QByteArray sourceBytes = source.toUtf8();
    const QByteArray registered = rootBytes(registeredRoot);
    const QByteArray newBase = rootBytes(newRoot);
    std::deque<QByteArray> exact;
    std::vector<std::string_view> entries;
    for (qsizetype row = 0; row < catalogue.size(); ++row) {
        if (catalogue.origin(row) == EntryOrigin::Library || catalogue.fieldUtf8(row, FieldSource) != sourceBytes)
            continue;
        entries.push_back(matchedPath(catalogue, row, exact));
        if (below(entries.back(), registered))
            return registeredRoot;
    }
    QSet<QByteArray> walked;
    for (qsizetype i = 0; i < scanned.size(); ++i) {
        if (const auto relative = below(matchedPath(scanned, i, exact), newBase))
            walked.insert(QByteArray(relative->data(), qsizetype(relative->size())));
    }
    // Each folder an entry lies in, at any depth, that holds the walked
    // file of the same path below it.
    QHash<QByteArray, qsizetype> votes;
    for (const std::string_view path : entries) {
        for (size_t slash = path.find('/'); slash != std::string_view::npos; slash = path.find('/', slash + 1)) {
            if (walked.contains(QByteArray(path.data() + slash + 1, qsizetype(path.size() - slash - 1))))
                ++votes[QByteArray(path.data(), qsizetype(std::max<size_t>(slash, 1)))];
        }
    }
    QByteArray best;
    qsizetype most = 0;
    for (auto it = votes.cbegin(); it != votes.cend(); ++it) {
        if (it.value() > most || (it.value() == most && it.key() < best)) {
            best = it.key();
            most = it.value();
        }
    }
    return most > 0 ? QString::fromUtf8(best) : registeredRoot;
}

RescanDiff diffRescan(const RowStore &catalogue, const QString &source, const QString &oldRoot,
                      const RowStore &scanned, const QString &newRoot, const QStringList &failedFolders,
                      const QList<SkippedFile> &skipped)
{
    const QByteArray sourceBytes = source.toUtf8();
    const QByteArray oldBase = rootBytes(oldRoot);
    const QByteArray newBase = rootBytes(newRoot);

    std::deque<QByteArray> exact;
    std::unordered_map<std::string_view, qsizetype> walked;
    walked.reserve(size_t(scanned.size()));
    for (qsizetype i = 0; i < scanned.size(); ++i) {
        if (const auto relative = below(matchedPath(scanned, i, exact), newBase))
            walked.emplace(*relative, i);
    }
    std::vector<bool> taken(size_t(scanned.size()), false);
    const QSet<QByteArray> unread = unreadFolders(failedFolders, newBase);
    const QHash<QByteArray, QString> unreadable = unreadFiles(skipped, newBase);

    RescanDiff diff;
    std::vector<qsizetype> missing; // entries whose path was not walked
    for (qsizetype row = 0; row < catalogue.size(); ++row) {
        if (catalogue.origin(row) == EntryOrigin::Library || catalogue.fieldUtf8(row, FieldSource) != sourceBytes)
            continue; // a library's entries are never rescanned
        const auto relative = below(matchedPath(catalogue, row, exact), oldBase);
        const auto found = relative ? walked.find(*relative) : walked.end();
        const auto reason = relative && !unreadable.isEmpty()
                                ? unreadable.constFind(QByteArray::fromRawData(relative->data(), qsizetype(relative->size())))
                                : unreadable.constEnd();
        if (!relative || inUnreadFolder(*relative, unread)) {
            diff.notSeen.push_back(row); // outside the root, or in a folder not read
        } else if (reason != unreadable.constEnd()) {
            diff.notSeen.push_back(row);
            diff.unreadFiles.append(*reason);
        } else if (found != walked.end() && !taken[size_t(found->second)]) {
            taken[size_t(found->second)] = true;
            const bool same = sameContent(catalogue, row, scanned, found->second);
            diff.matches.push_back({row, found->second, same ? RescanDiff::Kind::Kept : RescanDiff::Kind::Changed});
        } else {
            missing.push_back(row);
        }
    }

    matchMoves(catalogue, missing, scanned, taken, diff);
    std::sort(diff.matches.begin(), diff.matches.end(), [](const auto &a, const auto &b) { return a.row < b.row; });
    for (qsizetype i = 0; i < scanned.size(); ++i) {
        if (!taken[size_t(i)])
            diff.added.push_back(i);
    }
    return diff;
}

QString rescanSummary(const QString &source, const RescanDiff &diff)
{
    QString text = QStringLiteral("Rescan %1: %2 added, %3 removed, %4 changed, %5 moved, %6 unchanged")
                       .arg(source)
                       .arg(diff.added.size())
                       .arg(diff.removed.size())
                       .arg(diff.count(RescanDiff::Kind::Changed))
                       .arg(diff.count(RescanDiff::Kind::Moved))
                       .arg(diff.count(RescanDiff::Kind::Kept));
    if (!diff.notSeen.empty())
        text += QStringLiteral(", ") + notSeenText(diff);
    return text + QLatin1Char('.');
}

QString rescanDone(const QString &source, const RescanDiff &diff)
{
    QStringList parts;
    const auto part = [&parts](size_t count, const char *what) {
        if (count > 0)
            parts << QStringLiteral("%1 %2").arg(count).arg(QLatin1String(what));
    };
    part(diff.added.size(), "added");
    part(diff.removed.size(), "removed");
    part(size_t(diff.count(RescanDiff::Kind::Changed)), "changed");
    part(size_t(diff.count(RescanDiff::Kind::Moved)), "moved");
    return QStringLiteral("Rescan %1: %2.")
        .arg(source, parts.isEmpty() ? QStringLiteral("nothing changed") : parts.join(QStringLiteral(", ")));
}

QString readingApplied(const QString &reading, const QString &source, std::optional<qsizetype> changed)
{
    if (!changed)
        return QStringLiteral("%1 saved for %2; its entries were not changed.").arg(reading, source);
    if (*changed == 0)
        return QStringLiteral("%1 applied to %2: no entry changed.").arg(reading, source);
    return QStringLiteral("%1 applied to %2: %3 %4 changed.")
        .arg(reading, source)
        .arg(*changed)
        .arg(*changed == 1 ? QStringLiteral("entry") : QStringLiteral("entries"));
}

QString rescanQuestion(const QString &source, const RescanDiff &diff)
{
    return rescanSummary(source, diff) + QStringLiteral(" Apply these changes?");
}

RowEdits rescanEdits(const RowStore &catalogue, const RescanDiff &diff, const RowStore &scanned)
{
    RowEdits edits;
    for (const RescanDiff::Match &match : diff.matches) {
        for (const int field : UpdatedFields) {
            if (catalogue.fieldUtf8(match.row, field) != scanned.fieldUtf8(match.scanned, field))
                edits.fields.push_back({match.row, field, scanned.field(match.scanned, field)});
        }
        QByteArray line = rescannedLine(catalogue, match.row, scanned, match.scanned);
        if (catalogue.extensionUtf8(match.row) != line)
            edits.extensions.push_back({match.row, std::move(line)});
    }
    edits.removed = diff.removed;
    edits.appended.reserve(qsizetype(diff.added.size()));
    for (const qsizetype i : diff.added)
        edits.appended.appendRow(scanned, i);
    return edits;
}
