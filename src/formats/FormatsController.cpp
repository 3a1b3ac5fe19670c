#include "formats/FormatsController.h"

#include "common/HostServices.h"
#include "controls/MyFrame.h"
#include "controls/MyOption.h"
#include "formats/Catalogue.h"
#include "formats/FormatsPanel.h"
#include "formats/KeyFilters.h"

#include <QComboBox>
#include <QLineEdit>
#include <QSignalBlocker>

#include <algorithm>

namespace clip {

namespace {

const QChar kQuote = QLatin1Char('"');

// Replaces the items of `list` with `items`, then selects the first one so
// that exactly one currentIndexChanged(0) reaches the list's handlers (none
// while the list is rebuilt). An empty list is left without a selection.
void Refill(QComboBox* list, const QStringList& items)
{
    {
        const QSignalBlocker blocker(list);
        list->clear();
        list->addItems(items);
        list->setCurrentIndex(-1);
    }
    if (!items.isEmpty())
        list->setCurrentIndex(0);
}

void AppendOnce(QStringList& items, const QString& text)
{
    if (!items.contains(text))
        items << text;
}

}  // namespace

FormatsController::FormatsController(FormatsPanel& panel, const Catalogues& cat, QObject* parent)
    : QObject(parent), m_panel(panel), m_cat(cat)
{
    // Selection changes made by code run the cascades as well as the user's.
    connect(panel.cmbCategory, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0)
            SetCategory(m_panel.cmbCategory->itemText(index));
    });
    connect(panel.cmbOutVCodec, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0)
            SetVideoCodec(m_panel.cmbOutVCodec->itemText(index));
    });

    for (int i = 0; i < 2; ++i) {
        connect(panel.optFormat[i], &QAbstractButton::clicked, this, [this, i] { optFormat_Click(i); });
        // A route chosen by code (the settings restore) shows its sub-panel too.
        connect(panel.optFormat[i], &QAbstractButton::toggled, this, [this, i](bool on) {
            if (on)
                optFormat_Click(i);
        });
    }

    NumberKeyFilter::Install(panel.txtCABirate, NumberKeyFilter::Kind::Bitrate);
    NumberKeyFilter::Install(panel.txtCVBitrate, NumberKeyFilter::Kind::Bitrate);
    NumberKeyFilter::Install(panel.txtChannels, NumberKeyFilter::Kind::Channels);
    NumberKeyFilter::Install(panel.txtFrameRate, NumberKeyFilter::Kind::FrameRate);
}

void FormatsController::SetCategory(const QString& sCat)
{
    const int count = std::min<qsizetype>(m_cat.PresetCount, m_cat.Presets.size());
    QStringList labels;
    QStringList extensions;
    for (int i = 0; i < count; ++i) {
        const PresetEntry& p = m_cat.Presets.at(i);
        if (p.Category == sCat) {
            AppendOnce(labels, p.Label);
            AppendOnce(extensions, p.Extension);
        }
    }
    {
        const QSignalBlocker blocker(m_panel.cmbOutFormat);
        m_panel.cmbOutFormat->clear();
        m_panel.cmbOutFormat->addItems(extensions);
    }
    // Selecting the first label runs SetVideoCodec, which narrows the
    // containers to that label's.
    Refill(m_panel.cmbOutVCodec, labels);
    if (m_panel.cmbOutFormat->count() > 0)
        m_panel.cmbOutFormat->setCurrentIndex(0);
}

void FormatsController::SetVideoCodec(const QString& sCodec)
{
    const QString category = m_panel.cmbCategory->currentText();
    const int count = std::min<qsizetype>(m_cat.PresetCount, m_cat.Presets.size());
    QStringList extensions;
    for (int i = 0; i < count; ++i) {
        const PresetEntry& p = m_cat.Presets.at(i);
        if (p.Category == category && p.Label == sCodec)
            AppendOnce(extensions, p.Extension);
    }
    Refill(m_panel.cmbOutFormat, extensions);
}

void FormatsController::optFormat_Click(int index)
{
    if (index < 0 || index > 1)
        return;
    // The other sub-panel stays where it is, behind, with its values.
    m_panel.frFormat[index]->raise();
}

bool FormatsController::CheckBeforeClose() const
{
    const struct {
        const QLineEdit* box;
        const char* message;
    } checks[] = {
        {m_panel.txtChannels, "Channels Field in the custom Format can not be empty."},
        {m_panel.txtFrameRate, "Frame Rate Field in the custom Format can not be empty."},
        {m_panel.txtCABirate, "Audio Bitrate Field in the custom Format can not be empty."},
        {m_panel.txtCVBitrate, "Video Bitrate Field in the custom Format can not be empty."},
    };
    for (const auto& check : checks) {
        if (check.box->text().isEmpty()) {
            Host().messageBox(QString::fromLatin1(check.message), MsgExclamation);
            return false;
        }
    }
    return true;
}

QString FormatDescription(const FormatsPanel& panel)
{
    if (panel.optFormat[0]->isChecked()) {
        return QStringLiteral("Category:") + panel.cmbCategory->currentText() + QStringLiteral(", Codec:") + kQuote
               + panel.cmbOutVCodec->currentText() + kQuote + QStringLiteral(", Container:") + kQuote
               + panel.cmbOutFormat->currentText() + kQuote;
    }
    return QStringLiteral("Container:") + panel.cmbCustContainer->currentText() + QStringLiteral(", Video Codec:")
           + kQuote + panel.cmbCVCodec->currentText() + kQuote + QStringLiteral(", Audio Codec:") + kQuote
           + panel.cmbCACodec->currentText() + kQuote;
}

}  // namespace clip
