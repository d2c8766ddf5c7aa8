#pragma once

#include "media/mediascan.h"

#include <QRegularExpression>

// The folder walk of a scan, over the system's directory listing.
namespace MediaWalk {

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

// The order of a folder listing: names compared ignoring case, ties by
// the exact name, so a tree gives the same order on every machine.
bool listingLess(const QString &a, const QString &b);

// The path of an entry of folder (no doubled separator after "/").
QString childPath(const QString &folder, const QString &name);

WalkResult walk(const QString &root, const QString &pattern, const WalkCallbacks &callbacks,
                const std::atomic_bool *stop);

} // namespace MediaWalk
