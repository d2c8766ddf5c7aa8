#pragma once

#include <QByteArray>
#include <QString>
#include <memory>
#include <vector>

// A query as the parser leaves it: a tree of AND, OR and NOT over terms.
namespace Query {

// What a term looks at. Text fields are compared folded (case and accents
// aside); numbers come from the entry's facts (year from its text), times
// are seconds since 1970 (mtime a fact, scanned the medium's scan,
// verified its last verification).
enum class Field {
    Any, // a bare word: path, source, artist, title, album, year, genre
    Path, File, Source, Artist, Title, Album, Year, Genre, Cover,
    Dur, Kbps, Mode, Rate, Enc, Size, Label, Note, Trk, Disc, Mtime, Scanned,
    Verified,
    // Flags: a term of its own, no value.
    HasCover, HasTag, IsOnline, IsOffline, IsLibrary, DupAudio, DupSong, Single, HasDamage, IsEstimated,
    HasArt, // the attached cover, or a picture the scan found in the file or its folder
    IsUnverified, HasProblem,
};

enum class Op {
    Contains, // field:value, a bare word
    Equals,   // field:=value
    Regex,    // field:/re/
    Range,    // field:<N, <=, >, >=, A..B, and a number field's field:N
    Flag,
};

struct Term
{
    Field field = Field::Any;
    Op op = Op::Contains;
    QByteArray text;     // folded UTF-8 (Contains, Equals); the pattern (Regex)
    double low = 0;      // Range: inclusive bounds
    double high = 0;
    bool lowFromNow = false; // the bound counts from the matcher's now (an age)
    bool highFromNow = false;
};

struct Node
{
    enum class Kind { And, Or, Not, Term } kind = Kind::Term;
    std::vector<std::unique_ptr<Node>> children; // And, Or: two or more; Not: one
    Term term;
};

} // namespace Query
