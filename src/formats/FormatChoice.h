#pragma once

#include <QString>

namespace clip {

struct Catalogues;
struct PresetEntry;

// The output format a cut is made in, as the formats panel shows it: a
// preset (its category, label and file type) or the custom choices, each as
// the text its box holds. A plain value: the panel produces it and can be set
// from it, and the cut and the argument builder read it without any widget.
struct FormatChoice {
    bool custom = false;

    // Preset route.
    QString category;
    QString label;
    QString extension;

    // Custom route (the texts of the lists and boxes).
    QString container;
    QString videoCodec;
    QString videoBitrate;
    QString videoSize;
    QString aspect;
    QString frameRate;
    QString audioCodec;
    QString audioBitrate;
    QString samplingRate;
    QString channels;

    // A named format (the preset route).
    static FormatChoice Preset(const QString& category, const QString& label, const QString& extension)
    {
        FormatChoice choice;
        choice.category = category, choice.label = label, choice.extension = extension;
        return choice;
    }

    // The output's file type: the preset's extension or the custom container.
    QString OutputExtension() const { return custom ? container : extension; }

    bool operator==(const FormatChoice&) const = default;
};

// The preset a preset-route choice names; null on the custom route or when
// no preset matches.
const PresetEntry* ChosenPreset(const Catalogues& cat, const FormatChoice& choice);

// True when the chosen format copies the video stream as it is (a smart cut
// copies from a key frame but starts at the mark: not a copy here).
bool CopiesVideo(const FormatChoice& choice, const Catalogues& cat);

// Why no cut can be made in `choice`, as the message that says what to
// choose; empty when the choice is usable.
QString FormatChoiceProblem(const FormatChoice& choice, const Catalogues& cat);

}  // namespace clip
