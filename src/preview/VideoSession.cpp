#include "preview/VideoSession.h"

#include "common/HostServices.h"
#include "common/Rounding.h"
#include "common/SecondsToTime.h"
#include "engine/CVideoConv.h"
#include "engine/KeyFrameScan.h"
#include "player/PlaybackEngine.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPointer>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>

namespace clip {

namespace {

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

// The exact mark while the timeline still holds its whole seconds.
double MarkOrTimeline(const std::optional<double>& mark, qint32 timeline)
{
    return mark && RoundToInt32(*mark) == timeline ? *mark : double(timeline);
}

}  // namespace

VideoSession::VideoSession(QObject* parent) : QObject(parent), m_keyFrameScan(new KeyFrameScan(this))
{
    connect(m_keyFrameScan, &KeyFrameScan::finished, this, [this](const QString& path, const QList<double>& times) {
        if (path != m_input || !m_player)
            return;
        // The probe lists the file's own times; the session keeps positions.
        // Key frames before position 0 (left out by an edit list) are none
        // the timeline can show.
        const TimeOrigin& origin = m_player->timeOrigin();
        m_keyFrames.clear();
        for (const double t : times)
            if (origin.PositionOfFileTime(t) > -0.0005)
                m_keyFrames << std::max(0.0, origin.PositionOfFileTime(t));
        emit keyFramesChanged(true);
    });
}

VideoSession::~VideoSession() = default;

QStringList VideoSession::VideoFileFilter()
{
    return {
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
}

bool VideoSession::IsVideoFileName(const QString& fileName)
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

QString VideoSession::DroppedVideoPath(const QList<QUrl>& urls)
{
    // Only files on this machine count; of several, the first is used.
    const auto local = std::find_if(urls.cbegin(), urls.cend(), [](const QUrl& url) { return url.isLocalFile(); });
    if (local == urls.cend())
        return {};
    const QString path = QDir::toNativeSeparators(local->toLocalFile());
    const QFileInfo info(path);
    return path.isEmpty() || info.isDir() || !IsVideoFileName(info.fileName()) ? QString() : path;
}

bool VideoSession::RefuseUnreadableName(const QString& path)
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

void VideoSession::StartOpenClock() { OpenClock().start(); }

void VideoSession::Open(const QString& path, QSize renderSize)
{
    // Before anything changes: the video shown stays.
    if (RefuseUnreadableName(path))
        return;
    const QPointer<VideoSession> self(this);
    const quint64 serial = ++m_openSerial;
    LogOpenStep("open");

    emit cleared();
    // A load still under way is given up: it must not finish over this one.
    m_opening.reset();
    if (m_player && m_player->isLoading()) {
        emit showEngine(nullptr);
        m_player.reset();
    }
    m_loaded = false;
    m_pictureShowsPosition = false;
    m_keyFrameScan->cancel();
    m_keyFrames.clear();
    emit keyFramesChanged(false);
    ClearMarks();
    m_input = path;

    // Only a regular file is probed: the encoder would wait forever on a
    // FIFO or a device, and the program with it.
    std::error_code error;
    if (!std::filesystem::is_regular_file(QFileInfo(path).filesystemFilePath(), error)) {
        Host().messageBox(kNotSupported, MsgExclamation);
        return;
    }

    // The player opens the file while the probe looks at it; the file is
    // taken once both agree. Until then the previous video stays.
    LogOpenStep("engine");
    const bool opened = LoadVideo(path, renderSize);
    const std::shared_ptr<PlaybackEngine> opening = m_opening;
    LogOpenStep("probe");
    bool supported = false;
    bool failureShown = false;
    bool timedOut = false;
    {
        // A throwaway job object, gone right after the question. It is
        // stopped (and the file refused) when the time limit runs out, and
        // stopped when the session ends or another file takes over.
        auto probe = std::make_shared<CVideoConv>();
        m_probe = probe;
        const int limitMs = m_probeLimitMs;
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
    // The probe keeps the event loop running; a file dropped meanwhile has
    // taken over, or the session ended, and this choice is dropped.
    if (!self || serial != m_openSerial)
        return;
    m_opening.reset();
    if (timedOut) {
        // Slow or disconnected storage, not a verdict on the file.
        Host().messageBox(QStringLiteral("The file did not answer in time: %1 gave no answer within %2 seconds. It "
                                         "may lie on slow or disconnected storage; copy it to a local disk and open "
                                         "it from there.")
                              .arg(QDir::toNativeSeparators(path))
                              .arg(m_probeLimitMs / 1000),
                          MsgExclamation);
        return;
    }
    if (!supported) {
        if (!failureShown)
            Host().messageBox(kNotSupported, MsgExclamation);
        return;
    }
    // The previous engine goes; the new one is the player from now on.
    emit showEngine(nullptr);
    m_player = opening;
    emit playerTaken();
    if (!opened)
        Host().messageBox(kNotSupported, MsgExclamation);
    else if (m_openingFailure)
        Host().messageBox(kNotSupported + QStringLiteral("\n\n") + *m_openingFailure, MsgExclamation);
    else if (opening->isLoaded())
        PlayerLoaded();  // the engine was quicker than the probe
}

bool VideoSession::LoadVideo(const QString& path, QSize renderSize)
{
    // A fresh engine for every file. The engine reports the outcome; nothing
    // waits for it here. While the probe has not agreed it is m_opening, and
    // its outcome is kept for Open.
    m_opening = std::make_shared<PlaybackEngine>();
    m_openingFailure.reset();
    PlaybackEngine* engine = m_opening.get();
    // The first picture is drawn at the pane's size already, so that the
    // pane shows it as soon as it takes the engine (on the GPU path this
    // also compiles the renderer's shaders while the probe runs).
    engine->setRenderSize(renderSize);
    connect(engine, &PlaybackEngine::loaded, this, [this, engine] {
        if (engine == m_player.get())
            PlayerLoaded();
    });
    // After a seek or a frame step of the window's own, the picture it
    // brings shows its time; Stop, Pause and the end leave it alone.
    connect(engine, &PlaybackEngine::frameReady, this, [this, engine] {
        if (engine == m_player.get() && m_loaded && m_pictureShowsPosition)
            emit positionPictured();
    });
    connect(engine, &PlaybackEngine::loadFailed, this, [this, engine](const QString& reason) {
        if (engine == m_opening.get())
            m_openingFailure = reason;
        else if (engine == m_player.get())
            Host().messageBox(kNotSupported + QStringLiteral("\n\n") + reason, MsgExclamation);
    });
    return engine->Load(path);
}

void VideoSession::PlayerLoaded()
{
    PlaybackEngine* engine = m_player.get();
    if (!engine || !engine->isLoaded())
        return;
    LogOpenStep("first picture");
    OpenClock().invalidate();
    // Volume, balance and rate are extras: one the engine refuses is skipped.
    engine->setVolume(0);
    engine->setBalance(0);
    emit showEngine(engine);
    engine->setRate(1.0);

    const std::optional<qint32> length = RoundToInt32(engine->Duration());
    if (!length) {
        Host().messageBox(kNotSupported, MsgExclamation);
        return;
    }
    m_durationText = SecondsToTime(RoundToInt32(engine->Duration()).value_or(*length));
    emit started(*length);
    m_loaded = true;
    // The key frames are read meanwhile; nothing waits for them.
    m_keyFrameScan->start(m_input);
}

void VideoSession::EndLoading()
{
    ++m_openSerial;  // the probe under way is stopped, and its Open gives up
    if (m_probe)
        m_probe->StopConversion();
    m_opening.reset();
    if (m_player && !m_player->isLoaded()) {
        emit showEngine(nullptr);
        m_player.reset();
    }
}

// ------------------------------------------------------------- positions

double VideoSession::KeyFrameAtOrBefore(double seconds) const
{
    const auto it = std::upper_bound(m_keyFrames.cbegin(), m_keyFrames.cend(), seconds + 0.0005);
    return it == m_keyFrames.cbegin() ? 0.0 : *std::prev(it);
}

std::optional<double> VideoSession::KeyFrameBeside(bool forward) const
{
    if (!m_player)
        return std::nullopt;
    // Half a millisecond apart counts as the same frame.
    const double now = m_player->CurrentPosition();
    if (forward) {
        const auto it = std::upper_bound(m_keyFrames.cbegin(), m_keyFrames.cend(), now + 0.0005);
        return it != m_keyFrames.cend() ? std::optional<double>(*it) : std::nullopt;
    }
    const auto it = std::lower_bound(m_keyFrames.cbegin(), m_keyFrames.cend(), now - 0.0005);
    return it != m_keyFrames.cbegin() ? std::optional<double>(*std::prev(it)) : std::nullopt;
}

void VideoSession::Seek(double seconds)
{
    m_player->setCurrentPosition(seconds);
    m_pictureShowsPosition = true;
}

void VideoSession::StepFrame(bool back)
{
    m_pictureShowsPosition = true;
    m_player->StepFrame(back);
}

// ------------------------------------------------------------- selection

// The time of the frame on screen, when the timeline shows it: paused, the
// timeline holds its rounded seconds; playing, the timeline follows once a
// second and may lag behind by up to that second and its rounding. A
// timeline moved away from the picture (by its arrow keys, which do not
// seek) marks its own whole seconds instead: nothing is returned.
std::optional<double> VideoSession::FrameOnScreen(qint32 timeline, bool playing) const
{
    if (!m_player || !m_player->isLoaded())
        return std::nullopt;
    const double now = m_player->CurrentPosition();
    const std::optional<qint32> whole = RoundToInt32(now);
    if (!whole)
        return std::nullopt;
    const double ahead = now - double(timeline);
    const bool shown = playing ? ahead >= -0.5 && ahead < 2.0 : *whole == timeline;
    return shown ? std::optional<double>(now) : std::nullopt;
}

qint32 VideoSession::MarkStart(qint32 timeline, bool playing)
{
    m_markStart = FrameOnScreen(timeline, playing);
    return m_markStart ? *RoundToInt32(*m_markStart) : timeline;
}

qint32 VideoSession::MarkEnd(qint32 timeline, bool playing)
{
    m_markEnd = FrameOnScreen(timeline, playing);
    return m_markEnd ? *RoundToInt32(*m_markEnd) : timeline;
}

void VideoSession::ClearMarks()
{
    m_markStart.reset();
    m_markEnd.reset();
}

double VideoSession::SelectionStart(qint32 timelineMark) const { return MarkOrTimeline(m_markStart, timelineMark); }

double VideoSession::SelectionEnd(qint32 timelineMark) const { return MarkOrTimeline(m_markEnd, timelineMark); }

}  // namespace clip
