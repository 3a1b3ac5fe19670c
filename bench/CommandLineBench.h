// Figure 14 of the benchmark: the command line.
#pragma once

#include <QString>

namespace clip::bench {

// "clipwright cut" of the 30 s span of figure 1 (60 s to 90 s of `clip`,
// MPEG-4 AVI), from the program's start to its exit, against the bare
// encoder with the same arguments; and "clipwright cut --help" against a
// bare start of the toolkit's core. Medians of `reps`, printed. False when a
// run failed.
bool CommandLineFigure(const QString& clip, int reps);

}  // namespace clip::bench
