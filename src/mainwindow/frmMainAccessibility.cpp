// What screen readers and the keyboard get from the window: a name and a
// description for every control, the captions as buddies of what they name,
// the Tab order, and no Tab stops on a panel resting out of sight.
#include "mainwindow/frmMain.h"

#include "controls/AccessibleText.h"
#include "controls/MyButton.h"
#include "controls/MyCheck.h"
#include "controls/MyFrame.h"
#include "controls/MyOption.h"
#include "controls/MyProgressBar.h"
#include "formats/FormatsPanel.h"
#include "mainwindow/SegmentPanel.h"
#include "player/PlaybackEngine.h"
#include "player/VideoPane.h"
#include "slider/Slider.h"

#include <QLabel>
#include <QLineEdit>

namespace clip {

void frmMain::SetAccessibleTexts()
{
    // Buttons, options and the check box read their own caption as their
    // name (Play/Pause and Start/Stop change with it); the rest are named
    // here. The descriptions say what each control does.
    struct Text {
        QWidget* control;
        const char* name;  // nullptr: the caption
        const char* description;
    };
    const Text texts[] = {
        {MyButton1, "Help", "Open the help file"},
        {cmdAbout, "About", "Show the about panel"},
        {cmdMinimize, "Minimize", "Minimize the window"},
        {cmdClose, "Close", "Close Clipwright"},
        {picVideoWindow, "Video preview", "The loaded video; drop a video file here to load it"},
        {Slider, "Timeline", "Playback position and the marked part, in seconds"},
        {lblTime, nullptr, "Playback position and duration"},
        {cmdAddVideoFile, nullptr, "Choose a video file and load it"},
        {cmdPlay, nullptr, "Play or pause the video"},
        {cmdStop, nullptr, "Stop the video and go back to its start"},
        {cmdStartSelect, nullptr, "Mark the current position as the start of the part to cut"},
        {cmdEndSelect, nullptr, "Mark the current position as the end of the part to cut"},
        {cmdDeleteSelect, nullptr, "Clear both marks"},
        {lblStartSelect, nullptr, "Start of the marked part"},
        {lblEndSelect, nullptr, "End of the marked part"},
        {lblFormat, nullptr, "The chosen output format"},
        {cmdChangeFormat, nullptr, "Change the output format"},
        {optSameFolder, nullptr, "Save the cut beside the video"},
        {optOtherFolder, nullptr, "Save the cut in the folder below"},
        {txtOutPath, "Output folder", "The folder the cut is saved in when Other folder is chosen"},
        {cmdBrowse, nullptr, "Choose the output folder"},
        {chkShutdown, nullptr, "Shut the computer down when the cut is done"},
        {cmdConvert, nullptr, "Start the cut, or stop the one running"},
        {frFormats->optFormat[0], nullptr, "Choose a ready-made format"},
        {frFormats->optFormat[1], nullptr, "Choose the container and codecs yourself"},
        {frFormats->cmdDefaults, nullptr, "Give every format option its default"},
        {frFormats->cmdHide, nullptr, "Keep the chosen format and close this panel"},
        {lblFFmpeg, nullptr, "Open the encoder's web site"},
        {lblWebSite, nullptr, "Open Clipwright's web site"},
        {cmdCloseHelp, nullptr, "Close the about panel"},
    };
    for (const Text& t : texts) {
        if (t.name)
            t.control->setAccessibleName(QString::fromLatin1(t.name));
        t.control->setAccessibleDescription(QString::fromLatin1(t.description));
    }
    LabelControl(lblProgress, progress, QStringLiteral("Progress of the running cut, in per cent"));
    // The panels read as their header.
    for (MyFrame* panel : {frMain, MyFrame1, static_cast<MyFrame*>(frFormats), frAbout})
        panel->setAccessibleName(AccessibleCaption(panel->caption()));

    // Top to bottom, left to right, as the controls stand.
    QWidget* const order[] = {Slider,        cmdAddVideoFile, cmdPlay,         cmdStop,       cmdStartSelect,
                              cmdEndSelect,  cmdDeleteSelect, cmdChangeFormat, optSameFolder, optOtherFolder,
                              txtOutPath,    cmdBrowse,       chkShutdown,     cmdConvert};
    for (std::size_t i = 0; i + 1 < std::size(order); ++i)
        setTabOrder(order[i], order[i + 1]);
    // The segments stand between the check box and the Start button.
    QWidget* previous = chkShutdown;
    for (QWidget* control : m_segments->TabOrder())
        setTabOrder(previous, control), previous = control;
    setTabOrder(previous, cmdConvert);
}

bool frmMain::focusNextPrevChild(bool next)
{
    // The overlay panels wait below the window's visible area; Tab passes
    // over their controls until they slide in.
    const int controls = static_cast<int>(findChildren<QWidget*>().size());
    for (int step = 0; step < controls; ++step) {
        if (!QWidget::focusNextPrevChild(next))
            return false;
        QWidget* focused = focusWidget();
        // The segment panel's lower rows scroll into sight.
        if (focused && m_segments->isAncestorOf(focused))
            m_segments->ensureWidgetVisible(focused);
        if (!focused || rect().intersects(QRect(focused->mapTo(this, QPoint(0, 0)), focused->size())))
            return true;
    }
    return true;
}

}  // namespace clip
