#pragma once

#include <QByteArray>
#include <QString>

// Reading and writing the small files tests make and check.

// The file's bytes, or "<unreadable>" so a comparison fails visibly.
QByteArray fileBytes(const QString &path);

// Writes bytes to path, creating its folder; records a test failure and
// returns false when that fails.
bool writeBytes(const QString &path, const QByteArray &bytes);
