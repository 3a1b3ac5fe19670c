// Figure 12 of the benchmark: the smart cut.
#pragma once

#include <QString>

namespace clip::bench {

// A smart cut of 60 s from the middle of `clip` (marks between key frames)
// against the frame-exact re-encode of the same span with the best shipped
// H.264 preset (time and size) and against a plain stream copy (time),
// medians of `reps`, printed. False when a cut failed.
bool SmartCutFigure(const QString& clip, int reps);

// Smart cuts of 60, 300 and 1,000 s from 100.52 s of a 20-minute 720p clip
// with B-frames (made once and cached), each beside the plain stream copy of
// the same selection and the bare encode of its re-encoded frames, medians
// of `reps`, printed. False when a cut failed.
bool SmartCutLengthSweep(int reps);

// Figure 15: a joined smart cut of five segments of 60 s of the sweep's
// 20-minute clip, run through the cut controller as the window runs it,
// against one stream copy of the same total length (300 s), medians of
// `reps`, printed. False when a cut failed.
bool SegmentsJoinFigure(int reps);

}  // namespace clip::bench
