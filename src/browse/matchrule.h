#pragma once

#include "catalogue/rowstore.h"

#include <QByteArray>
#include <QString>
#include <vector>

// Whether a catalogue entry matches a search text: the text, upper-cased,
// occurs in the upper-cased file path whose underscores read as blanks.
// Underscores in the text are kept, so a text holding "_" never matches;
// an empty text matches every entry with a non-empty path. Find, the query
// and the command line all decide through this one rule.
namespace MatchRule {

// The rule on plain texts (the reference every faster path must agree with).
bool matches(const QString &path, const QString &text);

// The rule prepared for one search text and many paths. Paths are given
// as the catalogue stores them (UTF-8); an ASCII path is compared in
// place, byte by byte, without building its upper-case form; any other
// path falls back to matches().
class Matcher
{
public:
    explicit Matcher(const QString &text);

    bool matchesUtf8(QByteArrayView path) const;
    const QString &text() const { return m_text; }

private:
    QString m_text;
    QString m_upper;
    QByteArray m_ascii; // m_upper when it is pure ASCII
    bool m_asciiNeedle = false;
    bool m_never = false; // an underscore in the text
};

// The first row at or after from (0-based) whose path matches, or -1.
qsizetype findFirst(const RowStore &rows, const Matcher &matcher, qsizetype from = 0);

// Every matching row, in row order.
std::vector<qsizetype> matchingRows(const RowStore &rows, const QString &text);

} // namespace MatchRule
