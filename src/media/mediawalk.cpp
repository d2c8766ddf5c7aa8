#include "media/mediawalk.h"

#include "media/mediafile.h"

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

private:
    QString m_suffix; // for patterns of the form "*literal"
    bool m_suffixOnly = false;
    QRegularExpression m_expression;
};

NameMatcher::NameMatcher(const QString &pattern)
{
    const QString rest = pattern.mid(1);
    if (pattern.startsWith(u'*') && !rest.contains(u'*') && !rest.contains(u'?') && !rest.contains(u'[')) {
        m_suffix = rest;
        m_suffixOnly = true;
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

// The order of a folder listing: names compared ignoring case, ties by
// the exact name, so a tree gives the same order on every machine.
bool listingLess(const QString &a, const QString &b)
{
    const int folded = a.compare(b, Qt::CaseInsensitive);
    return folded != 0 ? folded < 0 : a < b;
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
    QStringList files;          // matching plain files, in listing order
    QStringList folders;        // subfolder names, in listing order
    QList<SkippedFile> skipped; // names, not paths, in listing order
    bool ok = false;
};

class Walker
{
public:
    Walker(const QString &pattern, const WalkCallbacks &callbacks, const std::atomic_bool *stop,
           WalkResult &result)
        : m_matcher(pattern), m_callbacks(callbacks), m_stop(stop), m_result(result)
    {
    }

    void run(const QString &root)
    {
        // Folders still to visit, the next one last: popping the back
        // visits a folder's subfolders depth first, in listing order.
        std::vector<QString> pending{root};
        while (!pending.empty()) {
            if (stopRequested(m_stop)) {
                m_result.stopped = true;
                return;
            }
            const QString folder = std::move(pending.back());
            pending.pop_back();
            if (m_callbacks.folderEntered)
                m_callbacks.folderEntered(folder, m_result.files.size());
            Listing listing = list(folder);
            if (!listing.ok) {
                m_result.failedFolders.append(folder);
                continue;
            }
            for (const QString &name : std::as_const(listing.files))
                m_result.files.append(MediaWalk::childPath(folder, name));
            for (SkippedFile &skipped : listing.skipped) {
                skipped.path = MediaWalk::childPath(folder, skipped.path);
                m_result.skipped.append(std::move(skipped));
            }
            for (auto it = listing.folders.crbegin(); it != listing.folders.crend(); ++it)
                pending.push_back(MediaWalk::childPath(folder, *it));
        }
    }

private:
    Listing list(const QString &folder)
    {
        Listing listing;
        DIR *dir = ::opendir(QFile::encodeName(folder).constData());
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
            const QString name = QFile::decodeName(entry->d_name);
            // Only names that match are examined further than the listing.
            const bool folderType = entry->d_type == DT_DIR || entry->d_type == DT_UNKNOWN;
            const bool nameMatches = m_matcher.matches(name);
            if (!folderType && !nameMatches)
                continue;
            const Entry what = entryOf(fd, entry, nameMatches);
            // A name that is not UTF-8 would be stored with replacement
            // characters and point nowhere: it is listed, not imported.
            const bool storable = rawName.isValidUtf8();
            switch (what.kind) {
            case EntryKind::Folder:
                if (storable)
                    listing.folders.append(name);
                else
                    listing.skipped.append({name, m_folderNameReason});
                break;
            case EntryKind::File:
                if (storable)
                    listing.files.append(name);
                else
                    listing.skipped.append({name, m_fileNameReason});
                break;
            case EntryKind::Special:
                listing.skipped.append({name, notPlainFileReason(what.mode)});
                break;
            case EntryKind::Dangling:
                listing.skipped.append({name, m_danglingReason});
                break;
            case EntryKind::Other:
                break;
            }
        }
        ::closedir(dir);
        std::sort(listing.files.begin(), listing.files.end(), listingLess);
        std::sort(listing.folders.begin(), listing.folders.end(), listingLess);
        std::sort(listing.skipped.begin(), listing.skipped.end(), skippedLess);
        return listing;
    }

    NameMatcher m_matcher;
    const WalkCallbacks &m_callbacks;
    const std::atomic_bool *m_stop;
    WalkResult &m_result;
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

WalkResult walk(const QString &root, const QString &pattern, const WalkCallbacks &callbacks,
                const std::atomic_bool *stop)
{
    WalkResult result;
    // "/media/cd/" walks as "/media/cd"; "/" stays "/".
    QString start = root;
    while (start.size() > 1 && start.endsWith(u'/'))
        start.chop(1);
    if (start.isEmpty()) {
        result.failedFolders.append(root);
        return result;
    }
    Walker(pattern, callbacks, stop, result).run(start);
    return result;
}

} // namespace MediaWalk
