#pragma once

#include <QString>

namespace clip {

// Whole seconds as "hh:mm:ss": hours, minutes and seconds joined by ":",
// each written with at least two digits. Hours are not capped (360000 gives
// "100:00:00").
//
// A negative count is written as the time of its magnitude with a leading
// "-" ("-00:01:01" for -61), rather than with a sign on every part; the
// whole 32-bit range is accepted.
QString SecondsToTime(qint32 seconds);

}  // namespace clip
