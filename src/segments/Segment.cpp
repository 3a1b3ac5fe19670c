#include "segments/Segment.h"

#include <algorithm>
#include <cmath>

namespace clip {

namespace {

// Times within half a millisecond are the same time: marks are exact to the
// millisecond, and a list read from text may carry a rounding error.
constexpr double kSameTime = 0.0005;

bool EarlierStart(const Segment& a, const Segment& b) { return a.start < b.start; }

QString TimeText(double seconds) { return QString::number(seconds, 'f', 3); }

}  // namespace

bool Overlaps(const Segment& a, const Segment& b)
{
    return a.start < b.end - kSameTime && b.start < a.end - kSameTime;
}

std::vector<Segment> KeptParts(const std::vector<Segment>& segments, SegmentMode mode, double videoLength)
{
    std::vector<Segment> sorted = segments;
    std::stable_sort(sorted.begin(), sorted.end(), EarlierStart);
    std::vector<Segment> parts;
    if (mode == SegmentMode::Keep) {
        for (Segment segment : sorted) {
            segment.start = std::max(segment.start, 0.0);
            if (videoLength > 0.0)
                segment.end = std::min(segment.end, videoLength);
            if (segment.end - segment.start >= 0.001)
                parts.push_back(segment);
        }
        return parts;
    }
    double from = 0.0;
    auto keep = [&](double to) {
        if (to - from >= 0.001)
            parts.push_back({from, to, QStringLiteral("Part %1").arg(parts.size() + 1)});
    };
    for (const Segment& segment : sorted) {
        keep(std::min(segment.start, videoLength));
        from = std::max(from, segment.end);
    }
    keep(videoLength);
    return parts;
}

QString SegmentList::Problem(const Segment& segment, int skip) const
{
    if (!std::isfinite(segment.start) || !std::isfinite(segment.end) || segment.start < 0.0)
        return QStringLiteral("The segment's times are not valid.");
    if (segment.end - segment.start < 0.001)
        return QStringLiteral("A segment's end must come after its start.");
    for (int i = 0; i < size(); ++i) {
        if (i == skip)
            continue;
        const Segment& other = at(i);
        if (Overlaps(segment, other))
            return QStringLiteral("The segment %1 - %2 would overlap the segment %3 - %4. Segments may not overlap.")
                .arg(TimeText(segment.start), TimeText(segment.end), TimeText(other.start), TimeText(other.end));
    }
    return {};
}

int SegmentList::Add(const Segment& segment, QString* error)
{
    const QString problem = Problem(segment, -1);
    if (!problem.isEmpty()) {
        if (error)
            *error = problem;
        return -1;
    }
    return Insert(segment);
}

int SegmentList::Replace(int index, const Segment& segment, QString* error)
{
    if (index < 0 || index >= size()) {
        if (error)
            *error = QStringLiteral("The segment no longer exists.");
        return -1;
    }
    const QString problem = Problem(segment, index);
    if (!problem.isEmpty()) {
        if (error)
            *error = problem;
        return -1;
    }
    m_segments.erase(m_segments.begin() + index);
    return Insert(segment);
}

int SegmentList::Insert(const Segment& segment)
{
    const auto place = std::upper_bound(m_segments.begin(), m_segments.end(), segment, EarlierStart);
    const auto index = place - m_segments.begin();
    m_segments.insert(place, segment);
    return static_cast<int>(index);
}

void SegmentList::Remove(int index)
{
    if (index >= 0 && index < size())
        m_segments.erase(m_segments.begin() + index);
}

bool SegmentList::Assign(std::vector<Segment> segments, QString* error)
{
    SegmentList checked;
    for (const Segment& segment : segments)
        if (checked.Add(segment, error) < 0)
            return false;
    m_segments = std::move(checked.m_segments);
    return true;
}

}  // namespace clip
