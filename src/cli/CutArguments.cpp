#include "cli/CutArguments.h"

#include <QRegularExpression>

#include <cmath>

namespace clip {

std::optional<double> ParseTimeArgument(const QString& text)
{
    // Hours and minutes of any size at the front; minutes and seconds after
    // a ":" below 60.
    static const QRegularExpression kTime(
        QStringLiteral("^(?:(?:(\\d+):)?(\\d+):)?(\\d+(?:\\.\\d*)?|\\.\\d+)$"));
    const QRegularExpressionMatch match = kTime.match(text.trimmed());
    if (!match.hasMatch())
        return std::nullopt;
    const bool hasHours = !match.captured(1).isEmpty(), hasMinutes = !match.captured(2).isEmpty();
    const double hours = match.captured(1).toDouble(), minutes = match.captured(2).toDouble();
    const double seconds = match.captured(3).toDouble();
    if ((hasMinutes && seconds >= 60.0) || (hasHours && minutes >= 60.0))
        return std::nullopt;
    const double total = hours * 3600.0 + minutes * 60.0 + seconds;
    // Beyond about a year a time is a typing error, and its milliseconds
    // would no longer fit the cut's own arithmetic.
    if (!std::isfinite(total) || total > 366.0 * 24 * 3600)
        return std::nullopt;
    return total;
}

namespace {

const QStringList kSmartContainers{QStringLiteral("mp4"), QStringLiteral("mkv"), QStringLiteral("mov")};

}  // namespace

std::variant<CutArguments, UsageError> ReadCutArguments(const QStringList& arguments)
{
    CutArguments cut;
    bool optionsEnded = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        if (optionsEnded || !argument.startsWith(QLatin1Char('-')) || argument == QLatin1String("-")) {
            cut.inputs << argument;
            continue;
        }
        if (argument == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        const qsizetype equals = argument.indexOf(QLatin1Char('='));
        const QString name = equals < 0 ? argument : argument.left(equals);
        std::optional<QString> attached;
        if (equals >= 0)
            attached = argument.mid(equals + 1);
        // The option's value: after "=", or the next argument.
        auto value = [&]() -> std::optional<QString> {
            if (attached)
                return attached;
            if (i + 1 < arguments.size())
                return arguments.at(++i);
            return std::nullopt;
        };
        auto missing = [&] { return UsageError{QStringLiteral("%1 needs a value.").arg(name)}; };
        auto noValue = [&]() -> std::optional<UsageError> {
            if (attached)
                return UsageError{QStringLiteral("%1 takes no value.").arg(name)};
            return std::nullopt;
        };

        if (name == QLatin1String("--help") || name == QLatin1String("-h")) {
            CutArguments help;
            help.help = true;
            return help;
        } else if (name == QLatin1String("--from") || name == QLatin1String("--to")) {
            const std::optional<QString> text = value();
            if (!text)
                return missing();
            const std::optional<double> time = ParseTimeArgument(*text);
            if (!time)
                return UsageError{
                    QStringLiteral("%1: \"%2\" is not a time (seconds, or hh:mm:ss.mmm).").arg(name, *text)};
            (name == QLatin1String("--from") ? cut.from : cut.to) = time;
        } else if (name == QLatin1String("--preset")) {
            const std::optional<QString> text = value();
            if (!text || text->isEmpty())
                return missing();
            cut.preset = *text;
        } else if (name == QLatin1String("--smart")) {
            cut.smart = true;
            // The container may follow as its own argument only when it is
            // one of the three; anything else is an input.
            if (attached) {
                if (!kSmartContainers.contains(attached->toLower()))
                    return UsageError{QStringLiteral("--smart: \"%1\" is not one of mp4, mkv, mov.").arg(*attached)};
                cut.smartContainer = attached->toLower();
            } else if (i + 1 < arguments.size() && kSmartContainers.contains(arguments.at(i + 1))) {
                cut.smartContainer = arguments.at(++i);
            }
        } else if (name == QLatin1String("--output-dir")) {
            const std::optional<QString> text = value();
            if (!text || text->isEmpty())
                return missing();
            cut.outputDir = *text;
        } else if (name == QLatin1String("--segments")) {
            const std::optional<QString> text = value();
            if (!text || text->isEmpty())
                return missing();
            cut.segmentsFile = *text;
        } else if (name == QLatin1String("--json") || name == QLatin1String("--cut-out")
                   || name == QLatin1String("--join")) {
            if (auto error = noValue())
                return *error;
            (name == QLatin1String("--json") ? cut.json : name == QLatin1String("--join") ? cut.join : cut.cutOut) = true;
        } else if (name == QLatin1String("--if-not-smart")) {
            const std::optional<QString> text = value();
            if (!text)
                return missing();
            if (*text == QLatin1String("reencode"))
                cut.ifNotSmart = NotSmartChoice::Reencode;
            else if (*text == QLatin1String("skip"))
                cut.ifNotSmart = NotSmartChoice::Skip;
            else
                return UsageError{QStringLiteral("--if-not-smart: \"%1\" is not reencode or skip.").arg(*text)};
        } else {
            return UsageError{QStringLiteral("unknown option %1.").arg(name)};
        }
    }
    if (cut.inputs.isEmpty())
        return UsageError{QStringLiteral("no input video given.")};
    if (cut.smart && !cut.preset.isEmpty())
        return UsageError{QStringLiteral("--preset and --smart choose the format twice; give one of them.")};
    if (!cut.segmentsFile.isEmpty() && (cut.from || cut.to))
        return UsageError{QStringLiteral("--segments and --from/--to choose the part twice; give one of them.")};
    if (cut.segmentsFile.isEmpty() && (cut.cutOut || cut.join))
        return UsageError{QStringLiteral("%1 needs a segment list (--segments FILE).")
                              .arg(cut.cutOut ? QStringLiteral("--cut-out") : QStringLiteral("--join"))};
    if (cut.from && cut.to && *cut.to <= *cut.from)
        return UsageError{QStringLiteral("--to must lie after --from.")};
    return cut;
}

QString CutUsage()
{
    return QStringLiteral(
        "Usage: clipwright cut [options] INPUT...\n"
        "Cuts a part of each INPUT into a new file beside it (or into --output-dir),\n"
        "named as the window names it; an existing file is never overwritten.\n"
        "\n"
        "Options:\n"
        "  --from TIME            Start of the part (default: the video's start).\n"
        "  --to TIME              End of the part (default: the video's end).\n"
        "                         TIME: seconds (75.5) or hh:mm:ss.mmm (00:01:15.500),\n"
        "                         counted from the first picture, as the window shows.\n"
        "  --segments FILE        Cut the segments of a list instead: one line\n"
        "                         start,end,label per segment (seconds; the label\n"
        "                         optional, quoted where it holds a comma), as the\n"
        "                         window's \"Export List...\" writes it.\n"
        "  --cut-out              Keep everything but the listed segments.\n"
        "  --join                 Join the parts into one file (with a chapter per\n"
        "                         part in MKV and MP4); default: one file per part,\n"
        "                         named <name>_Converted_Part01, _Part02, ...\n"
        "  --preset C/L/E         A named format, as 'clipwright presets' lists it\n"
        "                         (category/label/extension).\n"
        "  --smart [mp4|mkv|mov]  Smart cut: the original pictures, re-encoded only\n"
        "                         at the ends (default: the input's own container).\n"
        "                         Without either: the named format the window last saved.\n"
        "  --if-not-smart reencode|skip\n"
        "                         When a smart cut cannot be made: re-encode the part\n"
        "                         instead, or skip the input as failed (default).\n"
        "  --output-dir DIR       Folder for the new files (default: the input's own).\n"
        "  --json                 One JSON object per input on standard output.\n"
        "  --                     Ends the options (for inputs starting with '-').\n"
        "  -h, --help             Show this help.\n"
        "\n"
        "Exit status: 0 all cut, 1 at least one failed, 2 usage error, 130 interrupted.\n"
        "\n"
        "Examples:\n"
        "  clipwright cut --from 1:05 --to 2:30 --smart talk.mp4\n"
        "  clipwright cut --preset \"General Video/H.264 (AVC) - High Quality/mp4\" \\\n"
        "      --output-dir ~/cuts --json *.mkv\n"
        "  clipwright cut --segments adverts.csv --cut-out --join --smart recording.ts\n");
}

}  // namespace clip
