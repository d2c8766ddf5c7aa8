#pragma once

#include "media/frameheader.h"

#include <QByteArrayView>

// What a Xing, Info or VBRI header in a stream's first frame says, with
// the LAME tag that may follow a Xing or Info header.
struct StreamHeader
{
    enum Kind { None, Xing, Info, Vbri } kind = None;
    quint32 frames = 0; // 0: no count
    quint32 bytes = 0;  // the stream's bytes, this frame's included; 0: no count
    QByteArrayView encoder; // the LAME tag's name of it, printable ASCII: a view into the frame
    int method = 0;     // the LAME tag's bitrate method
    qint64 delay = 0;   // samples the encoder added at the start
    qint64 trimmed = 0; // and at the start and the end
};

// The header in frame (the first frame and what follows it), whose frame
// header says info; kind None when it has none. Never reads outside frame,
// which must outlive the header's views.
StreamHeader readStreamHeader(QByteArrayView frame, const FrameHeader::Frame &info);
