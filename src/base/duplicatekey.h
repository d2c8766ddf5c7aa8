#pragma once

#include <QByteArrayView>
#include <QString>

#include <optional>

// A key that appears twice in one object of a JSON text. Qt's parser keeps
// the later one without a word, so a file read and saved again would lose
// the earlier; a reader calls this first and refuses such a file.
struct DuplicateKey
{
    QString key;       // decoded
    qsizetype offset;  // of its second appearance, in bytes
};

// The first duplicate key of json in the order of the text, keys compared
// after their escapes are decoded ("a" and "\u0061" are one key). None
// when there is none, or when the text stops being JSON before one is
// found (the parser then says what is wrong). One pass without recursion,
// so any depth of nesting is safe; memory grows with the keys of the
// objects open at a time, at most in proportion to the text.
std::optional<DuplicateKey> findDuplicateKey(QByteArrayView json);
