#pragma once

#include <QString>
#include <QtGlobal>

namespace clip {

struct Catalogues;
struct FormatChoice;

// The encoder options of one cut: the text that stands on the encoder's
// command line between the input file and the output file, built from the chosen
// format (FormatChoice) and the length of the selection
// [SelectStart, SelectEnd] in seconds (the caller guarantees
// SelectEnd > SelectStart). The length is written as a whole number when it
// is whole ("-t 30"), else with three decimals ("-t 29.960"), taken to the
// millisecond below (MediaMilliseconds).
//
// Presets route: the options of the first preset whose category, label and
// extension equal the choice's three texts, then " -t <length>"; the empty text
// (and no message) when no preset matches.
// Custom route: "-ar ... -ab ... [-acodec ...] -ac ... [-vcodec ...] -b ...
// [-s ...] [-aspect ...] -r ... -t <length>".
//
// The start of the selection is not part of these options: it goes before
// the input on the command line (CVideoConv::setStartTime), where the
// encoder seeks to it instead of decoding everything before it.
//
// A failure (a bitrate that is not a number or too large, a size without
// "(", a box text that would break the command line apart) shows
// "Error occured while getting paramters", a line break and the cause
// (style 16), and gives the empty text. The caller must not start the
// encoder with an empty result.
QString GetParamaters(const FormatChoice& choice, const Catalogues& cat, double SelectStart, double SelectEnd);

// The same options, with a failure as a value instead of a box: `error`
// holds the text GetParamaters would show (and `options` is empty).
struct ParamatersResult {
    QString options;
    QString error;
};
ParamatersResult BuildParamaters(const FormatChoice& choice, const Catalogues& cat, double SelectStart,
                                 double SelectEnd);

}  // namespace clip
