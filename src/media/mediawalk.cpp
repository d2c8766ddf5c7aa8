#include "media/mediawalk.h"

#include "media/mediafile.h"

#include <QByteArrayList>
#include <QFile>
#include <QRegularExpression>

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <set>
#include <sys/stat.h>
#include <utility>

namespace {

// A file-name match for a wildcard pattern ("*.MP3"), ignoring case.
class NameMatcher
{
public:
    explicit NameMatcher(const QString &pattern);
    bool matches(const QString &name) const;
    bool matches(QByteArrayView name) const;

private:
    QString m_suffix; // for patterns of the form "*literal"
    QByteArray m_asciiSuffix; // the same when it is ASCII: matched on bytes
    bool m_suffixOnly = false;
    QRegularExpression m_expression;
};

NameMatcher::NameMatcher(const QString &pattern)
{
    const QString rest = pattern.mid(1);
    if (pattern.startsWith(u'*') && !rest.contains(u'*') && !rest.contains(u'?') && !rest.contains(u'[')) {
        m_suffix = rest;
        m_suffixOnly = true;
        bool ascii = true;
        for (QChar c : rest)
            ascii = ascii && c.unicode() < 0x80;
        if (ascii)
            m_asciiSuffix = rest.toLatin1();
    } else {
        m_expression.setPattern(QRegularExpression::wildcardToRegularExpression(
            pattern, QRegularExpression::UnanchoredWildcardConversion));
        m_expression.setPatternOptions(QRegularExpression::CaseInsensitiveOption);
    }
}

bool NameMatcher::matches(const QString &name) const
{
    if (m_suffixOnly)
        return name.endsWith(m_suffix, Qt::CaseInsensitive);
    const QRegularExpressionMatch match = m_expression.match(name);
    return match.hasMatch() && match.capturedStart() == 0 && match.capturedLength() == name.size();
}

bool NameMatcher::matches(QByteArrayView name) const
{
    if (m_suffixOnly && !m_asciiSuffix.isEmpty()) {
        const qsizetype n = m_asciiSuffix.size();
        return name.size() >= n && qstrnicmp(name.data() + name.size() - n, m_asciiSuffix.constData(), n) == 0;
    }
    return matches(QFile::decodeName(name.toByteArray()));
}

bool isAscii(QByteArrayView bytes)
{
    for (char c : bytes)
        if (uchar(c) >= 0x80)
            return false;
    return true;
}

// The order of a folder listing: names compared ignoring case, ties by
// the exact name, so a tree gives the same order on every machine.
bool listingLess(const QString &a, const QString &b)
{
    const int folded = a.compare(b, Qt::CaseInsensitive);
    return folded != 0 ? folded < 0 : a < b;
}

// The same order over names as bytes: ASCII names compared in place, others
// as text.
bool listingLessBytes(const QByteArray &a, const QByteArray &b)
{
    if (isAscii(a) && isAscii(b)) {
        const int folded = qstrnicmp(a.constData(), a.size(), b.constData(), b.size());
        return folded != 0 ? folded < 0 : a < b;
    }
    return listingLess(QFile::decodeName(a), QFile::decodeName(b));
}

bool skippedLess(const SkippedFile &a, const SkippedFile &b)
{
    return listingLess(a.path, b.path);
}

bool stopRequested(const std::atomic_bool *stop)
{
    return stop && stop->load(std::memory_order_relaxed);
}

enum class EntryKind { Other, Folder, File, Special, Dangling };

struct Entry
{
    EntryKind kind = EntryKind::Other;
    mode_t mode = 0; // of what a special entry is (or links to)
};

// What a matching link points at. A link to a folder is never followed
// (a link back up would make the walk endless).
Entry linkTarget(int dirFd, const char *name)
{
    struct stat st;
    if (::fstatat(dirFd, name, &st, 0) != 0)
        return {errno == ENOENT || errno == ELOOP || errno == ENOTDIR ? EntryKind::Dangling : EntryKind::Other, 0};
    if (S_ISREG(st.st_mode))
        return {EntryKind::File, 0};
    if (S_ISDIR(st.st_mode))
        return {EntryKind::Other, 0};
    return {EntryKind::Special, st.st_mode};
}

// What an entry is, from the listing's type when it gives one. Entries
// whose name does not match are only told apart as folders or not.
Entry entryOf(int dirFd, const dirent *entry, bool nameMatches)
{
    const auto special = [&]() -> Entry {
        struct stat st;
        if (::fstatat(dirFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
            return {}; // vanished since the listing
        return {EntryKind::Special, st.st_mode};
    };
    switch (entry->d_type) {
    case DT_DIR:
        return {EntryKind::Folder, 0};
    case DT_REG:
        return {EntryKind::File, 0};
    case DT_LNK:
        return nameMatches ? linkTarget(dirFd, entry->d_name) : Entry{};
    case DT_FIFO:
    case DT_CHR:
    case DT_BLK:
    case DT_SOCK:
        return nameMatches ? special() : Entry{};
    case DT_UNKNOWN: {
        struct stat st;
        if (::fstatat(dirFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
            return {};
        if (S_ISDIR(st.st_mode))
            return {EntryKind::Folder, 0};
        if (!nameMatches)
            return {};
        if (S_ISREG(st.st_mode))
            return {EntryKind::File, 0};
        if (S_ISLNK(st.st_mode))
            return linkTarget(dirFd, entry->d_name);
        return {EntryKind::Special, st.st_mode};
    }
    default:
        return {};
    }
}

struct Listing
{
    QByteArrayList files;       // matching plain files, in listing order
    QByteArrayList folders;     // subfolder names, in listing order
    QList<SkippedFile> skipped; // names, not paths, in listing order
    bool ok = false;
};

class Walker
{
public:
    Walker(const QString &pattern, const WalkCallbacks &callbacks, const std::atomic_bool *stop,
           ByteWalkResult &result)
        : m_matcher(pattern), m_callbacks(callbacks), m_stop(stop), m_result(result)
    {
    }

    void run(const QByteArray &root)
    {
        // Folders still to visit, the next one last: popping the back
        // visits a folder's subfolders depth first, in listing order.
        std::vector<QByteArray> pending{root};
        while (!pending.empty()) {
            if (stopRequested(m_stop)) {
                m_result.stopped = true;
                return;
            }
            const QByteArray folder = std::move(pending.back());
            pending.pop_back();
            if (m_callbacks.folderEntered)
                m_callbacks.folderEntered(QFile::decodeName(folder), qsizetype(m_result.files.size()));
            Listing listing = list(folder);
            if (!listing.ok) {
                m_result.failedFolders.append(QFile::decodeName(folder));
                continue;
            }
            if (!listing.files.isEmpty()) {
                const qsizetype index = qsizetype(m_result.folders.size());
                m_result.folders.push_back(folder);
                for (QByteArray &name : listing.files)
                    m_result.files.push_back({index, std::move(name)});
            }
            for (SkippedFile &skipped : listing.skipped) {
                skipped.path = MediaWalk::childPath(QFile::decodeName(folder), skipped.path);
                m_result.skipped.append(std::move(skipped));
            }
            for (auto it = listing.folders.crbegin(); it != listing.folders.crend(); ++it)
                pending.push_back(childBytes(folder, *it));
        }
    }

    static QByteArray childBytes(const QByteArray &folder, const QByteArray &name)
    {
        return folder.endsWith('/') ? folder + name : folder + '/' + name;
    }

private:
    Listing list(const QByteArray &folder)
    {
        Listing listing;
        DIR *dir = ::opendir(folder.constData());
        if (!dir)
            return listing;
        const int fd = ::dirfd(dir);
        // The same folder reached twice (a bind mount inside itself) is
        // listed once.
        struct stat st;
        if (::fstat(fd, &st) == 0 && !m_visited.insert({st.st_dev, st.st_ino}).second) {
            ::closedir(dir);
            listing.ok = true;
            return listing;
        }
        for (;;) {
            // errno is read for readdir alone: the fstatat calls below set
            // it for entries that vanished or links that lead nowhere.
            errno = 0;
            const dirent *entry = ::readdir(dir);
            if (!entry) {
                listing.ok = errno == 0;
                break;
            }
            if (entry->d_name[0] == '.') // hidden entries, "." and ".."
                continue;
            const QByteArrayView rawName(entry->d_name);
            // Only names that match are examined further than the listing.
            const bool folderType = entry->d_type == DT_DIR || entry->d_type == DT_UNKNOWN;
            const bool nameMatches = m_matcher.matches(rawName);
            if (!folderType && !nameMatches)
                continue;
            const Entry what = entryOf(fd, entry, nameMatches);
            // A name that is not UTF-8 would be stored with replacement
            // characters and point nowhere: it is listed, not imported.
            const bool storable = rawName.isValidUtf8();
            switch (what.kind) {
            case EntryKind::Folder:
                if (storable)
                    listing.folders.append(rawName.toByteArray());
                else
                    listing.skipped.append({QFile::decodeName(entry->d_name), m_folderNameReason});
                break;
            case EntryKind::File:
                if (storable)
                    listing.files.append(rawName.toByteArray());
                else
                    listing.skipped.append({QFile::decodeName(entry->d_name), m_fileNameReason});
                break;
            case EntryKind::Special:
                listing.skipped.append({QFile::decodeName(entry->d_name), notPlainFileReason(what.mode)});
                break;
            case EntryKind::Dangling:
                listing.skipped.append({QFile::decodeName(entry->d_name), m_danglingReason});
                break;
            case EntryKind::Other:
                break;
            }
        }
        ::closedir(dir);
        std::sort(listing.files.begin(), listing.files.end(), listingLessBytes);
        std::sort(listing.folders.begin(), listing.folders.end(), listingLessBytes);
        std::sort(listing.skipped.begin(), listing.skipped.end(), skippedLess);
        return listing;
    }

    NameMatcher m_matcher;
    const WalkCallbacks &m_callbacks;
    const std::atomic_bool *m_stop;
    ByteWalkResult &m_result;
    const QString m_danglingReason = QStringLiteral("a link to a file that does not exist");
    const QString m_fileNameReason = QStringLiteral("the file name is not valid UTF-8");
    const QString m_folderNameReason =
        QStringLiteral("the folder name is not valid UTF-8: the folder was not scanned");
    std::set<std::pair<dev_t, ino_t>> m_visited;
};

} // namespace

namespace MediaWalk {

QString childPath(const QString &folder, const QString &name)
{
    return folder.endsWith(u'/') ? folder + name : folder + u'/' + name;
}

ByteWalkResult walkBytes(const QString &root, const QString &pattern, const WalkCallbacks &callbacks,
                         const std::atomic_bool *stop)
{
    ByteWalkResult result;
    // "/media/cd/" walks as "/media/cd"; "/" stays "/".
    QString start = root;
    while (start.size() > 1 && start.endsWith(u'/'))
        start.chop(1);
    if (start.isEmpty()) {
        result.failedFolders.append(root);
        return result;
    }
    Walker(pattern, callbacks, stop, result).run(QFile::encodeName(start));
    return result;
}

WalkResult walk(const QString &root, const QString &pattern, const WalkCallbacks &callbacks,
                const std::atomic_bool *stop)
{
    ByteWalkResult bytes = walkBytes(root, pattern, callbacks, stop);
    WalkResult result;
    result.files.reserve(qsizetype(bytes.files.size()));
    for (const WalkedFile &file : bytes.files)
        result.files.append(QFile::decodeName(bytes.pathBytes(file)));
    result.failedFolders = std::move(bytes.failedFolders);
    result.skipped = std::move(bytes.skipped);
    result.stopped = bytes.stopped;
    return result;
}

} // namespace MediaWalk

QByteArray ByteWalkResult::pathBytes(const WalkedFile &file) const
{
    const QByteArray &folder = folders[size_t(file.folder)];
    return folder.endsWith('/') ? folder + file.name : folder + '/' + file.name;
}
