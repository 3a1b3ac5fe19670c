#pragma once

#include "segments/Segment.h"

#include <utility>
#include <vector>

namespace clip::test {

// Segments as (start, end) pairs, for comparing lists without their labels.
using Spans = std::vector<std::pair<double, double>>;

inline Spans SpansOf(const std::vector<Segment>& segments)
{
    Spans spans;
    for (const Segment& s : segments)
        spans.emplace_back(s.start, s.end);
    return spans;
}

}  // namespace clip::test
