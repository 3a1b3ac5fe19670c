// The formats panel's lists, filled from the catalogues.
#include "formats/Catalogue.h"

#include <QComboBox>
#include <QSignalBlocker>

namespace clip {

namespace {

// Selects the first item so that exactly one currentIndexChanged(0) runs the
// list's handlers, whatever was selected while the list was being filled.
bool selectFirst(QComboBox* list, const QString& listName, QString* cause)
{
    if (list->count() == 0) {
        *cause = QStringLiteral("The %1 list is empty, so there is no first item to select.").arg(listName);
        return false;
    }
    {
        const QSignalBlocker blocker(list);
        list->setCurrentIndex(-1);
    }
    list->setCurrentIndex(0);
    return true;
}

bool listHolds(const QComboBox* list, const QString& text)
{
    for (int k = 0; k < list->count(); ++k) {
        if (list->itemText(k) == text)
            return true;
    }
    return false;
}

}  // namespace

void LoadPresets(Catalogues& cat, QComboBox* cmbCategory)
{
    if (!ReadPresets(cat))
        return;
    QString cause;

    {
        const QSignalBlocker blocker(cmbCategory);
        for (int i = 0; i < cat.PresetCount; ++i) {
            const QString& category = cat.Presets.at(i).Category;
            if (!listHolds(cmbCategory, category))
                cmbCategory->addItem(category);
        }
    }
    if (!selectFirst(cmbCategory, QStringLiteral("category"), &cause))
        ReportCatalogueFailure(CatalogueKind::Presets, cause);
}

void LoadCodecs(Catalogues& cat, QComboBox* cmbCVCodec, QComboBox* cmbCACodec)
{
    if (!ReadCodecs(cat))
        return;
    QString cause;

    {
        const QSignalBlocker videoBlocker(cmbCVCodec);
        const QSignalBlocker audioBlocker(cmbCACodec);
        cmbCVCodec->clear();
        cmbCACodec->clear();
        for (int i = 0; i < cat.CodecCount; ++i) {
            const CodecEntry& codec = cat.Codecs.at(i);
            const bool general = codec.Type == QLatin1String("general");
            if (general || codec.Type == QLatin1String("video codec"))
                cmbCVCodec->addItem(codec.Description);
            if (general || codec.Type == QLatin1String("audio codec"))
                cmbCACodec->addItem(codec.Description);
        }
    }
    if (!selectFirst(cmbCVCodec, QStringLiteral("video codec"), &cause)
        || !selectFirst(cmbCACodec, QStringLiteral("audio codec"), &cause))
        ReportCatalogueFailure(CatalogueKind::Codecs, cause);
}

}  // namespace clip
