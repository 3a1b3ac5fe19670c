#pragma once

#include <QString>
#include <QStringList>

#include <functional>

namespace clip {

// The encoder ("ffmpeg") and the probe ("ffprobe") as LocateTool finds them.
QString EncoderProgram();
QString ProbeProgram();

// Runs the probe (LocateTool's "ffprobe") with `arguments` and returns its
// report; empty when it could not run, failed, did not answer within a
// minute, or `stop` said so. Waited for in short slices with the window's
// events between them: a header is read within a moment, where the
// runner's yields after every chunk would cost more than the probe itself.
QString RunProbeUntil(const QStringList& arguments, const std::function<bool()>& stop);

// The input probe's report on `path` (TimeOrigin::ProbeArguments): the last
// one taken while the file is unchanged since (same path, size,
// modification and status-change times), else a new run.
QString InputProbeReport(const QString& path, const std::function<bool()>& stop);

// "The encoder was not found: <where it was looked for>"; empty when the
// encoder is there.
QString MissingEncoderMessage();

// A cut's failure box: "Error converting file: ", the input's name and a
// line break, then `cause`. One box per failure: a failure of the runner
// comes in it too, not in a box of the runner's own.
QString ConversionError(const QString& input, const QString& cause);

}  // namespace clip
