#pragma once

#include <QString>

#include <vector>

namespace clip {

// One part of a video the user marked: [start, end) as positions (seconds
// from the file's first shown frame, TimeOrigin) and an optional label, the
// name its chapter and its line in a list get.
struct Segment {
    double start = 0.0;
    double end = 0.0;
    QString label;

    double length() const { return end - start; }
    bool operator==(const Segment&) const = default;
};

// What the marked segments mean for the output: the segments themselves are
// kept, or they are cut out and everything else is kept.
enum class SegmentMode { Keep, CutOut };

// How the kept parts are written: one output file each, or one file that
// joins them in time order.
enum class SegmentExport { OneFilePerSegment, Join };

// True when [a.start, a.end) and [b.start, b.end) share time; segments that
// only touch (one ends where the other starts) do not.
bool Overlaps(const Segment& a, const Segment& b);

// The parts of a video of `videoLength` seconds that an export writes, in
// time order: with Keep, `segments` (sorted, clipped to the video, empty ones
// left out); with CutOut, the stretches between and around them (labelled
// "Part 1", "Part 2", ...; pieces shorter than a millisecond left out).
// `segments` must not overlap. Empty when nothing is left to write.
std::vector<Segment> KeptParts(const std::vector<Segment>& segments, SegmentMode mode, double videoLength);

// The segments of one video, kept in time order and never overlapping. Every
// change is checked first; a refused one leaves the list as it was and says
// why, as the message the user is shown.
class SegmentList {
public:
    const std::vector<Segment>& segments() const { return m_segments; }
    int size() const { return static_cast<int>(m_segments.size()); }
    bool isEmpty() const { return m_segments.empty(); }
    const Segment& at(int index) const { return m_segments.at(static_cast<size_t>(index)); }

    // Adds `segment` in its place in time order; returns its index, or -1
    // with `error` set (an empty or reversed segment, one overlapping another).
    int Add(const Segment& segment, QString* error);
    // Puts `segment` in place of the one at `index` (which may move to keep
    // the order); its new index, or -1 with `error` set as for Add.
    int Replace(int index, const Segment& segment, QString* error);
    void Remove(int index);
    void Clear() { m_segments.clear(); }
    // Takes `segments` as the whole list when they are valid together (each
    // non-empty, none overlapping another); false with `error` set otherwise.
    bool Assign(std::vector<Segment> segments, QString* error);

private:
    // Why `segment` cannot stand beside every segment but the one at `skip`;
    // empty when it can.
    QString Problem(const Segment& segment, int skip) const;
    // Puts a checked segment in its place; its index.
    int Insert(const Segment& segment);

    std::vector<Segment> m_segments;
};

}  // namespace clip
