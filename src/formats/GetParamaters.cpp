#include "formats/GetParamaters.h"

#include "common/HostServices.h"
#include "common/SecondsToTime.h"
#include "common/Rounding.h"
#include "formats/Catalogue.h"
#include "formats/FormatChoice.h"

#include <QLocale>

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

namespace clip {

namespace {

const QString kAsInput = QStringLiteral("[As Input]");

// A failure while building: the cause shown under the builder's message.
struct BuildError {
    QString cause;
};

// The number at the start of `text`: spaces are skipped anywhere, digits are
// taken with at most one "." as the decimal point (whatever the locale), and
// reading stops at the first other character. No number gives 0.
double LeadingNumber(const QString& text)
{
    QString digits;
    bool point = false;
    for (const QChar ch : text) {
        if (ch == QLatin1Char(' '))
            continue;
        if (ch >= QLatin1Char('0') && ch <= QLatin1Char('9')) {
            digits += ch;
        } else if (ch == QLatin1Char('.') && !point) {
            point = true;
            digits += ch;
        } else {
            break;
        }
    }
    bool ok = false;
    const double value = QLocale::c().toDouble(digits, &ok);
    return ok ? value : 0.0;
}

// A double as the command line shows it: 15 significant digits, and a whole
// number in plain decimal.
QString PlainNumber(double value)
{
    const QString shown = QString::number(value, 'g', 15);
    const double rounded = shown.toDouble();
    if (std::isfinite(rounded) && rounded == std::trunc(rounded) && std::fabs(rounded) < 1e15)
        return QString::number(static_cast<qint64>(rounded));
    return shown;
}

// A bitrate box in kilobits per second, as bits per second. The text is read
// in the user's locale, and in the C locale when that fails, so "64" and
// "64.5" always read; fractions round half to even; the product by 1000 must
// stay within 32 bits.
qint32 BitsPerSecond(const QString& text, const QString& what)
{
    const QString trimmed = text.trimmed();
    bool ok = false;
    double kbps = QLocale().toDouble(trimmed, &ok);
    if (!ok)
        kbps = QLocale::c().toDouble(trimmed, &ok);
    if (!ok) {
        if (trimmed.isEmpty())
            throw BuildError{QStringLiteral("The %1 is empty; it must be a number.").arg(what)};
        throw BuildError{QStringLiteral("The %1 \"%2\" is not a number.").arg(what, text)};
    }
    const std::optional<std::int32_t> whole = RoundToInt32(kbps);
    if (!whole)
        throw BuildError{QStringLiteral("The %1 \"%2\" is too large.").arg(what, text)};
    const qint64 bits = qint64(*whole) * 1000;
    if (bits > std::numeric_limits<qint32>::max() || bits < std::numeric_limits<qint32>::min())
        throw BuildError{QStringLiteral("The %1 \"%2\" is too large: %3 bits per second do not fit in 32 bits.")
                             .arg(what, text)
                             .arg(bits)};
    return qint32(bits);
}

// A text that goes onto the command line as it stands must stay one
// argument there: no blanks (which would start a further option) and no
// double quotes (which regroup the arguments), and not empty.
QString OneArgument(const QString& text, const QString& what)
{
    if (text.isEmpty())
        throw BuildError{QStringLiteral("The %1 is empty.").arg(what)};
    const bool splits = std::any_of(text.begin(), text.end(), [](QChar ch) {
        return ch.isSpace() || ch == QLatin1Char('"') || ch.category() == QChar::Other_Control;
    });
    if (splits)
        throw BuildError{QStringLiteral("The %1 \"%2\" holds blanks or quotes; it must be a single value.")
                             .arg(what, text)};
    return text;
}

// The length of the selection; its start is the job's, before the input.
// Rounded down to the millisecond: the encoder keeps the frames that start
// before the length, counted from the first one kept, so a length a fraction
// of a millisecond too long would keep the frame at the end mark as well.
QString Selection(double SelectStart, double SelectEnd)
{
    return QStringLiteral(" -t ") + CommandLineSeconds(MediaMilliseconds(SelectEnd - SelectStart));
}

QString PresetParameters(const FormatChoice& panel, const Catalogues& cat, double SelectStart, double SelectEnd)
{
    const PresetEntry* p = ChosenPreset(cat, panel);
    return p ? p->Params + Selection(SelectStart, SelectEnd) : QString();
}

QString CustomParameters(const FormatChoice& panel, const Catalogues& cat, double SelectStart, double SelectEnd)
{
    QString result;

    result += QStringLiteral("-ar ") + PlainNumber(LeadingNumber(panel.samplingRate) * 1000.0);
    result += QStringLiteral(" -ab ")
              + QString::number(BitsPerSecond(panel.audioBitrate, QStringLiteral("audio bitrate")));

    const QString audioCodec = GetCodecName(cat, panel.audioCodec);
    if (!audioCodec.isEmpty())
        result += QStringLiteral(" -acodec ") + OneArgument(audioCodec, QStringLiteral("audio codec name"));

    result += QStringLiteral(" -ac ") + OneArgument(panel.channels, QStringLiteral("channel count"));

    const QString videoCodec = GetCodecName(cat, panel.videoCodec);
    if (!videoCodec.isEmpty())
        result += QStringLiteral(" -vcodec ") + OneArgument(videoCodec, QStringLiteral("video codec name"));

    result += QStringLiteral(" -b ")
              + QString::number(BitsPerSecond(panel.videoBitrate, QStringLiteral("video bitrate")));

    const QString size = panel.videoSize;
    if (size != kAsInput) {
        const qsizetype open = size.indexOf(QLatin1Char('('));
        if (open < 0)
            throw BuildError{QStringLiteral("The video size \"%1\" has no \"(\" after its name.").arg(size)};
        result += QStringLiteral(" -s ") + OneArgument(size.left(open), QStringLiteral("video size name"));
    }

    const QString aspect = panel.aspect;
    if (aspect != kAsInput)
        result += QStringLiteral(" -aspect ") + OneArgument(aspect, QStringLiteral("aspect ratio"));

    result += QStringLiteral(" -r ") + OneArgument(panel.frameRate, QStringLiteral("frame rate"));
    result += Selection(SelectStart, SelectEnd);
    return result;
}

}  // namespace

ParamatersResult BuildParamaters(const FormatChoice& choice, const Catalogues& cat, double SelectStart,
                                 double SelectEnd)
{
    if (!choice.custom)
        return {PresetParameters(choice, cat, SelectStart, SelectEnd), {}};
    try {
        return {CustomParameters(choice, cat, SelectStart, SelectEnd), {}};
    } catch (const BuildError& error) {
        return {{}, QStringLiteral("Error occured while getting paramters\r\n") + error.cause};
    }
}

QString GetParamaters(const FormatChoice& choice, const Catalogues& cat, double SelectStart, double SelectEnd)
{
    const ParamatersResult result = BuildParamaters(choice, cat, SelectStart, SelectEnd);
    if (!result.error.isEmpty())
        Host().messageBox(result.error, MsgCritical);
    return result.options;
}

}  // namespace clip
