// The formats panel on the window: its controller, "Save && Close" and the
// format summary.
#include "mainwindow/frmMain.h"

#include "controls/MyButton.h"
#include "formats/FormatsController.h"
#include "formats/FormatsPanel.h"

#include <QLabel>

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
    // Catalogue texts are shown as they stand, never as markup.
    lblFormat->setTextFormat(Qt::PlainText);
    lblFormat->setText(FormatDescription(*frFormats));
}

}  // namespace clip
