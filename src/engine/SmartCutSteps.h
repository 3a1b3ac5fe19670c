#pragma once

#include "engine/Mp4Splice.h"
#include "engine/SmartCutInput.h"

#include <QDir>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace clip {

// One encoder run of a smart cut.
struct SmartCutStep {
    QString program;
    QStringList args;
    double seconds = 0;   // of the selection this step goes through (its progress)
    double cost = 0;      // its share of the bar, relative to the others
    bool beside = false;  // runs beside the encodes and the join (no progress of its own)
    bool streamed = false;  // writes into a pipe the join reads as it comes (beside the join)
    bool body = false;      // the copy of the body
    bool holdsJoin = false; // the head's encode into a pipe the job holds open: the join reads it from its start
    QString pipe;           // that pipe
};

// The runs that make a smart cut's output, the join last.
struct SmartCutSteps {
    QList<SmartCutStep> steps;
    double videoDelay = 0.0;  // how much after the file's start the join puts the picture
    // Where the last run copies the body and the sound straight into the
    // output (an MP4 or MOV), the re-encoded parts (MP4 files, made beside
    // it) are spliced into it afterwards, and there is no join.
    std::optional<Mp4SpliceRequest> splice;
};

// The steps of `in`'s plan, their parts in `folder`: the head's and the
// tail's encode (MPEG-TS parts with the parameter sets in the stream, the
// head through a pipe into the join off Windows), the body's copy (a long
// one through a pipe), the subtitles (Matroska or MP4), and the join into
// the output (concat listing, the sound read straight from the input).
// Writes the join's listing and makes the pipes; empty when the listing
// could not be written. An H.264 selection with a copied body and at most
// one sound stream, without subtitles, into MP4 or MOV, has no join: its
// copy writes the output, and `splice` says what goes into it afterwards.
std::optional<SmartCutSteps> MakeSmartCutSteps(const SmartCutInput& in, const QDir& folder);

}  // namespace clip
