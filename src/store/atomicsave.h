#pragma once

#include <QIODevice>
#include <QString>
#include <functional>

// Writes a file so that it is either wholly replaced or left as it was:
// the content goes to a temporary file in the same folder, is flushed to
// disk and then renamed over the target. Creates the folder when missing.
struct SaveResult
{
    bool ok = true;
    QString error; // the reason, when !ok

    explicit operator bool() const { return ok; }
};

// write() puts the content into the device and returns false to give up
// (the target then stays untouched); its own failures show in the device.
SaveResult saveAtomically(const QString &path, const std::function<bool(QIODevice &)> &write);

// The message a user sees when a save fails.
QString saveFailureMessage(const QString &path, const SaveResult &result);
