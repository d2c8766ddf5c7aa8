#pragma once

#include <QString>

struct MediaRecord;

// The question when a file of an offline medium is to be opened (played,
// copied for a burn, its cover looked for): which medium to insert and
// where it was last seen, from the register (record may be null):
// 'USB02 (label "MUSIC", note "Shelf B, box 3") is not mounted. Insert it
// and try again?', the label or note left out when empty.
QString insertMediumQuestion(const QString &source, const MediaRecord *record);
