#include "media/walkorder.h"

#include "base/bytescan.h"

#include <QFile>

#include <algorithm>

namespace MediaWalk {

bool listingLess(const QString &a, const QString &b)
{
    const int folded = a.compare(b, Qt::CaseInsensitive);
    return folded != 0 ? folded < 0 : a < b;
}

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
        if (!ByteScan::isAscii(QByteArrayView(longer).sliced(n)))
            return listingLess(QFile::decodeName(a), QFile::decodeName(b));
        return a.size() < b.size();
    }
    return a < b;
}

} // namespace MediaWalk
