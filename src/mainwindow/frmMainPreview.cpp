// The video preview of the main window: the wiring of the preview's controls
// (the buttons, the timeline, the labels, the video pane, the keys) to the
// video session, which owns the file, its engine, key frames and marks.
#include "mainwindow/frmMain.h"

#include "common/HostServices.h"
#include "common/Rounding.h"
#include "common/SecondsToTime.h"
#include "controls/MyButton.h"
#include "controls/MyProgressBar.h"
#include "formats/FormatsPanel.h"
#include "player/PlaybackEngine.h"
#include "player/VideoPane.h"
#include "mainwindow/SegmentPanel.h"
#include "preview/VideoSession.h"
#include "slider/KeyFrameTicks.h"
#include "slider/Slider.h"

#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QShortcut>
#include <QTimer>

#include <cmath>
#include <exception>
#include <functional>
#include <utility>

namespace clip {

namespace {

const QString kSelectionCleared = QStringLiteral("00.00.00");

// A mark's label: whole seconds as "hh:mm:ss", else with milliseconds.
QString MarkText(double seconds)
{
    return MillisecondsToTime(MediaMilliseconds(seconds));
}

}  // namespace

void frmMain::connectPreviewHandlers()
{
    connect(cmdAddVideoFile, &QAbstractButton::clicked, this, &frmMain::cmdAddVideoFile_Click);
    connect(cmdPlay, &QAbstractButton::clicked, this, &frmMain::cmdPlay_Click);
    connect(cmdStop, &QAbstractButton::clicked, this, &frmMain::cmdStop_Click);
    connect(cmdStartSelect, &QAbstractButton::clicked, this, &frmMain::cmdStartSelect_Click);
    connect(cmdEndSelect, &QAbstractButton::clicked, this, &frmMain::cmdEndSelect_Click);
    connect(cmdDeleteSelect, &QAbstractButton::clicked, this, &frmMain::cmdDeleteSelect_Click);
    connect(tmrVideo, &QTimer::timeout, this, &frmMain::tmrVideo_Timer);
    connect(Slider, &clip::Slider::MouseUp, this, &frmMain::Slider_MouseUp, Qt::DirectConnection);
    connect(picVideoWindow, &VideoPane::filesDropped, this, &frmMain::picVideoWindow_OLEDragDrop);

    connect(m_session, &VideoSession::cleared, this, [this] {
        cmdStop_Click();
        lblTime->setText(QStringLiteral("00:00/00:00"));
        Slider->setValue(0);
        Slider->setSelectEnd(0);
        Slider->setSelectStart(0);
        lblStartSelect->setText(kSelectionCleared);
        lblEndSelect->setText(kSelectionCleared);
        lblProgress->hide();
        progress->setValue(0);
        progress->hide();
    });
    connect(m_session, &VideoSession::showEngine, picVideoWindow, &VideoPane::setEngine);
    connect(m_session, &VideoSession::playerTaken, this, [this] { Slider->setSliderEnabled(true); });
    connect(m_session, &VideoSession::started, this, [this](qint32 length) {
        Slider->setMax(length);
        Slider->setValue(0);
        tmrVideo->start();
        m_session->Player()->Run();
        cmdPlay->setText(QStringLiteral("Pause"));
        lblTime->setText(QStringLiteral("00:00:00/") + m_session->DurationText());
    });
    connect(m_session, &VideoSession::positionPictured, this, [this] {
        if (!tmrVideo->isActive())
            ShowPosition();
    });
    connect(m_session, &VideoSession::keyFramesChanged, this, [this](bool scanned) {
        KeyFrameMarks->setTimes(m_session->KeyFrames());
        if (scanned)
            ShowCutStartNote();
    });
    connectKeyboard();
}

// ------------------------------------------------------- the session's view

bool frmMain::IsVideoLoaded() const { return m_session->IsLoaded(); }
QString frmMain::InputFile() const { return m_session->InputFile(); }
PlaybackEngine* frmMain::Player() const { return m_session->Player(); }
PlaybackEngine* frmMain::OpeningPlayer() const { return m_session->OpeningPlayer(); }
const QList<double>& frmMain::KeyFrames() const { return m_session->KeyFrames(); }
void frmMain::setProbeTimeLimit(int ms) { m_session->setProbeTimeLimit(ms); }
double frmMain::SelectionStartSeconds() const { return m_session->SelectionStart(Slider->SelectStart()); }
double frmMain::SelectionEndSeconds() const { return m_session->SelectionEnd(Slider->SelectEnd()); }

// ---------------------------------------------------------------- choosing

QString frmMain::ShowOpenDialog(QWidget* ownerWindow, const QStringList& filter, const QString& title,
                                bool explorerStyle)
{
    // The platform's dialog has one look; the old-style variant does not
    // exist there.
    Q_UNUSED(explorerStyle);
    try {
        QStringList pairs = filter;
        if (pairs.isEmpty())
            pairs << QStringLiteral("All Files (*.*)|*.*");
        const QString answer = Host().openFileDialog(ownerWindow, title, pairs);
        // Blanks around the answer go, unless they belong to the name of a
        // file that is there: a name may end in a blank.
        const QString chosen = QFileInfo::exists(answer) ? answer : answer.trimmed();
        return chosen.trimmed().isEmpty() ? QStringLiteral("Cancel") : chosen;
    } catch (const std::exception&) {
        return QStringLiteral("Cancel");
    }
}

QString frmMain::SelectVideoFile()
{
    const QString result =
        ShowOpenDialog(this, VideoSession::VideoFileFilter(), QStringLiteral("Select a video file"), true);
    return result == QLatin1String("Cancel") ? QString() : result;
}

void frmMain::cmdAddVideoFile_Click()
{
    const QString path = SelectVideoFile();
    VideoSession::StartOpenClock();
    if (!path.isEmpty())
        OpenVideoFile(path);
}

void frmMain::OpenVideoFile(const QString& path)
{
    m_session->Open(path, picVideoWindow->pixelSize());
}

void frmMain::picVideoWindow_OLEDragDrop(const QList<QUrl>& urls)
{
    // Loading now would reset the selection under the running cut.
    if (IsConverting())
        return;
    const QString path = VideoSession::DroppedVideoPath(urls);
    if (path.isEmpty())
        return;
    VideoSession::StartOpenClock();
    OpenVideoFile(path);
}

// ---------------------------------------------------------------- playback

void frmMain::cmdPlay_Click()
{
    PlaybackEngine* player = m_session->Player();
    if (!IsVideoLoaded() || !player)
        return;
    m_session->PlaybackMoved();
    if (cmdPlay->text() != QLatin1String("Play")) {
        player->Pause();
        cmdPlay->setText(QStringLiteral("Play"));
        tmrVideo->stop();
        return;
    }
    // At the end (same whole seconds, rounded down): start again from 0.
    if (std::floor(player->Duration()) == std::floor(player->CurrentPosition()))
        cmdStop_Click();
    tmrVideo->start();
    player->Run();
    cmdPlay->setText(QStringLiteral("Pause"));
}

void frmMain::cmdStop_Click()
{
    PlaybackEngine* player = m_session->Player();
    if (!IsVideoLoaded() || !player)
        return;
    m_session->PlaybackMoved();
    player->Stop();
    player->setCurrentPosition(0.0);
    Slider->setValue(0);
    cmdPlay->setText(QStringLiteral("Play"));
    tmrVideo->stop();
}

void frmMain::tmrVideo_Timer()
{
    picVideoWindow->update();
    PlaybackEngine* player = m_session->Player();
    if (player && player->isLoaded()) {
        if (const std::optional<qint32> now = RoundToInt32(player->CurrentPosition())) {
            lblTime->setText(SecondsToTime(*now) + QLatin1Char('/') + m_session->DurationText());
            Slider->setValue(*now);
        }
    }
    // The end is found by polling: the timeline has reached its end.
    if (Slider->Value() == Slider->Max()) {
        m_session->PlaybackMoved();
        tmrVideo->stop();
        cmdPlay->setText(QStringLiteral("Play"));
    }
}

void frmMain::Slider_MouseUp(qint16, qint16, float, float)
{
    // Acts on whatever the window holds, also a previous video left in place
    // by an unsupported choice; nothing without a loaded file.
    const std::shared_ptr<PlaybackEngine> engine = m_session->SharedPlayer();
    if (!engine || !engine->isLoaded())
        return;
    const qint32 sought = Slider->Value();
    m_session->Seek(static_cast<double>(sought));
    ShowPosition();
    // The timeline raises MouseUp before a click moves its value; once the
    // click has been handled, the player follows the value it produced.
    // Until then no picture moves the timeline back to the old position.
    m_sliderReleasing = true;
    QTimer::singleShot(0, this, [this, sought, engine] {
        m_sliderReleasing = false;
        if (engine == m_session->SharedPlayer() && engine->isLoaded() && Slider->Value() != sought) {
            engine->setCurrentPosition(static_cast<double>(Slider->Value()));
            ShowPosition();
        }
    });
}

void frmMain::ShowPosition()
{
    PlaybackEngine* player = m_session->Player();
    if (!player || !player->isLoaded())
        return;
    const double now = player->CurrentPosition();
    const std::optional<qint32> whole = RoundToInt32(now);
    if (!whole)
        return;
    const bool playing = tmrVideo->isActive();
    lblTime->setText((playing ? SecondsToTime(*whole) : MarkText(now)) + QLatin1Char('/') + m_session->DurationText());
    if (!playing && !m_sliderReleasing)
        Slider->setValue(*whole);
}

void frmMain::StepFrame(bool back)
{
    if (!IsVideoLoaded() || !m_session->Player())
        return;
    if (tmrVideo->isActive())
        cmdPlay_Click();  // a step starts from a still picture
    m_session->StepFrame(back);
}

void frmMain::SeekAndShow(std::optional<double> seconds)
{
    if (!IsVideoLoaded() || !m_session->Player() || !seconds)
        return;
    m_session->Seek(*seconds);
    ShowPosition();
}

void frmMain::JumpToKeyFrame(bool forward)
{
    if (IsVideoLoaded())
        SeekAndShow(m_session->KeyFrameBeside(forward));
}

void frmMain::GoToEdge(bool end)
{
    if (IsVideoLoaded() && m_session->Player())
        SeekAndShow(end ? m_session->Player()->Duration() : 0.0);
}

// --------------------------------------------------------------- selection

void frmMain::cmdStartSelect_Click()
{
    if (!IsVideoLoaded())
        return;
    Slider->setSelectStart(m_session->MarkStart(Slider->Value(), tmrVideo->isActive()));
    lblStartSelect->setText(MarkText(SelectionStartSeconds()));
    ShowCutStartNote();
}

void frmMain::cmdEndSelect_Click()
{
    if (!IsVideoLoaded())
        return;
    Slider->setSelectEnd(m_session->MarkEnd(Slider->Value(), tmrVideo->isActive()));
    lblEndSelect->setText(MarkText(SelectionEndSeconds()));
}

void frmMain::cmdDeleteSelect_Click()
{
    m_session->ClearMarks();
    Slider->setSelectStart(0);
    Slider->setSelectEnd(0);
    lblStartSelect->setText(kSelectionCleared);
    lblEndSelect->setText(kSelectionCleared);
}

// ---------------------------------------------------------------- keyboard

void frmMain::connectKeyboard()
{
    // Window-wide keys. A control with the focus that takes a key keeps it:
    // a box being typed into its text keys, the timeline every key.
    const std::pair<QKeySequence, std::function<void()>> keys[] = {
        {QKeySequence(Qt::Key_Comma), [this] { StepFrame(true); }},
        {QKeySequence(Qt::Key_Period), [this] { StepFrame(false); }},
        {QKeySequence(Qt::CTRL | Qt::Key_Left), [this] { JumpToKeyFrame(false); }},
        {QKeySequence(Qt::CTRL | Qt::Key_Right), [this] { JumpToKeyFrame(true); }},
        {QKeySequence(Qt::Key_I), [this] { cmdStartSelect_Click(); }},
        {QKeySequence(Qt::Key_O), [this] { cmdEndSelect_Click(); }},
        {QKeySequence(Qt::Key_A), [this] { m_segments->cmdAddSegment_Click(); }},
        {QKeySequence(Qt::Key_Home), [this] { GoToEdge(false); }},
        {QKeySequence(Qt::Key_End), [this] { GoToEdge(true); }},
    };
    for (const auto& [sequence, action] : keys) {
        auto* shortcut = new QShortcut(sequence, this);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this, [this, action] {
            if (WindowKeysActive())
                action();
        });
        m_windowKeys << sequence;
    }
}

bool frmMain::WindowKeysActive() const
{
    return !IsConverting() && panelTopTwips(frFormats) >= m_windowHeightTwips
        && panelTopTwips(frAbout) >= m_windowHeightTwips;
}

bool frmMain::event(QEvent* event)
{
    // While a panel is up or a cut runs the window's keys are not
    // shortcuts: the key goes on to the control with the focus (a list's
    // Home and End).
    if (event->type() == QEvent::ShortcutOverride && !WindowKeysActive()
        && m_windowKeys.contains(QKeySequence(static_cast<QKeyEvent*>(event)->keyCombination()))) {
        event->accept();
        return true;
    }
    return QWidget::event(event);
}

void frmMain::keyPressEvent(QKeyEvent* event)
{
    // Space reaches the window only when the control with the focus has no
    // use for it (a button, an option, a list and the timeline have).
    if (event->key() == Qt::Key_Space && event->modifiers() == Qt::NoModifier && !event->isAutoRepeat()
        && WindowKeysActive()) {
        cmdPlay_Click();
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

}  // namespace clip
