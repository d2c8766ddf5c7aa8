#pragma once

#include "browse/querytree.h"

#include <QString>

// The query language of the filter box and ondro-cli:
//   words (ANDed; each matches any text field), "quoted words",
//   field:value (contains), field:=value (equals), field:/re/,
//   field:<N, <=N, >N, >=N, field:A..B (numbers, inclusive),
//   OR, NOT or a leading -, and parentheses;
//   flags has:cover, has:art, has:tag, is:online, is:offline, is:library,
//   dup:audio, dup:song, single, has:damage and is:estimated.
// Case and accents are ignored; words are folded once, here.
namespace Query {

struct Parsed
{
    std::unique_ptr<Node> root; // null for an empty query: every entry matches
    QString error;              // "Unknown field "artst" at 1"; empty when it parsed
    int position = 0;           // 1-based character of the error

    bool ok() const { return error.isEmpty(); }
};

Parsed parse(const QString &text);

// Whether the tree asks for the duplicates flags (dup:audio, dup:song,
// single), which cost a pass over the catalogue to work out.
bool usesDuplicates(const Node *root);

} // namespace Query
