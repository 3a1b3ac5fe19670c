#include "common/SecondsToTime.h"

namespace clip {

namespace {

QString TwoDigits(qint64 n)
{
    return QString::number(n).rightJustified(2, QLatin1Char('0'));
}

}  // namespace

QString SecondsToTime(qint32 seconds)
{
    // 64-bit, so that the magnitude of the smallest 32-bit value fits.
    const bool negative = seconds < 0;
    const qint64 n = negative ? -static_cast<qint64>(seconds) : static_cast<qint64>(seconds);

    const qint64 s = n % 60;
    const qint64 t = (n - s) / 60;
    const qint64 m = t % 60;
    const qint64 h = t / 60;

    QString text = TwoDigits(h) + QLatin1Char(':') + TwoDigits(m) + QLatin1Char(':') + TwoDigits(s);
    if (negative)
        text.prepend(QLatin1Char('-'));
    return text;
}

}  // namespace clip
