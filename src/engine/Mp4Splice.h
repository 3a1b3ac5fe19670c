#pragma once

#include <QString>

#include <optional>

namespace clip {

// What the splice needs: an MP4 or MOV file the encoder wrote by copying
// (the body's H.264 pictures and at most one sound track, its index at the
// front in room kept for it), and the re-encoded pictures that go in front
// of and behind the copied ones, each an MP4 file of its own with its own
// parameter sets (ids the body does not use). Times count in the output's
// picture time scale (`timescale`), except the two starts, in seconds of
// the input's clock.
struct Mp4SpliceRequest {
    QString output;
    QString head, tail;   // empty: none
    qint64 timescale = 0;
    qint64 firstShown = 0;  // the head's first picture (the body's key frame without a head)
    qint64 bodyShown = 0;   // the body's key frame
    qint64 tailShown = 0;   // the tail's first picture
    qint64 end = 0;         // where the last picture ends
    double pictureStart = 0.0;
    std::optional<double> soundStart;  // the first sound frame kept, where there is sound
};

// How the splice ended: the output's picture count, or why it failed.
struct Mp4SpliceResult {
    int pictures = -1;
    QString error;
};

// Puts the head's pictures in front of the body's and the tail's behind
// them, in the output itself: their bytes are appended to it and its index
// is rewritten (the picture track's tables, its sample entry with every
// parameter set of the three parts, both tracks' edit lists and the
// durations), so that the copied pictures and the sound are never written
// twice. The index goes back into its room at the front, or, where it no
// longer fits, to the end of the file (the room then stays as free space).
Mp4SpliceResult SpliceMp4(const Mp4SpliceRequest& request);

}  // namespace clip
