#include "common/SecondsToTime.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

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

qint64 MediaMilliseconds(double seconds)
{
    constexpr double kLimit = 9.0e15;  // microseconds a 64-bit count holds with room to spare
    if (!std::isfinite(seconds))
        return 0;
    const double micro = std::clamp(std::round(seconds * 1e6), -kLimit, kLimit);
    return qint64(std::floor(micro / 1000.0));
}

namespace {

// "s" or "s.mmm" of a non-negative count of milliseconds.
QString Fraction(qint64 milliseconds)
{
    return QLatin1Char('.') + QString::number(milliseconds % 1000).rightJustified(3, QLatin1Char('0'));
}

}  // namespace

QString MillisecondsToTime(qint64 milliseconds)
{
    const qint64 magnitude = milliseconds < 0 ? -milliseconds : milliseconds;
    const qint64 whole = qMin<qint64>(magnitude / 1000, INT32_MAX);
    QString text = SecondsToTime(qint32(whole));
    if (magnitude % 1000 != 0)
        text += Fraction(magnitude);
    return milliseconds < 0 ? QLatin1Char('-') + text : text;
}

QString CommandLineSeconds(qint64 milliseconds)
{
    const qint64 magnitude = milliseconds < 0 ? -milliseconds : milliseconds;
    QString text = QString::number(magnitude / 1000);
    if (magnitude % 1000 != 0)
        text += Fraction(magnitude);
    return milliseconds < 0 ? QLatin1Char('-') + text : text;
}

}  // namespace clip
