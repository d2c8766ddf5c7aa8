#pragma once

// The scan's walk with its files as paths (text), for tests and benchmarks
// that look at the walk alone.

#include "media/mediawalk.h"

#include <QFile>
#include <QList>
#include <QStringList>

#include <atomic>
#include <utility>

struct WalkResult
{
    QStringList files;          // matching files, in walk order
    QStringList failedFolders;  // folders that could not be opened or read
    QList<SkippedFile> skipped; // matching entries that are not plain files, names that cannot be stored
    bool stopped = false;
};

// MediaWalk::walkBytes with every file's path decoded.
inline WalkResult walkPaths(const QString &root, const QString &pattern, const WalkCallbacks &callbacks = {},
                            const WorkProgress *stop = nullptr)
{
    ByteWalkResult bytes = MediaWalk::walkBytes(root, pattern, callbacks, stop);
    WalkResult result;
    result.files.reserve(qsizetype(bytes.files.size()));
    for (const WalkedFile &file : bytes.files)
        result.files.append(QFile::decodeName(bytes.pathBytes(file)));
    result.failedFolders = std::move(bytes.failedFolders);
    result.skipped = std::move(bytes.skipped);
    result.stopped = bytes.stopped;
    return result;
}
