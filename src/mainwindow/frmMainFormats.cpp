// The formats panel on the window: its controller, "Save && Close" and the
// format summary.
#include "mainwindow/frmMain.h"
#include "preview/VideoSession.h"

#include "common/SecondsToTime.h"
#include "controls/MyButton.h"
#include "controls/MyOption.h"
#include "formats/FormatsController.h"
#include "formats/FormatsPanel.h"

#include <QComboBox>
#include <QLabel>

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

void frmMain::ShowFormatDescription()
{
    m_formatSummary = FormatDescription(*frFormats);
    m_summaryCopiesVideo = CopiesVideo(frFormats->Choice(), Tables);
    ShowCutStartNote();
}

void frmMain::ShowCutStartNote()
{
    // Catalogue texts are shown as they stand, never as markup.
    lblFormat->setTextFormat(Qt::PlainText);
    QString text = m_formatSummary;
    // A copied video can only start at a key frame: say which one.
    if (IsVideoLoaded() && !KeyFrames().isEmpty() && m_summaryCopiesVideo) {
        const double start = SelectionStartSeconds();
        text += QStringLiteral("\nThe cut starts at the key frame at %1, at or before the start mark.")
                    .arg(MillisecondsToTime(MediaMilliseconds(m_session->KeyFrameAtOrBefore(start))));
    }
    lblFormat->setText(text);
}

}  // namespace clip
