#pragma once

#include <QByteArray>
#include <QString>

// The order of a folder listing in a walk: names compared ignoring case,
// ties by the exact name, so a tree gives the same order on every machine.
namespace MediaWalk {

bool listingLess(const QString &a, const QString &b);
// The same order over names as the file system's bytes: ASCII names
// compared in place, others as text.
bool listingLessBytes(const QByteArray &a, const QByteArray &b);

} // namespace MediaWalk
