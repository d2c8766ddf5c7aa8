#include "base/jsonfile.h"

#include "base/duplicatekey.h"
#include "base/safefileread.h"

#include <QFileInfo>
#include <QIODevice>
#include <QLocale>

namespace JsonFile {

ReadResult read(const QString &path, qint64 maxBytes, const std::function<bool(const QByteArray &, QString *)> &parse)
{
    SafeFileRead::Options options;
    options.maxBytes = maxBytes;
    const SafeFileRead::Result file = SafeFileRead::readAll(path, options);
    ReadResult result;
    result.stamp = file.stamp;
    switch (file.status) {
    case SafeFileRead::Status::Missing:
        break;
    case SafeFileRead::Status::Refused:
    case SafeFileRead::Status::Failed:
        result.state = State::Unreadable;
        result.reason = file.reason;
        break;
    case SafeFileRead::Status::Read:
        if (const std::optional<DuplicateKey> twice = findDuplicateKey(file.bytes)) {
            result.state = State::Damaged;
            result.reason = QStringLiteral("it is damaged: the key \"%1\" appears twice in one object, again at byte %2")
                                .arg(twice->key)
                                .arg(twice->offset);
            break;
        }
        result.state = parse(file.bytes, &result.reason) ? State::Read : State::Damaged;
        break;
    }
    return result;
}

SaveResult save(const QString &path, const QByteArray &json, qint64 maxBytes)
{
    if (json.size() > maxBytes) {
        const QLocale c = QLocale::c();
        return {false,
                QStringLiteral("it would be %1, larger than the %2 Ondro reads back")
                    .arg(c.formattedDataSize(json.size(), 1), c.formattedDataSize(maxBytes, 0)),
                QFileInfo::exists(path)};
    }
    return saveAtomically(path, [&json](QIODevice &device) { return device.write(json) == json.size(); });
}

} // namespace JsonFile
