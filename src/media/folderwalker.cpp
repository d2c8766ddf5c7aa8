#include "media/folderwalker.h"

#include "media/mediafile.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#include <utility>

namespace {

// The kernel's and the system's run-time folders hold no media, and some of
// their files block or never end when read: a walk from "/" passes them over.
bool isKernelFolder(const QByteArray &path)
{
    return path == "/proc" || path == "/sys" || path == "/dev" || path == "/run";
}

} // namespace

namespace MediaWalk {

FolderWalker::FolderWalker(const QString &pattern, const WalkCallbacks &callbacks, const WorkProgress *stop,
                           ByteWalkResult &result)
    : m_lister(pattern), m_callbacks(callbacks), m_stop(stop), m_result(result)
{
}

FolderWalker::~FolderWalker()
{
    for (Frame &frame : m_frames)
        closeFrame(frame);
}

void FolderWalker::run(const QByteArray &root)
{
    m_path = root;
    entered();
    visit(openAtAnyLength(AT_FDCWD, root.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    while (!m_frames.empty()) {
        if (workStopped(m_stop)) {
            m_result.stopped = true;
            return;
        }
        if (m_frames.back().subfolders.isEmpty()) {
            closeFrame(m_frames.back());
            m_frames.pop_back();
        } else {
            enterNextSubfolder();
        }
    }
}

void FolderWalker::enterNextSubfolder()
{
    const size_t top = m_frames.size() - 1;
    const QByteArray name = m_frames[top].subfolders.takeLast();
    m_path.truncate(m_frames[top].pathLength);
    if (!m_path.endsWith('/'))
        m_path.append('/');
    m_path.append(name);
    if (isKernelFolder(m_path))
        return;
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

void FolderWalker::entered()
{
    if (m_callbacks.folderEntered)
        m_callbacks.folderEntered(QFile::decodeName(m_path), m_found);
}

void FolderWalker::visit(int fd)
{
    DIR *dir = fd >= 0 ? ::fdopendir(fd) : nullptr;
    if (!dir) {
        if (fd >= 0)
            ::close(fd);
        m_result.failedFolders.append(QFile::decodeName(m_path));
        return;
    }
    Listing listing = m_lister.list(dir);
    if (!listing.ok) {
        ::closedir(dir);
        m_result.failedFolders.append(QFile::decodeName(m_path));
        return;
    }
    addListing(listing, ::dirfd(dir));
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

// The files and skipped entries of the folder at m_path into the result.
void FolderWalker::addListing(Listing &listing, int fd)
{
    m_found += listing.files.size();
    if (!listing.files.isEmpty() && m_callbacks.filesListed) {
        m_callbacks.filesListed(m_path, fd, listing.files, !listing.coverImage.isEmpty());
    } else if (!listing.files.isEmpty()) {
        const qsizetype index = qsizetype(m_result.folders.size());
        m_result.folders.push_back(m_path);
        for (QByteArray &name : listing.files)
            m_result.files.push_back({index, std::move(name)});
    }
    if (!listing.skipped.isEmpty()) {
        const QString folder = QFile::decodeName(m_path);
        for (SkippedFile &skipped : listing.skipped) {
            skipped.path = childPath(folder, skipped.path);
            m_result.skipped.append(std::move(skipped));
        }
    }
}

void FolderWalker::closeFrame(Frame &frame)
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

int FolderWalker::frameFd(const Frame &frame)
{
    return frame.dir ? ::dirfd(frame.dir) : frame.fd;
}

// Folders halfway to the nearest open ancestor are opened too, so coming
// back through many closed folders costs each of them a short path, not
// one from the top.
int FolderWalker::ensureOpen(size_t k)
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

} // namespace MediaWalk
