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
#include "player/PlaybackEngine.h"
#include "player/VideoPane.h"
#include "slider/Slider.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QPointer>
#include <QTimer>

#include <cmath>
#include <filesystem>
#include <system_error>
#include <exception>

namespace clip {

namespace {

const QString kNotSupported = QStringLiteral("File is not supported");
const QString kSelectionCleared = QStringLiteral("00.00.00");

// The extensions a dropped file may have, as one list: every entry is
// preceded by a ".".
constexpr const char* kDropExtensions =
    ".wmv.asf.avi.mpg.mpe.mp2.mpeg.mp4.mov.dat.flv.rm.rmvb.yuv.mkv.m4v.m1v.m2v.mpv2.mp2v.ts.tp.tpr.pva.pss.divx";

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
                        "yuv", "mkv", "m4v", "m1v", "m2v", "mpv2", "mp2v", "ts", "tp", "tpr", "pva", "pss", "divx"}),
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
    if (!path.isEmpty())
        OpenVideoFile(path);
}

// ----------------------------------------------------------------- loading

void frmMain::OpenVideoFile(const QString& path)
{
    const QPointer<frmMain> self(this);
    const quint64 serial = ++m_openSerial;

    cmdStop_Click();
    // A load still under way is given up: it must not finish over this one.
    if (m_player && m_player->isLoading()) {
        picVideoWindow->setEngine(nullptr);
        m_player.reset();
    }
    NoVideoLoaded = true;
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

    bool supported = false;
    bool failureShown = false;
    {
        // A throwaway job object, gone right after the question. It is
        // stopped (and the file refused) when the time limit runs out, and
        // stopped when the window closes or another file takes over.
        auto probe = std::make_shared<CVideoConv>();
        m_probe = probe;
        bool timedOut = false;
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
        failureShown = probe->ProbeFailureShown();  // e.g. the encoder is missing
        if (self && m_probe == probe)
            m_probe.reset();
    }
    // The probe keeps the window alive; a file dropped meanwhile has taken
    // over, or the window was closed, and this choice is dropped.
    if (!self || serial != m_openSerial)
        return;

    if (!supported) {
        if (!failureShown)
            Host().messageBox(kNotSupported, MsgExclamation);
        return;
    }
    LoadVideo(path);
    Slider->setSliderEnabled(true);
}

void frmMain::LoadVideo(const QString& path)
{
    // The previous engine goes first; a fresh one is made for every file.
    // The engine reports the outcome; nothing waits for it here.
    picVideoWindow->setEngine(nullptr);
    m_player.reset();
    m_player = std::make_shared<PlaybackEngine>();
    PlaybackEngine* engine = m_player.get();
    connect(engine, &PlaybackEngine::loaded, this, &frmMain::PlayerLoaded);
    connect(engine, &PlaybackEngine::loadFailed, this, [this](const QString& reason) {
        Host().messageBox(kNotSupported + QStringLiteral("\n\n") + reason, MsgExclamation);
    });
    if (!engine->Load(path))
        Host().messageBox(kNotSupported, MsgExclamation);
}

void frmMain::PlayerLoaded()
{
    PlaybackEngine* engine = m_player.get();
    if (!engine || sender() != engine)
        return;
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
}

void frmMain::EndLoading()
{
    ++m_openSerial;  // the probe under way is stopped, and its OpenVideoFile gives up
    if (m_probe)
        m_probe->StopConversion();
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
    m_player->setCurrentPosition(static_cast<double>(Slider->Value()));
    if (const std::optional<qint32> now = WholeSeconds(m_player->CurrentPosition()))
        lblTime->setText(SecondsToTime(*now) + QLatin1Char('/') + DurationText);
}

// --------------------------------------------------------------- selection

void frmMain::cmdStartSelect_Click()
{
    if (NoVideoLoaded)
        return;
    Slider->setSelectStart(Slider->Value());
    lblStartSelect->setText(SecondsToTime(Slider->Value()));
}

void frmMain::cmdEndSelect_Click()
{
    if (NoVideoLoaded)
        return;
    Slider->setSelectEnd(Slider->Value());
    lblEndSelect->setText(SecondsToTime(Slider->Value()));
}

void frmMain::cmdDeleteSelect_Click()
{
    Slider->setSelectStart(0);
    Slider->setSelectEnd(0);
    lblStartSelect->setText(kSelectionCleared);
    lblEndSelect->setText(kSelectionCleared);
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
    if (IsConverting)
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
    OpenVideoFile(path);
}

}  // namespace clip
