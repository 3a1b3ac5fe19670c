#pragma once

#include <QByteArray>
#include <QList>
#include <QSet>
#include <QString>

namespace clip {

// The NAL units of H.264 or H.265 data in any of the forms the probe and the
// parts give it: a decoder configuration record (avcC, hvcC), units with
// start codes, or units with four-byte lengths. Each unit starts with its
// header; nothing is unescaped.
QList<QByteArray> NalUnits(const QByteArray& data, bool hevc);

// The type of an H.264 (five bits) or H.265 (six bits) unit; -1 for an empty one.
int NalType(const QByteArray& unit, bool hevc);

// True when the first picture unit of `units` is that of an IDR picture.
bool StartsWithH264Idr(const QList<QByteArray>& units);

// The ids of the H.264 sequence and picture parameter sets in `units`.
QSet<int> H264ParameterSetIds(const QList<QByteArray>& units);

// The smallest id an encoder may give its parameter sets that `used` does
// not hold (both kinds share the number here); -1 when none is free.
int FreeParameterSetId(const QSet<int>& used);

// Makes the first H.265 picture of the MPEG-TS file `path` start a new coded
// sequence: a CRA picture (type 21) becomes a broken link (BLA_W_LP, 16),
// which a decoder may meet after pictures of another sequence and whose
// own parameter sets it then takes. The unit header keeps its size, so the
// file is changed in place. False with `error` set when the file could not
// be read or written; true when nothing needed changing.
bool StartTransportStreamWithNewSequence(const QString& path, QString* error);

}  // namespace clip
