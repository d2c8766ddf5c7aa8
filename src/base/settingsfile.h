#pragma once

#include "base/atomicsave.h"

#include <QByteArray>
#include <QString>
#include <array>

// What the settings file keeps: the cover folder of the cover dialog and
// the widths of the catalogue list's columns, in twips.
struct Settings
{
    static constexpr int ColumnCount = 9;

    QString coverPath;
    std::array<float, ColumnCount> widths; // column k is widths[k - 1]

    static Settings defaults(); // the designer widths, no cover path
    bool operator==(const Settings &) const = default;
};

namespace SettingsFile {

QString path();    // "ondro2k.ini" in the data folder
QString oldPath(); // the older "zembra.ini" there

// The numeric value of a text: the decimal number at its start (leading
// blanks skipped, optional sign, "." as decimal point), 0 when none.
double numericValue(const QString &text);

// Applies the lines of a settings file to settings, in order; stops at
// the first bad column number or width, keeping what was applied.
// Returns false when it stopped early.
bool apply(QByteArrayView bytes, Settings &settings);
// A settings file has thirteen short lines; a larger one than this is
// refused unread.
constexpr qint64 MaxFileBytes = qint64(4) << 20;

// Reads the file at path into settings; false when it cannot be read
// (reason then says why: a folder, a named pipe, too large...) or when
// the reading stopped early.
bool load(const QString &path, Settings &settings, QString *reason = nullptr);

// The thirteen lines written by save(), CR LF ended.
QByteArray serialize(const Settings &settings);
SaveResult save(const QString &path, const Settings &settings);

// Takes the cover path and the widths of columns 1 to 7 from an older
// settings file's bytes (the eighth number is read, not applied); keeps
// what was read when the file is shorter.
void applyOld(QByteArrayView bytes, Settings &settings);
// false when the older file cannot be read; reason then says why.
bool migrate(const QString &oldPath, Settings &settings, QString *reason = nullptr);

} // namespace SettingsFile
