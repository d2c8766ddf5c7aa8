#pragma once

#include "media/folderlisting.h"
#include "media/walkresult.h"
#include "base/workprogress.h"

#include <QByteArray>
#include <QByteArrayList>

#include <dirent.h>
#include <vector>

namespace MediaWalk {

// The walk of a tree in bytes (walkBytes without its checks of the root):
// a folder's own files first, then its subfolders depth first, in the
// listing's order.
//
// Folders are opened relative to their parent's descriptor, so a walk goes
// as deep as the tree does and past the longest path the system opens in
// one piece; only the stored paths are full paths. A folder whose
// subfolders are still to be visited keeps its descriptor, up to
// MaxOpenFolders at once; beyond that the shallowest ones are closed and
// opened again from a nearer ancestor when the walk comes back to them.
class FolderWalker
{
public:
    static constexpr int MaxOpenFolders = 64;

    FolderWalker(const QString &pattern, const WalkCallbacks &callbacks, const WorkProgress *stop,
                 ByteWalkResult &result);
    ~FolderWalker();
    FolderWalker(const FolderWalker &) = delete;
    FolderWalker &operator=(const FolderWalker &) = delete;

    // Walks the tree under root into the result.
    void run(const QByteArray &root);

private:
    struct Frame
    {
        DIR *dir = nullptr; // the listing's stream, whose descriptor opens the subfolders
        int fd = -1;        // or a descriptor opened again after it was closed
        qsizetype pathLength = 0; // of the folder's path in m_path
        QByteArrayList subfolders; // still to visit, the next one last
    };

    // Goes down into the next subfolder of the deepest frame.
    void enterNextSubfolder();
    // Told before the folder at m_path is opened.
    void entered();
    // The folder at m_path, open as fd (-1 when it could not be opened).
    void visit(int fd);
    void addListing(Listing &listing, int fd);
    void closeFrame(Frame &frame);
    static int frameFd(const Frame &frame);
    // The descriptor of frame k, opened again from its nearest open
    // ancestor when it was closed.
    int ensureOpen(size_t k);

    FolderLister m_lister;
    const WalkCallbacks &m_callbacks;
    const WorkProgress *m_stop;
    ByteWalkResult &m_result;
    // The folders being walked, the deepest last; each holds the names of
    // its subfolders still to visit, the next one last, so a folder's
    // subfolders are visited depth first, in listing order.
    std::vector<Frame> m_frames;
    QByteArray m_path; // of the folder being visited; every frame's path is a prefix of it
    int m_open = 0;    // descriptors the frames hold
    qsizetype m_found = 0; // matching files so far
};

} // namespace MediaWalk
