#pragma once

#include "common/HostServices.h"
#include "engine/CVideoConv.h"
#include "formats/FormatChoice.h"
#include "segments/Segment.h"

#include <QMetaType>
#include <QString>
#include <QStringList>

#include <vector>

namespace clip {

// Where a cut's output goes: beside its input, or into `folder`.
struct OutputFolderRule {
    bool besideInput = true;
    QString folder;
};

// What a view asks to be cut: the input, the selection [start, end) as
// positions (seconds from the input's first shown frame), the format, the
// output folder and whether the computer powers off after a cut that ran to
// its own end.
struct CutRequest {
    QString input;  // empty: no video loaded
    double start = 0.0;
    double end = 0.0;
    FormatChoice format;
    OutputFolderRule output;
    bool powerOff = false;
    // The parts to write, in time order (KeptParts of the window's segments);
    // empty: the selection [start, end) alone, as one output. With parts,
    // `start` and `end` are not used.
    std::vector<Segment> parts;
    SegmentExport exportAs = SegmentExport::Join;
};

// How a cut ended, and what the user is to be told about it: `message`
// (with `details` behind it, in a box of `style`), empty when there is
// nothing to tell (a success, a stop, a No to the offered re-encode).
struct CutResult {
    CutOutcome outcome = CutOutcome::NotRun;
    QString outputFile;  // the reserved name; where a success now lies
    // Every output a success left, in order (one file per segment: each
    // part's; otherwise outputFile alone).
    QStringList outputFiles;
    QString message;
    QString details;
    MsgBoxStyle style = MsgCritical;

    static CutResult Refused(const QString& message, MsgBoxStyle style)
    {
        CutResult result;
        result.message = message;
        result.style = style;
        return result;
    }
};

}  // namespace clip

Q_DECLARE_METATYPE(clip::CutResult)
