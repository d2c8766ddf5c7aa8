#include "media/mediawalk.h"

#include "media/folderlisting.h"
#include "media/folderwalker.h"

#include <QFile>

namespace MediaWalk {

ByteWalkResult walkBytes(const QString &root, const QString &pattern, const WalkCallbacks &callbacks,
                         const WorkProgress *stop)
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
    FolderWalker(pattern, callbacks, stop, result).run(QFile::encodeName(start));
    return result;
}

} // namespace MediaWalk
