#pragma once

#include <QString>
#include <QStringList>

#include <optional>
#include <variant>

namespace clip {

// A time given on the command line: seconds with decimals ("75.5") or
// "[[hh:]mm:]ss[.fff]" ("01:15.5", "00:01:15.500"), counted from the
// video's first picture as the window's labels count. Empty when the text is
// not such a time (negative, out of range, stray characters).
std::optional<double> ParseTimeArgument(const QString& text);

// What the re-encode offered instead of a smart cut does without a window
// to ask in.
enum class NotSmartChoice { Skip, Reencode };

// "clipwright cut [options] INPUT...", read.
struct CutArguments {
    QStringList inputs;
    std::optional<double> from;  // seconds; none: the video's start
    std::optional<double> to;    // seconds; none: the video's end
    // "CATEGORY/LABEL/EXTENSION" as "clipwright presets" prints it, resolved
    // against the catalogue by the caller; empty when not given.
    QString preset;
    bool smart = false;
    QString smartContainer;  // "mp4", "mkv", "mov"; empty: the input's own
    QString outputDir;       // empty: each input's own folder
    // A segment list (the window's CSV) to cut instead of --from/--to: its
    // segments kept, or with --cut-out the rest; one file each, or with
    // --join one file. Empty: no list.
    QString segmentsFile;
    bool cutOut = false;
    bool join = false;
    bool json = false;
    NotSmartChoice ifNotSmart = NotSmartChoice::Skip;
    bool help = false;  // --help: nothing else was looked at
};

// A command line that cannot be run, with the one-line reason.
struct UsageError {
    QString reason;
};

// Reads the arguments after "cut". Options and inputs may be mixed; "--"
// ends the options, so inputs may start with "-". "--name=value" and
// "--name value" are both accepted.
std::variant<CutArguments, UsageError> ReadCutArguments(const QStringList& arguments);

// The usage of "clipwright cut", with examples.
QString CutUsage();

}  // namespace clip
