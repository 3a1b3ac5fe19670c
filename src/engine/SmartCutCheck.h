#pragma once

#include "engine/SmartCutInput.h"

#include <functional>

namespace clip {

// What the parts' runs said they wrote: the picture's packets the join
// wrote, the packets the body's copy wrote (-1: no copy), and how much after
// the file's start the join put the picture.
struct MadeCounts {
    int joined = -1;
    int copied = -1;
    double videoDelay = 0.0;
};

// Checks the output of `in`'s plan: the copy's and the join's counts against
// the plan (where the plan's body counts the listed packets only, the copy's
// count fills in its middle: `in.plan` takes it), and the re-encoded parts
// with the copied packets one GOP each side of every seam decoded, side by
// side, for a complaint of the decoder or a wrong count of pictures.
// Failed with "The cut produced no usable video: ..." where it finds one.
StageEnd CheckSmartCut(SmartCutInput& in, const MadeCounts& made, const std::function<bool()>& stop);

}  // namespace clip
