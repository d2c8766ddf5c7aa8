#include "media/mediawalk.h"

#include "media/mediafile.h"
#include "store/bytescan.h"

#include <QByteArrayList>
#include <QFile>
#include <QRegularExpression>

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <set>
#include <sys/stat.h>
#include <unistd.h>
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

// The kernel's and the system's run-time folders hold no media, and some of
// their files block or never end when read: a walk from "/" passes them over.
bool isKernelFolder(const QByteArray &path)
{
    return path == "/proc" || path == "/sys" || path == "/dev" || path == "/run";
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
    // One pass while both are ASCII: the first folded difference decides
    // as it does for the names as text.
    const qsizetype n = std::min(a.size(), b.size());
    for (qsizetype i = 0; i < n; ++i) {
        const uchar ca = uchar(a[i]), cb = uchar(b[i]);
        if ((ca | cb) & 0x80)
            return listingLess(QFile::decodeName(a), QFile::decodeName(b));
        const uchar fa = ca >= 'A' && ca <= 'Z' ? ca + 32 : ca;
        const uchar fb = cb >= 'A' && cb <= 'Z' ? cb + 32 : cb;
        if (fa != fb)
            return fa < fb;
    }
    if (a.size() != b.size()) {
        // The rest of the longer name may hold text that folds to nothing
        // shorter; only ASCII rests are decided here.
        const QByteArray &longer = a.size() > b.size() ? a : b;
        if (!isAscii(QByteArrayView(longer).sliced(n)))
            return listingLess(QFile::decodeName(a), QFile::decodeName(b));
        return a.size() < b.size();
    }
    return a < b;
}

bool holdsLineBreak(QByteArrayView name)
{
    return ByteScan::hasLineEnd(name.data(), name.data() + name.size());
}

