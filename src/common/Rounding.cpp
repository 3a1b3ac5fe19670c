#include "common/Rounding.h"

#include <cfenv>
#include <cmath>
#include <limits>

namespace clip {

double RoundHalfEven(double value)
{
    // nearbyint honours the current rounding mode; make sure it is the
    // default one even if some library changed it.
    const int previous = std::fegetround();
    if (previous != FE_TONEAREST)
        std::fesetround(FE_TONEAREST);
    const double rounded = std::nearbyint(value);
    if (previous != FE_TONEAREST)
        std::fesetround(previous);
    return rounded;
}

namespace {
template <typename Int>
std::optional<Int> roundInto(double value)
{
    if (!std::isfinite(value))
        return std::nullopt;
    const double rounded = RoundHalfEven(value);
    if (rounded < static_cast<double>(std::numeric_limits<Int>::min())
        || rounded > static_cast<double>(std::numeric_limits<Int>::max()))
        return std::nullopt;
    return static_cast<Int>(rounded);
}
}  // namespace

std::optional<std::int16_t> RoundToInt16(double value) { return roundInto<std::int16_t>(value); }
std::optional<std::int32_t> RoundToInt32(double value) { return roundInto<std::int32_t>(value); }

}  // namespace clip
