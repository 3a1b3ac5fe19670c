#include "formats/FormatChoice.h"

#include "formats/Catalogue.h"

#include <QRegularExpression>

#include <algorithm>

namespace clip {

const PresetEntry* ChosenPreset(const Catalogues& cat, const FormatChoice& choice)
{
    return choice.custom ? nullptr : FindPreset(cat, choice.category, choice.label, choice.extension);
}

bool CopiesVideo(const FormatChoice& choice, const Catalogues& cat)
{
    if (choice.custom)
        return GetCodecName(cat, choice.videoCodec) == QLatin1String("copy");
    static const QRegularExpression copy(QStringLiteral("(^|\\s)-(c|c:v|codec|codec:v|vcodec)\\s+copy(\\s|$)"));
    const PresetEntry* p = ChosenPreset(cat, choice);
    return p && p->CutMode != QLatin1String(kSmartCutMode) && copy.match(p->Params).hasMatch();
}

QString FormatChoiceProblem(const FormatChoice& choice, const Catalogues& cat)
{
    if (choice.custom) {
        // The container is the output's extension. The codec lists may be
        // empty (no codec catalogue): the encoder then takes the container's
        // own codecs.
        if (choice.container.isEmpty())
            return QStringLiteral("No custom format is chosen. Choose a container on the formats panel.");
        return {};
    }
    if (std::min<qsizetype>(cat.PresetCount, cat.Presets.size()) <= 0)
        return QStringLiteral("No output format can be chosen: the preset catalogue (%1) is missing, empty or "
                              "unreadable. Reinstall the program, or choose a custom format on the formats panel.")
            .arg(QString::fromLatin1(kPresetsFileName));
    if (choice.category.isEmpty() || choice.label.isEmpty() || choice.extension.isEmpty())
        return QStringLiteral("No output format is chosen. Choose a category, a format and a file type on the "
                              "formats panel.");
    if (!ChosenPreset(cat, choice))
        return QStringLiteral("No preset matches the chosen category, format and file type. Choose them again on "
                              "the formats panel.");
    return {};
}

}  // namespace clip
