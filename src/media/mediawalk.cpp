#include "media/mediawalk.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <set>
#include <sys/stat.h>
#include <utility>

namespace {

bool stopRequested(const std::atomic_bool *stop)
{
    return stop && stop->load(std::memory_order_relaxed);
}

enum class EntryKind { Other, Folder, File };

// What an entry is, from the listing's type when it gives one. Symbolic
// links count as what they point at, except that a link to a folder is
// never followed (a link back up would make the walk endless).
EntryKind kindOf(int dirFd, const dirent *entry, bool nameMatches)
{
    struct stat st;
    switch (entry->d_type) {
    case DT_DIR:
        return EntryKind::Folder;
    case DT_REG:
        return EntryKind::File;
    case DT_LNK:
        if (!nameMatches || ::fstatat(dirFd, entry->d_name, &st, 0) != 0)
            return EntryKind::Other;
        return S_ISREG(st.st_mode) ? EntryKind::File : EntryKind::Other;
    case DT_UNKNOWN:
        if (::fstatat(dirFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
            return EntryKind::Other;
        if (S_ISDIR(st.st_mode))
            return EntryKind::Folder;
        if (S_ISREG(st.st_mode))
            return EntryKind::File;
        if (S_ISLNK(st.st_mode) && nameMatches && ::fstatat(dirFd, entry->d_name, &st, 0) == 0
            && S_ISREG(st.st_mode))
            return EntryKind::File;
        return EntryKind::Other;
    default:
        return EntryKind::Other;
    }
}

struct Listing
{
    QStringList files;   // matching plain files, in listing order
    QStringList folders; // subfolder names, in listing order
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
        errno = 0;
        while (const dirent *entry = ::readdir(dir)) {
            if (entry->d_name[0] == '.') // hidden entries, "." and ".."
                continue;
            const QString name = QFile::decodeName(entry->d_name);
            // Only names that match are examined further than the listing.
            const bool folderType = entry->d_type == DT_DIR || entry->d_type == DT_UNKNOWN;
            const bool nameMatches = m_matcher.matches(name);
            if (!folderType && !nameMatches)
                continue;
            switch (kindOf(fd, entry, nameMatches)) {
            case EntryKind::Folder:
                listing.folders.append(name);
                break;
            case EntryKind::File:
                if (nameMatches)
                    listing.files.append(name);
                break;
            case EntryKind::Other:
                break;
            }
        }
        listing.ok = errno == 0;
        ::closedir(dir);
        std::sort(listing.files.begin(), listing.files.end(), MediaWalk::listingLess);
        std::sort(listing.folders.begin(), listing.folders.end(), MediaWalk::listingLess);
        return listing;
    }

    MediaWalk::NameMatcher m_matcher;
    const WalkCallbacks &m_callbacks;
    const std::atomic_bool *m_stop;
    WalkResult &m_result;
    std::set<std::pair<dev_t, ino_t>> m_visited;
};

} // namespace

namespace MediaWalk {

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

bool listingLess(const QString &a, const QString &b)
{
    const int folded = a.compare(b, Qt::CaseInsensitive);
    return folded != 0 ? folded < 0 : a < b;
}

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
