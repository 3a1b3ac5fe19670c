// The formats panel on the window: its controller, "Save && Close" and the
// format summary.
#include "mainwindow/frmMain.h"

#include "common/SecondsToTime.h"
#include "controls/MyButton.h"
#include "controls/MyOption.h"
#include "formats/FormatsController.h"
#include "formats/FormatsPanel.h"

#include <QComboBox>
#include <QLabel>
#include <QRegularExpression>

#include <algorithm>

namespace clip {

void frmMain::connectFormatsHandlers()
{
    Formats = new FormatsController(*frFormats, Tables, frFormats);
    connect(frFormats->cmdHide, &QAbstractButton::clicked, this, &frmMain::cmdHide_Click);
}

void frmMain::cmdHide_Click()
{
    if (!Formats->CheckBeforeClose())
        return;
    StartPanelSlide(QStringLiteral("EDIT_FRAME_DOWN"));
    ShowFormatDescription();
}

namespace {

// True when the chosen format copies the video stream as it is.
bool CopiesVideo(const FormatsPanel& panel, const Catalogues& cat)
{
    if (!panel.optFormat[0]->isChecked())
        return GetCodecName(cat, panel.cmbCVCodec->currentText()) == QLatin1String("copy");
    static const QRegularExpression copy(QStringLiteral("(^|\\s)-(c|c:v|codec|codec:v|vcodec)\\s+copy(\\s|$)"));
    const PresetEntry* p = FindPreset(cat, panel.cmbCategory->currentText(), panel.cmbOutVCodec->currentText(),
                                      panel.cmbOutFormat->currentText());
    // A smart cut copies from a key frame but starts at the mark.
    if (p)
        return p->CutMode != QLatin1String(kSmartCutMode) && copy.match(p->Params).hasMatch();
    return false;
}

}  // namespace

void frmMain::ShowFormatDescription()
{
    m_formatSummary = FormatDescription(*frFormats);
    m_summaryCopiesVideo = CopiesVideo(*frFormats, Tables);
    ShowCutStartNote();
}

void frmMain::ShowCutStartNote()
{
    // Catalogue texts are shown as they stand, never as markup.
    lblFormat->setTextFormat(Qt::PlainText);
    QString text = m_formatSummary;
    // A copied video can only start at a key frame: say which one.
    if (!NoVideoLoaded && !KeyFrameTimes.isEmpty() && m_summaryCopiesVideo) {
        const double start = SelectionStartSeconds();
        text += QStringLiteral("\nThe cut starts at the key frame at %1, at or before the start mark.")
                    .arg(MillisecondsToTime(MediaMilliseconds(KeyFrameAtOrBefore(start))));
    }
    lblFormat->setText(text);
}

}  // namespace clip
