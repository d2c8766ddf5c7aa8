#pragma once

#include <QByteArray>
#include <QByteArrayView>

namespace TextFold {

// A set of ASCII bytes, each byte b as bit b % 64 (bytes that share a bit
// only make a character count as joining more often).
using AsciiSet = quint64;
AsciiSet asciiSet(QByteArrayView ascii);

// A search for ASCII text (folded, not empty) in the fold of text where a
// search of the text's own bytes, case aside, did not find it. Only the
// characters above ASCII that fold to a byte of the needle, or to nothing,
// can make the difference ("joining" ones), and only the text around each
// of them is folded: the others cannot stand inside a place of the needle.
class FoldedAsciiSearch
{
public:
    explicit FoldedAsciiSearch(QByteArrayView needle);

    // The first joining character in [p, end), or end.
    const char *nextJoining(const char *p, const char *end) const;
    // Where the character at character (before end) ends.
    const char *after(const char *character, const char *end) const { return character + at(character, end).length; }
    // Whether the needle stands in the fold of field around its joining
    // character at character; resume (when given) is where the text looked
    // at ends, joining characters up to there included. room is reused for
    // the folding.
    bool holdsAround(QByteArrayView field, const char *character, QByteArray &room,
                     const char **resume = nullptr) const;
    // Whether it stands in the fold of text around any of them.
    bool foldAdds(QByteArrayView text, QByteArray &room) const;

private:
    struct Character
    {
        int length;
        bool joins; // bytes that are no UTF-8 and characters above U+FFFF count as joining
    };
    Character at(const char *p, const char *end) const;
    bool joins(const char *lead, const char *end) const;
    bool foldedHolds(QByteArrayView window, QByteArray &room) const;
    int besideOne(const char *begin, const char *end, const char *character) const;

    QByteArray m_needle;
    AsciiSet m_set;
};

} // namespace TextFold
