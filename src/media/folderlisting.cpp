#include "media/folderlisting.h"

#include "media/foldercover.h"
#include "media/mediafile.h"
#include "media/walkorder.h"
#include "base/bytescan.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>

namespace {

using namespace MediaWalk;

bool skippedLess(const SkippedFile &a, const SkippedFile &b)
{
    return listingLess(a.path, b.path);
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

} // namespace

namespace MediaWalk {

bool holdsLineBreak(QByteArrayView name)
{
    return ByteScan::hasLineEnd(name.data(), name.data() + name.size());
}

QString folderLineBreakReason()
{
    return QStringLiteral("the folder name holds a line break, which the catalogue cannot store: the folder was "
                          "not scanned");
}

Listing FolderLister::list(DIR *dir)
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
        // errno is read for readdir alone: the fstatat calls of addEntry
        // set it for entries that vanished or links that lead nowhere.
        errno = 0;
        const dirent *entry = ::readdir(dir);
        if (!entry) {
            listing.ok = errno == 0;
            break;
        }
        if (entry->d_name[0] != '.') // hidden entries, "." and ".."
            addEntry(listing, fd, entry);
    }
    std::sort(listing.files.begin(), listing.files.end(), listingLessBytes);
    std::sort(listing.folders.begin(), listing.folders.end(), listingLessBytes);
    std::sort(listing.skipped.begin(), listing.skipped.end(), skippedLess);
    return listing;
}

void FolderLister::addEntry(Listing &listing, int dirFd, const dirent *entry)
{
    const QByteArrayView rawName(entry->d_name);
    // The folder's cover picture is known from the names the listing
    // reads anyway, without a look at the file.
    const bool fileType = entry->d_type == DT_REG || entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN;
    if (fileType && FolderCover::comesBefore(rawName, listing.coverImage))
        listing.coverImage = rawName.toByteArray();
    // Only names that match are examined further than the listing.
    const bool folderType = entry->d_type == DT_DIR || entry->d_type == DT_UNKNOWN;
    const bool nameMatches = m_matcher.matches(rawName);
    if (!folderType && !nameMatches)
        return;
    const Entry what = entryOf(dirFd, entry, nameMatches);
    switch (what.kind) {
    case EntryKind::Folder:
        if (!skippedAsUnstorable(listing, entry->d_name, rawName, true))
            listing.folders.append(rawName.toByteArray());
        break;
    case EntryKind::File:
        if (!skippedAsUnstorable(listing, entry->d_name, rawName, false))
            listing.files.append(rawName.toByteArray());
        break;
    case EntryKind::Special:
        listing.skipped.append({QFile::decodeName(entry->d_name), SafeFileRead::notPlainFileReason(what.mode, SafeFileRead::ReasonForm::Listing),
                                SkippedFile::NotPlainFile});
        break;
    case EntryKind::Dangling:
        listing.skipped.append({QFile::decodeName(entry->d_name), m_danglingReason, SkippedFile::Missing});
        break;
    case EntryKind::Other:
        break;
    }
}

// A name with a line break would be stored with blanks for it and point
// nowhere, so it is listed, not imported. A file name that is not UTF-8 is
// imported (the scan keeps its exact bytes beside the name it stores); a
// folder's is not, since every path below it would need its bytes too.
bool FolderLister::skippedAsUnstorable(Listing &listing, const char *entryName, QByteArrayView rawName,
                                       bool folder) const
{
    // Decoded only for the list of what was skipped: most names are not.
    if (folder && !rawName.isValidUtf8())
        listing.skipped.append({QFile::decodeName(entryName), m_folderNameReason, SkippedFile::NameNotUtf8});
    else if (holdsLineBreak(rawName))
        listing.skipped.append({QFile::decodeName(entryName),
                                folder ? m_folderLineBreakReason : m_fileLineBreakReason, SkippedFile::NameWithLineBreak});
    else
        return false;
    return true;
}

} // namespace MediaWalk
