#pragma once

#include "segments/Segment.h"

#include <QString>

#include <vector>

namespace clip {

// A segment list as plain CSV text, one segment per line: `start,end,label`,
// the times seconds with decimals (a point, never a comma), the label quoted
// where it holds a comma, a quote or a line break (quotes doubled inside).
// The label may be missing ("12.5,20"). Empty lines are skipped, and so is a
// first line that reads `start,end,label` (a header).

// What reading a list found: the segments in time order, or the first fault
// (`error`, naming its line, "Line 3: ...") and no segments.
struct SegmentCsvRead {
    std::vector<Segment> segments;
    QString error;
    int errorLine = 0;  // 1-based; 0 when the list was read
    bool ok() const { return error.isEmpty(); }
};

// Reads `text`; a malformed line (not two or three fields, a time that is
// not a number of seconds, a negative or non-finite time, an end not after
// its start, a segment overlapping another) ends the reading with its line.
SegmentCsvRead ReadSegmentsCsv(const QString& text);
// Reads the file at `path` (UTF-8) the same way; a file that cannot be read
// gets an error naming it and line 0.
SegmentCsvRead ReadSegmentsCsvFile(const QString& path);

// The CSV text of `segments` (a header line first, times with up to three
// decimals, "\n" line ends), which ReadSegmentsCsv reads back to the same list.
QString WriteSegmentsCsv(const std::vector<Segment>& segments);
// Writes it to `path` as one change (the old file stays intact on failure);
// false with `error` set (the path and the system's reason) when it cannot.
bool WriteSegmentsCsvFile(const QString& path, const std::vector<Segment>& segments, QString* error);

}  // namespace clip
