#pragma once

#include <cstdint>
#include <optional>

namespace clip {

// The one rule for turning a fractional value into a whole number anywhere in
// the program: nearest integer, a half going to the even neighbour
// (2.5 -> 2, 3.5 -> 4, -0.5 -> 0).
double RoundHalfEven(double value);

// RoundHalfEven into a fixed-width integer; empty when the value is not finite
// or the rounded result does not fit the type.
std::optional<std::int16_t> RoundToInt16(double value);
std::optional<std::int32_t> RoundToInt32(double value);

}  // namespace clip