QString folderLineBreakReason()
{
    return QStringLiteral("the folder name holds a line break, which the catalogue cannot store: the folder was "
                          "not scanned");
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

// Folders are opened relative to their parent's descriptor, so a walk goes
// as deep as the tree does and past the longest path the system opens in
// one piece; only the stored paths are full paths. A folder whose
// subfolders are still to be visited keeps its descriptor, up to this many
// at once; beyond that the shallowest ones are closed and opened again
// from a nearer ancestor when the walk comes back to them.
constexpr int MaxOpenFolders = 64;

class Walker
{
public:
    Walker(const QString &pattern, const WalkCallbacks &callbacks, const std::atomic_bool *stop,
           ByteWalkResult &result)
        : m_matcher(pattern), m_callbacks(callbacks), m_stop(stop), m_result(result)
    {
    }

    ~Walker()
    {
        for (Frame &frame : m_frames)
            closeFrame(frame);
    }

    void run(const QByteArray &root)
    {
        m_path = root;
        entered();
        visit(openAtAnyLength(AT_FDCWD, root.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        // The folders being walked, the deepest last; each holds the names
        // of its subfolders still to visit, the next one last, so a
        // folder's subfolders are visited depth first, in listing order.
        while (!m_frames.empty()) {
            if (stopRequested(m_stop)) {
                m_result.stopped = true;
                return;
            }
            const size_t top = m_frames.size() - 1;
            if (m_frames[top].subfolders.isEmpty()) {
                closeFrame(m_frames[top]);
                m_frames.pop_back();
                continue;
            }
            const QByteArray name = m_frames[top].subfolders.takeLast();
            m_path.truncate(m_frames[top].pathLength);
            if (!m_path.endsWith('/'))
                m_path.append('/');
            m_path.append(name);
            if (isKernelFolder(m_path))
                continue;
            entered();
            const int parent = ensureOpen(top);
            int fd = -1;
            if (parent >= 0) {
                // A folder replaced by a link since the listing is not followed.
                do {
                    fd = ::openat(parent, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
                } while (fd < 0 && errno == EINTR);
            }
            if (m_frames[top].subfolders.isEmpty())
                closeFrame(m_frames[top]); // not needed for opening any more
            visit(fd);
        }
    }

private:
    struct Frame
    {
        DIR *dir = nullptr; // the listing's stream, whose descriptor opens the subfolders
        int fd = -1;        // or a descriptor opened again after it was closed
        qsizetype pathLength = 0; // of the folder's path in m_path
        QByteArrayList subfolders; // still to visit, the next one last
    };

    // Told before the folder at m_path is opened.
    void entered()
    {
        if (m_callbacks.folderEntered)
            m_callbacks.folderEntered(QFile::decodeName(m_path), qsizetype(m_result.files.size()));
    }

    // The folder at m_path, open as fd (-1 when it could not be opened).
    void visit(int fd)
    {
        DIR *dir = fd >= 0 ? ::fdopendir(fd) : nullptr;
        if (!dir) {
            if (fd >= 0)
                ::close(fd);
            m_result.failedFolders.append(QFile::decodeName(m_path));
            return;
        }
        Listing listing = list(dir);
        if (!listing.ok) {
            ::closedir(dir);
            m_result.failedFolders.append(QFile::decodeName(m_path));
            return;
        }
        if (!listing.files.isEmpty()) {
            const qsizetype index = qsizetype(m_result.folders.size());
            m_result.folders.push_back(m_path);
            for (QByteArray &name : listing.files)
                m_result.files.push_back({index, std::move(name)});
        }
        if (!listing.skipped.isEmpty()) {
            const QString folder = QFile::decodeName(m_path);
            for (SkippedFile &skipped : listing.skipped) {
                skipped.path = MediaWalk::childPath(folder, skipped.path);
                m_result.skipped.append(std::move(skipped));
            }
        }
        if (listing.folders.isEmpty()) {
            ::closedir(dir);
            return;
        }
        std::reverse(listing.folders.begin(), listing.folders.end());
        m_frames.push_back({dir, -1, m_path.size(), std::move(listing.folders)});
        ++m_open;
        // The shallowest folders give up their descriptors first: the walk
        // comes back to them last.
        for (size_t i = 0; m_open > MaxOpenFolders && i + 1 < m_frames.size(); ++i)
            closeFrame(m_frames[i]);
    }

    void closeFrame(Frame &frame)
    {
        if (frame.dir) {
            ::closedir(frame.dir);
            --m_open;
        } else if (frame.fd >= 0) {
            ::close(frame.fd);
            --m_open;
        }
        frame.dir = nullptr;
        frame.fd = -1;
    }

    static int frameFd(const Frame &frame) { return frame.dir ? ::dirfd(frame.dir) : frame.fd; }

    // The descriptor of frame k, opened again from its nearest open
    // ancestor when it was closed. Folders halfway there are opened too,
    // so coming back through many closed folders costs each of them a
    // short path, not one from the top.
    int ensureOpen(size_t k)
    {
        if (frameFd(m_frames[k]) >= 0)
            return frameFd(m_frames[k]);
        size_t j = k;
        while (j > 0 && frameFd(m_frames[j - 1]) < 0)
            --j;
        // Frames j..k are closed; j - 1 is open (or j is the top).
        if (k - j >= 2)
            ensureOpen(j + (k - j) / 2);
        size_t base = k;
        while (base > 0 && frameFd(m_frames[base - 1]) < 0)
            --base;
        int baseFd = AT_FDCWD;
        qsizetype from = 0;
        if (base > 0) {
            baseFd = frameFd(m_frames[base - 1]);
            from = m_frames[base - 1].pathLength;
            if (from < m_path.size() && m_path[from] == '/')
                ++from;
        }
        const QByteArray relative = m_path.mid(from, m_frames[k].pathLength - from);
        const int fd = openAtAnyLength(baseFd, relative.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd >= 0) {
            m_frames[k].fd = fd;
            ++m_open;
        }
        return fd;
    }

    Listing list(DIR *dir)
    {
        Listing listing;
        const int fd = ::dirfd(dir);
        // The same folder reached twice (a bind mount inside itself) is
        // listed once.
        struct stat st;
        if (::fstat(fd, &st) == 0 && !m_visited.insert({st.st_dev, st.st_ino}).second) {
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
            // characters, one with a line break with blanks for it: either
            // would point nowhere, so it is listed, not imported.
            const auto unstorable = [&](bool folder) {
                const QString name = QFile::decodeName(entry->d_name);
                if (!rawName.isValidUtf8())
                    listing.skipped.append({name, folder ? m_folderNameReason : m_fileNameReason,
                                            SkippedFile::NameNotUtf8});
                else if (holdsLineBreak(rawName))
                    listing.skipped.append({name, folder ? m_folderLineBreakReason : m_fileLineBreakReason,
                                            SkippedFile::NameWithLineBreak});
                else
                    return false;
                return true;
            };
            switch (what.kind) {
            case EntryKind::Folder:
                if (!unstorable(true))
                    listing.folders.append(rawName.toByteArray());
                break;
            case EntryKind::File:
                if (!unstorable(false))
                    listing.files.append(rawName.toByteArray());
                break;
            case EntryKind::Special:
                listing.skipped.append({QFile::decodeName(entry->d_name),
                                        SafeFileRead::notPlainFileReason(what.mode, SafeFileRead::ReasonForm::Listing),
                                        SkippedFile::NotPlainFile});
                break;
            case EntryKind::Dangling:
                listing.skipped.append({QFile::decodeName(entry->d_name), m_danglingReason, SkippedFile::Missing});
                break;
            case EntryKind::Other:
                break;
            }
        }
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
    const QString m_fileLineBreakReason =
        QStringLiteral("the file name holds a line break, which the catalogue cannot store");
    const QString m_folderLineBreakReason = folderLineBreakReason();
    std::set<std::pair<dev_t, ino_t>> m_visited;
    std::vector<Frame> m_frames;
    QByteArray m_path; // of the folder being visited; every frame's path is a prefix of it
    int m_open = 0;    // descriptors the frames hold
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
    if (holdsLineBreak(QFile::encodeName(start))) {
        result.skipped.append({start, folderLineBreakReason(), SkippedFile::NameWithLineBreak});
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
