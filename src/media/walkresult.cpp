#include "media/walkresult.h"

QString MediaWalk::childPath(const QString &folder, const QString &name)
{
    return folder.endsWith(u'/') ? folder + name : folder + u'/' + name;
}

QByteArray ByteWalkResult::pathBytes(const WalkedFile &file) const
{
    const QByteArray &folder = folders[size_t(file.folder)];
    return folder.endsWith('/') ? folder + file.name : folder + '/' + file.name;
}
