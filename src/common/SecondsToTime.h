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

// A media time in whole milliseconds, rounded down, so that the frame a time
// names is never left out of a span that starts there (a 29.97 fps frame at
// 10.0667 s gives 10066). Differences below a microsecond are taken as
// noise of the floating-point time (10.08 stays 10080). A non-finite time
// gives 0.
qint64 MediaMilliseconds(double seconds);

// "hh:mm:ss" for a whole second, "hh:mm:ss.mmm" otherwise ("00:01:15.360");
// a negative time has one leading "-".
QString MillisecondsToTime(qint64 milliseconds);

// A time for the encoder's command line: whole seconds as a whole number
// ("10"), anything else with three decimals and a "." ("10.040"), whatever
// the locale.
QString CommandLineSeconds(qint64 milliseconds);

}  // namespace clip
