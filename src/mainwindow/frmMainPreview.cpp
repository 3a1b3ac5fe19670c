// The video preview of the main window: choosing and loading the video,
// play, pause, stop, seeking on the timeline, the selection marks and files
// dropped on the video pane.
#include "mainwindow/frmMain.h"

#include "common/HostServices.h"
#include "common/Rounding.h"
#include "common/SecondsToTime.h"
#include "controls/MyButton.h"
#include "controls/MyProgressBar.h"
#include "engine/CVideoConv.h"
#include "engine/KeyFrameScan.h"
#include "formats/FormatsPanel.h"
#include "player/PlaybackEngine.h"
#include "player/VideoPane.h"
#include "slider/KeyFrameTicks.h"
#include "slider/Slider.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <QShortcut>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <exception>
#include <functional>
#include <utility>

namespace clip {

namespace {

const QString kNotSupported = QStringLiteral("File is not supported");
const QString kSelectionCleared = QStringLiteral("00.00.00");

// The extensions a dropped file may have, as one list: every entry is
// preceded by a ".".
constexpr const char* kDropExtensions =
    ".wmv.asf.avi.mpg.mpe.mp2.mpeg.mp4.mov.dat.flv.rm.rmvb.yuv.mkv.m4v.m1v.m2v.mpv2.mp2v.ts.tp.tpr.pva.pss.divx"
    ".webm.mts.m2ts.m2t.3gp.3g2.ogv.vob.mxf.f4v.wtv";

// "*.a;*.b;..." for the dialog's filter list.
QString Patterns(std::initializer_list<const char*> extensions)
{
    QStringList out;
    for (const char* e : extensions)
        out << QStringLiteral("*.") + QString::fromLatin1(e);
    return out.join(QLatin1Char(';'));
}

// Whole seconds of a media time, for the timeline and the labels.
std::optional<qint32> WholeSeconds(double seconds)
{
    return RoundToInt32(seconds);
}

// A mark's label: whole seconds as "hh:mm:ss", else with milliseconds.
QString MarkText(double seconds)
{
    return MillisecondsToTime(MediaMilliseconds(seconds));
}

// With CLIPWRIGHT_MPV_LOG set, the steps of opening a video are logged with
// the milliseconds since the file was chosen (or dropped).
QElapsedTimer& OpenClock()
{
    static QElapsedTimer clock;
    return clock;
}

void LogOpenStep(const char* step)
{
    static const bool wanted = !qEnvironmentVariableIsEmpty("CLIPWRIGHT_MPV_LOG");
    if (wanted && OpenClock().isValid())
        std::fprintf(stderr, "[open] %6.1f ms %s\n", OpenClock().nsecsElapsed() / 1e6, step);
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
    m_keyFrameScan = new KeyFrameScan(this);
    connect(m_keyFrameScan, &KeyFrameScan::finished, this, [this](const QString& path, const QList<double>& times) {
        if (path != InputFilePath || !m_player)
            return;
        // The probe lists the file's own times; the window keeps positions.
        // Key frames before position 0 (left out by an edit list) are none
        // the timeline can show.
        const TimeOrigin& origin = m_player->timeOrigin();
        KeyFrameTimes.clear();
        for (const double t : times)
            if (origin.PositionOfFileTime(t) > -0.0005)
                KeyFrameTimes << std::max(0.0, origin.PositionOfFileTime(t));
        KeyFrameMarks->setTimes(KeyFrameTimes);
        ShowCutStartNote();
    });
    connectKeyboard();
}

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
    const QStringList filter{
        QStringLiteral("Common Video Files|")
            + Patterns({"wmv", "asf", "avi", "mpg", "mpe", "mp2", "mpeg", "mp4", "mov", "dat", "flv", "rm", "rmvb",
                        "yuv", "mkv", "m4v", "m1v", "m2v", "mpv2", "mp2v", "ts", "tp", "tpr", "pva", "pss", "divx",
                        "webm", "mts", "m2ts", "m2t", "3gp", "3g2", "ogv", "vob", "mxf", "f4v", "wtv"}),
        QStringLiteral("MPEG Files(.mpg,*.mpeg,*.mp2,*.mp4,*.mpe,*.m4v)|")
            + Patterns({"mpg", "mp2", "mpeg", "mp4", "mpe", "m4v", "m1v", "m2v", "mpv2", "mp2v", "dat", "ts", "tp",
                        "tpr", "pva", "pss"}),
        QStringLiteral("Windows Media Files(*.wmv,*.asf)|*.wmv;*.asf"),
        QStringLiteral("AVI Files(*.avi)|*.avi"),
        QStringLiteral("QuickTime Files-Ver2 or less(*.mov)|*.mov"),
        QStringLiteral("All Files(*.*)|*.*"),
    };
    const QString result = ShowOpenDialog(this, filter, QStringLiteral("Select a video file"), true);
    return result == QLatin1String("Cancel") ? QString() : result;
}

void frmMain::cmdAddVideoFile_Click()
{
    const QString path = SelectVideoFile();
    OpenClock().start();
    if (!path.isEmpty())
        OpenVideoFile(path);
}

// ----------------------------------------------------------------- loading

bool frmMain::RefuseUnreadableName(const QString& path)
{
    const QFileInfo info(path);
    if (!path.contains(QChar::ReplacementCharacter) || info.exists() || info.isSymLink())
        return false;
    Host().messageBox(QStringLiteral("The name of this file cannot be read: \"%1\" is not valid text in this "
                                     "system's file name encoding (UTF-8), so it cannot be opened. Rename the file "
                                     "and open it again.")
                          .arg(info.fileName()),
                      MsgExclamation);
    return true;
}

void frmMain::OpenVideoFile(const QString& path)
{
    // Before anything changes: the video shown stays.
    if (RefuseUnreadableName(path))
        return;
    const QPointer<frmMain> self(this);
    const quint64 serial = ++m_openSerial;
    LogOpenStep("open");

    cmdStop_Click();
    // A load still under way is given up: it must not finish over this one.
    m_opening.reset();
    if (m_player && m_player->isLoading()) {
        picVideoWindow->setEngine(nullptr);
        m_player.reset();
    }
    NoVideoLoaded = true;
    m_pictureShowsPosition = false;
    m_keyFrameScan->cancel();
    KeyFrameTimes.clear();
    KeyFrameMarks->setTimes({});
    m_markStart.reset();
    m_markEnd.reset();
    lblTime->setText(QStringLiteral("00:00/00:00"));
    Slider->setValue(0);
    Slider->setSelectEnd(0);
    Slider->setSelectStart(0);
    lblStartSelect->setText(kSelectionCleared);
    lblEndSelect->setText(kSelectionCleared);
    lblProgress->hide();
    progress->setValue(0);
    progress->hide();
    InputFilePath = path;

    // Only a regular file is probed: the encoder would wait forever on a
    // FIFO or a device, and the window with it.
    std::error_code error;
    if (!std::filesystem::is_regular_file(QFileInfo(path).filesystemFilePath(), error)) {
        Host().messageBox(kNotSupported, MsgExclamation);
        return;
    }

    // The player opens the file while the probe looks at it; the file is
    // taken once both agree. Until then the previous video stays.
    LogOpenStep("engine");
    const bool opened = LoadVideo(path);
    const std::shared_ptr<PlaybackEngine> opening = m_opening;
    LogOpenStep("probe");
    bool supported = false;
    bool failureShown = false;
    bool timedOut = false;
    {
        // A throwaway job object, gone right after the question. It is
        // stopped (and the file refused) when the time limit runs out, and
        // stopped when the window closes or another file takes over.
        auto probe = std::make_shared<CVideoConv>();
        m_probe = probe;
        const int limitMs = ProbeTimeLimitMs;
        QElapsedTimer clock;
        clock.start();
        QTimer watchdog;
        connect(&watchdog, &QTimer::timeout, probe.get(), [&] {
            timedOut = timedOut || clock.elapsed() >= limitMs;
            if (timedOut || !self || serial != m_openSerial)
                probe->StopConversion();
        });
        watchdog.start(50);
        supported = probe->IsFileSupported(path) && !timedOut;
        // The encoder missing, or not starting: said at once, as the probe's cause.
        failureShown = !probe->Failure().message.isEmpty();
        if (failureShown && self)
            Host().messageBox(probe->Failure().message, MsgCritical);
        // Positions count from the first shown frame (TimeOrigin); the
        // engine converts its own clock from here on.
        if (supported && self && serial == m_openSerial && opening)
            opening->setTimeOrigin(probe->ProbeTimeOrigin(path).value_or(TimeOrigin()));
        if (self && m_probe == probe)
            m_probe.reset();
    }
    LogOpenStep("probe done");
    // The probe keeps the window alive; a file dropped meanwhile has taken
    // over, or the window was closed, and this choice is dropped.
    if (!self || serial != m_openSerial)
        return;
    m_opening.reset();
    if (timedOut) {
        // Slow or disconnected storage, not a verdict on the file.
        Host().messageBox(QStringLiteral("The file did not answer in time: %1 gave no answer within %2 seconds. It "
                                         "may lie on slow or disconnected storage; copy it to a local disk and open "
                                         "it from there.")
                              .arg(QDir::toNativeSeparators(path))
                              .arg(ProbeTimeLimitMs / 1000),
                          MsgExclamation);
        return;
    }
    if (!supported) {
        if (!failureShown)
            Host().messageBox(kNotSupported, MsgExclamation);
        return;
    }
    // The previous engine goes; the new one is the window's player from now on.
    picVideoWindow->setEngine(nullptr);
    m_player = opening;
    Slider->setSliderEnabled(true);
    if (!opened)
        Host().messageBox(kNotSupported, MsgExclamation);
    else if (m_openingFailure)
        Host().messageBox(kNotSupported + QStringLiteral("\n\n") + *m_openingFailure, MsgExclamation);
    else if (opening->isLoaded())
        PlayerLoaded();  // the engine was quicker than the probe
}

bool frmMain::LoadVideo(const QString& path)
{
    // A fresh engine for every file. The engine reports the outcome; nothing
    // waits for it here. While the probe has not agreed it is m_opening, and
    // its outcome is kept for OpenVideoFile.
    m_opening = std::make_shared<PlaybackEngine>();
    m_openingFailure.reset();
    PlaybackEngine* engine = m_opening.get();
    // The first picture is drawn at the pane's size already, so that the
    // pane shows it as soon as it takes the engine (on the GPU path this
    // also compiles the renderer's shaders while the probe runs).
    engine->setRenderSize(picVideoWindow->pixelSize());
    connect(engine, &PlaybackEngine::loaded, this, [this, engine] {
        if (engine == m_player.get())
            PlayerLoaded();
    });
    // After a seek or a frame step of the window's own, the picture it
    // brings shows its time; Stop, Pause and the end leave lblTime alone.
    connect(engine, &PlaybackEngine::frameReady, this, [this, engine] {
        if (engine == m_player.get() && !NoVideoLoaded && !tmrVideo->isActive() && m_pictureShowsPosition)
            ShowPosition();
    });
    connect(engine, &PlaybackEngine::loadFailed, this, [this, engine](const QString& reason) {
        if (engine == m_opening.get())
            m_openingFailure = reason;
        else if (engine == m_player.get())
            Host().messageBox(kNotSupported + QStringLiteral("\n\n") + reason, MsgExclamation);
    });
    return engine->Load(path);
}

void frmMain::PlayerLoaded()
{
    PlaybackEngine* engine = m_player.get();
    if (!engine || !engine->isLoaded())
        return;
    LogOpenStep("first picture");
    OpenClock().invalidate();
    // Volume, balance and rate are extras: one the engine refuses is skipped.
    engine->setVolume(0);
    engine->setBalance(0);
    picVideoWindow->setEngine(engine);
    engine->setRate(1.0);

    const std::optional<qint32> length = WholeSeconds(engine->Duration());
    if (!length) {
        Host().messageBox(kNotSupported, MsgExclamation);
        return;
    }
    Slider->setMax(*length);
    Slider->setValue(0);

    tmrVideo->start();
    engine->Run();
    cmdPlay->setText(QStringLiteral("Pause"));

    DurationText = SecondsToTime(WholeSeconds(engine->Duration()).value_or(*length));
    lblTime->setText(QStringLiteral("00:00:00/") + DurationText);
    NoVideoLoaded = false;
    // The key frames are read meanwhile; the window does not wait for them.
    m_keyFrameScan->start(InputFilePath);
}

void frmMain::EndLoading()
{
    ++m_openSerial;  // the probe under way is stopped, and its OpenVideoFile gives up
    if (m_probe)
        m_probe->StopConversion();
    m_opening.reset();
    if (m_player && !m_player->isLoaded()) {
        picVideoWindow->setEngine(nullptr);
        m_player.reset();
    }
}

// ---------------------------------------------------------------- playback

void frmMain::cmdPlay_Click()
{
    if (NoVideoLoaded || !m_player)
        return;
    m_pictureShowsPosition = false;
    if (cmdPlay->text() != QLatin1String("Play")) {
        m_player->Pause();
        cmdPlay->setText(QStringLiteral("Play"));
        tmrVideo->stop();
        return;
    }
    // At the end (same whole seconds, rounded down): start again from 0.
    if (std::floor(m_player->Duration()) == std::floor(m_player->CurrentPosition()))
        cmdStop_Click();
    tmrVideo->start();
    m_player->Run();
    cmdPlay->setText(QStringLiteral("Pause"));
}

void frmMain::cmdStop_Click()
{
    if (NoVideoLoaded || !m_player)
        return;
    m_pictureShowsPosition = false;
    m_player->Stop();
    m_player->setCurrentPosition(0.0);
    Slider->setValue(0);
    cmdPlay->setText(QStringLiteral("Play"));
    tmrVideo->stop();
}

void frmMain::tmrVideo_Timer()
{
    picVideoWindow->update();
    if (m_player && m_player->isLoaded()) {
        if (const std::optional<qint32> now = WholeSeconds(m_player->CurrentPosition()))
            lblTime->setText(SecondsToTime(*now) + QLatin1Char('/') + DurationText);
        if (const std::optional<qint32> now = WholeSeconds(m_player->CurrentPosition()))
            Slider->setValue(*now);
    }
    // The end is found by polling: the timeline has reached its end.
    if (Slider->Value() == Slider->Max()) {
        m_pictureShowsPosition = false;
        tmrVideo->stop();
        cmdPlay->setText(QStringLiteral("Play"));
    }
}

void frmMain::Slider_MouseUp(qint16 Button, qint16 Shift, float X, float Y)
{
    Q_UNUSED(Button);
    Q_UNUSED(Shift);
    Q_UNUSED(X);
    Q_UNUSED(Y);
    // Acts on whatever the window holds, also a previous video left in place
    // by an unsupported choice; nothing without a loaded file.
    if (!m_player || !m_player->isLoaded())
        return;
    const qint32 sought = Slider->Value();
    m_player->setCurrentPosition(static_cast<double>(sought));
    m_pictureShowsPosition = true;
    ShowPosition();
    // The timeline raises MouseUp before a click moves its value; once the
    // click has been handled, the player follows the value it produced.
    // Until then no picture moves the timeline back to the old position.
    m_sliderReleasing = true;
    QTimer::singleShot(0, this, [this, sought, engine = m_player] {
        m_sliderReleasing = false;
        if (engine == m_player && engine->isLoaded() && Slider->Value() != sought) {
            engine->setCurrentPosition(static_cast<double>(Slider->Value()));
            ShowPosition();
        }
    });
}

void frmMain::ShowPosition()
{
    if (!m_player || !m_player->isLoaded())
        return;
    const double now = m_player->CurrentPosition();
    const std::optional<qint32> whole = WholeSeconds(now);
    if (!whole)
        return;
    const bool playing = tmrVideo->isActive();
    lblTime->setText((playing ? SecondsToTime(*whole) : MarkText(now)) + QLatin1Char('/') + DurationText);
    if (!playing && !m_sliderReleasing)
        Slider->setValue(*whole);
}

void frmMain::StepFrame(bool back)
{
    if (NoVideoLoaded || !m_player)
        return;
    if (tmrVideo->isActive())
        cmdPlay_Click();  // a step starts from a still picture
    m_pictureShowsPosition = true;
    m_player->StepFrame(back);
}

void frmMain::JumpToKeyFrame(bool forward)
{
    if (NoVideoLoaded || !m_player)
        return;
    // Half a millisecond apart counts as the same frame.
    const double now = m_player->CurrentPosition();
    std::optional<double> target;
    if (forward) {
        const auto it = std::upper_bound(KeyFrameTimes.cbegin(), KeyFrameTimes.cend(), now + 0.0005);
        if (it != KeyFrameTimes.cend())
            target = *it;
    } else {
        const auto it = std::lower_bound(KeyFrameTimes.cbegin(), KeyFrameTimes.cend(), now - 0.0005);
        if (it != KeyFrameTimes.cbegin())
            target = *std::prev(it);
    }
    if (!target)
        return;
    m_player->setCurrentPosition(*target);
    m_pictureShowsPosition = true;
    ShowPosition();
}

void frmMain::GoToEdge(bool end)
{
    if (NoVideoLoaded || !m_player)
        return;
    m_player->setCurrentPosition(end ? m_player->Duration() : 0.0);
    m_pictureShowsPosition = true;
    ShowPosition();
}

double frmMain::KeyFrameAtOrBefore(double seconds) const
{
    const auto it = std::upper_bound(KeyFrameTimes.cbegin(), KeyFrameTimes.cend(), seconds + 0.0005);
    return it == KeyFrameTimes.cbegin() ? 0.0 : *std::prev(it);
}

// --------------------------------------------------------------- selection

namespace {

// The time of the frame on screen, when the timeline shows it: paused, the
// timeline holds its rounded seconds; playing, the timeline follows once a
// second and may lag behind by up to that second and its rounding. A
// timeline moved away from the picture (by its arrow keys, which do not
// seek) marks its own whole seconds instead: nothing is returned.
std::optional<double> FrameOnScreen(const PlaybackEngine* player, qint32 timeline, bool playing)
{
    if (!player || !player->isLoaded())
        return std::nullopt;
    const double now = player->CurrentPosition();
    const std::optional<qint32> whole = WholeSeconds(now);
    if (!whole)
        return std::nullopt;
    const double ahead = now - double(timeline);
    const bool shown = playing ? ahead >= -0.5 && ahead < 2.0 : *whole == timeline;
    return shown ? std::optional<double>(now) : std::nullopt;
}

// The exact mark while the timeline still holds its whole seconds.
double MarkOrTimeline(const std::optional<double>& mark, qint32 timeline)
{
    return mark && WholeSeconds(*mark) == timeline ? *mark : double(timeline);
}

}  // namespace

void frmMain::cmdStartSelect_Click()
{
    if (NoVideoLoaded)
        return;
    m_markStart = FrameOnScreen(m_player.get(), Slider->Value(), tmrVideo->isActive());
    Slider->setSelectStart(m_markStart ? *WholeSeconds(*m_markStart) : Slider->Value());
    lblStartSelect->setText(MarkText(SelectionStartSeconds()));
    ShowCutStartNote();
}

void frmMain::cmdEndSelect_Click()
{
    if (NoVideoLoaded)
        return;
    m_markEnd = FrameOnScreen(m_player.get(), Slider->Value(), tmrVideo->isActive());
    Slider->setSelectEnd(m_markEnd ? *WholeSeconds(*m_markEnd) : Slider->Value());
    lblEndSelect->setText(MarkText(SelectionEndSeconds()));
}

double frmMain::SelectionStartSeconds() const { return MarkOrTimeline(m_markStart, Slider->SelectStart()); }

double frmMain::SelectionEndSeconds() const { return MarkOrTimeline(m_markEnd, Slider->SelectEnd()); }

void frmMain::cmdDeleteSelect_Click()
{
    m_markStart.reset();
    m_markEnd.reset();
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

// ------------------------------------------------------------------- drops

bool frmMain::IsVideoFileName(const QString& fileName)
{
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    if (dot < 0)
        return false;
    const QString extension = fileName.mid(dot + 1);
    if (extension.isEmpty())
        return false;
    const QStringList accepted =
        QString::fromLatin1(kDropExtensions).split(QLatin1Char('.'), Qt::SkipEmptyParts);
    return accepted.contains(extension, Qt::CaseInsensitive);
}

void frmMain::picVideoWindow_OLEDragDrop(const QList<QUrl>& urls)
{
    // Loading now would reset the selection under the running cut.
    if (IsConverting())
        return;
    // Only files on this machine count; of several, the first is used.
    QString path;
    for (const QUrl& url : urls) {
        if (url.isLocalFile()) {
            path = QDir::toNativeSeparators(url.toLocalFile());
            break;
        }
    }
    if (path.isEmpty())
        return;
    const QFileInfo info(path);
    if (info.isDir() || !IsVideoFileName(info.fileName()))
        return;
    OpenClock().start();
    OpenVideoFile(path);
}

}  // namespace clip
