#include "player/PlaybackEngine.h"

#include "common/HostServices.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMetaObject>
#include <QPointer>
#include <QThread>

#include <mpv/client.h>
#include <mpv/render.h>

#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <new>

namespace clip {

void EnsureCNumericLocale()
{
    std::setlocale(LC_NUMERIC, "C");
}

namespace {

// How long a requested seek position is reported before the player's own
// position is trusted again, should the player never confirm the seek.
constexpr qint64 kSeekConfirmLimitMs = 5000;
// A seek confirmed by a picture this close to its target.
constexpr double kSeekLandingTolerance = 0.5;
// The length of a frame when the file does not say (25 frames a second).
constexpr double kDefaultFrameSeconds = 0.04;

// The picture layout matching QImage::Format_RGB32 in memory.
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
constexpr const char* kPixelFormat = "bgr0";
#else
constexpr const char* kPixelFormat = "0rgb";
#endif

// Rows of the rendered picture start on 64-byte boundaries: the software
// renderer takes its fast path only then.
constexpr std::size_t kRowAlignment = 64;

void freeAligned(void* data)
{
    ::operator delete(data, std::align_val_t(kRowAlignment));
}

// The player's log, shown only when a developer asks for it with
// CLIPWRIGHT_MPV_LOG (1 for the verbose level, or a level name such as
// "debug" or "warn").
QByteArray requestedLogLevel()
{
    const QByteArray value = qgetenv("CLIPWRIGHT_MPV_LOG").trimmed();
    if (value.isEmpty() || value == "0")
        return {};
    if (value == "1")
        return "v";
    return value;
}

}  // namespace

PlaybackEngine::PlaybackEngine(QObject* parent)
    : QObject(parent)
{
    const QByteArray logLevel = requestedLogLevel();
    m_log = !logLevel.isEmpty();

    // Fails (returns null) unless LC_NUMERIC is "C".
    m_mpv = mpv_create();
    if (!m_mpv) {
        if (m_log)
            std::fprintf(stderr, "[mpv] mpv_create failed (is LC_NUMERIC \"C\"?)\n");
        return;
    }

    // A quiet embedded player: no terminal, no configuration files, no
    // scripts, no on-screen display, no input bindings; the picture goes
    // through the render API only; software decoding; exact seeks; the file
    // stays open, paused on its last frame, at its end; loading leaves it
    // paused at the start. Without a usable audio device the audio goes to a
    // null output, so playback and its clock work the same.
    static const char* const kOptions[][2] = {
        {"config", "no"},
        {"terminal", "no"},
        {"load-scripts", "no"},
        {"osc", "no"},
        {"ytdl", "no"},
        {"load-stats-overlay", "no"},
        {"load-osd-console", "no"},
        {"load-auto-profiles", "no"},
        {"input-default-bindings", "no"},
        {"input-vo-keyboard", "no"},
        {"resume-playback", "no"},
        {"save-position-on-quit", "no"},
        {"osd-level", "0"},
        {"osd-bar", "no"},
        {"sub-auto", "no"},
        {"vo", "libmpv"},
        {"hwdec", "no"},
        {"audio-display", "no"},
        {"audio-fallback-to-null", "yes"},
        {"hr-seek", "yes"},
        {"keep-open", "yes"},
        {"pause", "yes"},
        {"idle", "yes"},
    };
    for (const auto& option : kOptions) {
        const int rc = mpv_set_option_string(m_mpv, option[0], option[1]);
        if (rc < 0 && m_log)
            std::fprintf(stderr, "[mpv] option %s=%s: %s\n", option[0], option[1], mpv_error_string(rc));
    }
    if (m_log)
        mpv_request_log_messages(m_mpv, logLevel.constData());

    if (mpv_initialize(m_mpv) < 0) {
        releasePlayer();
        return;
    }

    mpv_observe_property(m_mpv, 0, "eof-reached", MPV_FORMAT_FLAG);
    mpv_observe_property(m_mpv, 0, "duration", MPV_FORMAT_DOUBLE);
    mpv_set_wakeup_callback(m_mpv, &PlaybackEngine::onWakeup, this);

    char apiType[] = MPV_RENDER_API_TYPE_SW;
    mpv_render_param params[] = {
        {MPV_RENDER_PARAM_API_TYPE, apiType},
        {MPV_RENDER_PARAM_INVALID, nullptr},
    };
    if (mpv_render_context_create(&m_render, m_mpv, params) < 0) {
        m_render = nullptr;
        releasePlayer();
        return;
    }
    mpv_render_context_set_update_callback(m_render, &PlaybackEngine::onRenderUpdate, this);
}

PlaybackEngine::~PlaybackEngine()
{
    releasePlayer();
}

void PlaybackEngine::releasePlayer()
{
    // The callbacks go first: once they are unset no libmpv thread can post
    // to this object any more. The render context must be gone before the
    // core is destroyed.
    if (m_mpv)
        mpv_set_wakeup_callback(m_mpv, nullptr, nullptr);
    if (m_render) {
        mpv_render_context_set_update_callback(m_render, nullptr, nullptr);
        mpv_render_context_free(m_render);
        m_render = nullptr;
    }
    if (m_mpv) {
        mpv_terminate_destroy(m_mpv);
        m_mpv = nullptr;
    }
    m_loaded = false;
    m_loading = false;
}

// Runs on a libmpv thread: only posts to the owner's thread, once until the
// posted call has run.
void PlaybackEngine::onWakeup(void* self)
{
    auto* engine = static_cast<PlaybackEngine*>(self);
    if (!engine->m_wakeupPosted.exchange(true))
        QMetaObject::invokeMethod(engine, "handleEvents", Qt::QueuedConnection);
}

// Runs on a libmpv thread, like onWakeup.
void PlaybackEngine::onRenderUpdate(void* self)
{
    auto* engine = static_cast<PlaybackEngine*>(self);
    if (!engine->m_updatePosted.exchange(true))
        QMetaObject::invokeMethod(engine, "handleRenderUpdate", Qt::QueuedConnection);
}

void PlaybackEngine::handleEvents()
{
    m_wakeupPosted = false;
    QPointer<PlaybackEngine> self(this);
    while (self && m_mpv) {
        const mpv_event* event = mpv_wait_event(m_mpv, 0);
        if (!event || event->event_id == MPV_EVENT_NONE)
            break;
        handleEvent(*event);
    }
}

void PlaybackEngine::handleEvent(const mpv_event& event)
{
    switch (event.event_id) {
    case MPV_EVENT_LOG_MESSAGE:
        if (m_log) {
            const auto* msg = static_cast<const mpv_event_log_message*>(event.data);
            std::fprintf(stderr, "[mpv/%s] %s: %s", msg->prefix, msg->level, msg->text);
        }
        break;
    case MPV_EVENT_START_FILE:
        m_entryId = static_cast<const mpv_event_start_file*>(event.data)->playlist_entry_id;
        break;
    case MPV_EVENT_FILE_LOADED: {
        if (!m_loading)
            break;
        m_fileLoaded = true;
        m_duration = std::max(0.0, readDouble("duration", 0.0));
        char* vid = mpv_get_property_string(m_mpv, "vid");
        m_hasVideo = vid && qstrcmp(vid, "no") != 0 && *vid;
        mpv_free(vid);
        // MPEG-TS and MPEG-PS have no index of key frames, and a file whose
        // timestamps do not start at 0 is seeked in by them: the container's
        // seek may land away from the target there.
        char* format = mpv_get_property_string(m_mpv, "file-format");
        const QByteArrayList formats = QByteArray(format ? format : "").split(',');
        mpv_free(format);
        m_inexactContainer = formats.contains("mpegts") || formats.contains("mpeg")
            || readDouble("demuxer-start-time", 0.0) > 0.001;
        break;
    }
    case MPV_EVENT_END_FILE: {
        const auto* end = static_cast<const mpv_event_end_file*>(event.data);
        if (end->playlist_entry_id != m_entryId)
            break;
        if (m_log && end->reason == MPV_END_FILE_REASON_ERROR)
            std::fprintf(stderr, "[mpv] load failed: %s\n", mpv_error_string(end->error));
        // The file is gone from the player, whatever the reason.
        if (m_loading)
            m_failed = true;
        m_loaded = false;
        m_fileLoaded = false;
        m_seekPending = false;
        break;
    }
    case MPV_EVENT_PLAYBACK_RESTART:
        if (m_seekPending) {
            ++m_restartsSinceSeek;
            const double pos = readDouble("time-pos", -1.0);
            // A picture further than one and a half frames from the target:
            // the container's seek did not land on or before the key frame the
            // target needs, so the exact seek could not reach it. Seek again from further
            // back, which in the end is the file's start.
            const double fps = readDouble("container-fps", 0.0);
            const double frame = fps > 0.0 ? 1.0 / fps : kDefaultFrameSeconds;
            if (m_inexactContainer && pos >= 0.0 && std::abs(pos - m_seekTarget) > 1.5 * frame
                && m_demuxerOffset < m_seekTarget) {
                m_demuxerOffset = std::max(1.0, m_demuxerOffset * 2.0);
                const QByteArray offset = QByteArray::number(m_demuxerOffset, 'f', 3);
                mpv_set_property_string(m_mpv, "hr-seek-demuxer-offset", offset.constData());
                const QByteArray where = QByteArray::number(m_seekTarget, 'f', 6);
                const char* command[] = {"seek", where.constData(), "absolute+exact", nullptr};
                if (mpv_command(m_mpv, command) >= 0) {
                    m_restartsSinceSeek = 0;
                    m_seekClock.start();
                    break;
                }
            }
            if (std::abs(pos - m_seekTarget) < kSeekLandingTolerance || m_restartsSinceSeek >= 2)
                m_seekPending = false;
        }
        break;
    case MPV_EVENT_PROPERTY_CHANGE: {
        const auto* prop = static_cast<const mpv_event_property*>(event.data);
        if (qstrcmp(prop->name, "eof-reached") == 0) {
            const bool atEnd = prop->format == MPV_FORMAT_FLAG && *static_cast<int*>(prop->data) != 0;
            if (!atEnd) {
                m_endSignalled = false;
            } else {
                m_seekPending = false;
                if (m_loaded && !m_endSignalled) {
                    m_endSignalled = true;
                    emit endReached();
                }
            }
        } else if (qstrcmp(prop->name, "duration") == 0) {
            if (prop->format == MPV_FORMAT_DOUBLE && (m_loaded || m_fileLoaded))
                m_duration = std::max(0.0, *static_cast<double*>(prop->data));
        }
        break;
    }
    default:
        break;
    }
}

void PlaybackEngine::handleRenderUpdate()
{
    m_updatePosted = false;
    if (!m_render)
        return;
    const uint64_t flags = mpv_render_context_update(m_render);
    if (!(flags & MPV_RENDER_UPDATE_FRAME))
        return;
    m_haveFrame = true;
    m_frameTaken = false;
    QPointer<PlaybackEngine> self(this);
    emit frameReady();
    if (!self || !m_render || m_frameTaken)
        return;
    // Nobody showed it: take the frame anyway, or the player would wait for
    // it and playback would crawl.
    int skip = 1;
    int block = 0;  // as when drawing: never wait for the frame's display time here
    mpv_render_param params[] = {
        {MPV_RENDER_PARAM_SKIP_RENDERING, &skip},
        {MPV_RENDER_PARAM_BLOCK_FOR_TARGET_TIME, &block},
        {MPV_RENDER_PARAM_INVALID, nullptr},
    };
    mpv_render_context_render(m_render, params);
}

bool PlaybackEngine::RenderFile(const QString& path, int timeoutMs)
{
    if (!m_mpv || !m_render || path.isEmpty())
        return false;
    // Local files only: the player would take some names for addresses or
    // special sources.
    const QFileInfo info(path);
    if (!info.isFile())
        return false;

    m_path = path;
    m_loading = true;
    m_loaded = false;
    m_fileLoaded = false;
    m_failed = false;
    m_haveFrame = false;
    m_hasVideo = false;
    m_stopped = false;
    m_endSignalled = false;
    m_seekPending = false;
    m_duration = 0.0;
    m_entryId = -1;

    const QByteArray file = info.absoluteFilePath().toUtf8();
    const char* command[] = {"loadfile", file.constData(), "replace", nullptr};
    if (mpv_command(m_mpv, command) < 0) {
        m_loading = false;
        return false;
    }

    QPointer<PlaybackEngine> self(this);
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        Host().processEvents();
        if (!self)
            return false;  // destroyed by a handler run from the yield
        if (!m_mpv || m_failed)
            break;
        if (m_fileLoaded && (m_haveFrame || !m_hasVideo)) {
            m_loaded = true;
            break;
        }
        if (clock.elapsed() >= timeoutMs)
            break;
        QThread::msleep(2);
    }
    m_loading = false;
    if (m_loaded)
        return true;

    // Failed or timed out: make sure the player gives the file up.
    if (m_mpv) {
        const char* stop[] = {"stop", nullptr};
        mpv_command(m_mpv, stop);
    }
    m_failed = true;
    m_fileLoaded = false;
    m_haveFrame = false;
    m_duration = 0.0;
    return false;
}

void PlaybackEngine::Run()
{
    if (!m_loaded)
        return;
    m_stopped = false;
    int pause = 0;
    mpv_set_property(m_mpv, "pause", MPV_FORMAT_FLAG, &pause);
}

void PlaybackEngine::Pause()
{
    if (!m_loaded)
        return;
    m_stopped = false;
    int pause = 1;
    mpv_set_property(m_mpv, "pause", MPV_FORMAT_FLAG, &pause);
}

void PlaybackEngine::Stop()
{
    if (!m_loaded)
        return;
    int pause = 1;
    mpv_set_property(m_mpv, "pause", MPV_FORMAT_FLAG, &pause);
    m_stopped = true;
}

double PlaybackEngine::Duration() const
{
    return m_loaded ? m_duration : 0.0;
}

double PlaybackEngine::CurrentPosition() const
{
    if (!m_loaded)
        return 0.0;
    if (isSeeking())
        return m_seekTarget;
    // At the end the position is the end of the file (the last frame starts
    // a frame's length before it).
    if (readFlag("eof-reached") && m_duration > 0.0)
        return m_duration;
    double pos = std::max(0.0, readDouble("time-pos", 0.0));
    if (m_duration > 0.0)
        pos = std::min(pos, m_duration);
    return pos;
}

bool PlaybackEngine::isSeeking() const
{
    return m_loaded && m_seekPending && m_seekClock.isValid() && m_seekClock.elapsed() < kSeekConfirmLimitMs;
}

void PlaybackEngine::setCurrentPosition(double seconds)
{
    if (!m_loaded || !std::isfinite(seconds))
        return;
    double target = std::max(0.0, seconds);
    if (m_duration > 0.0)
        target = std::min(target, m_duration);
    const QByteArray where = QByteArray::number(target, 'f', 6);
    const char* command[] = {"seek", where.constData(), "absolute+exact", nullptr};
    if (mpv_command(m_mpv, command) < 0)
        return;
    m_seekPending = true;
    m_seekTarget = target;
    m_restartsSinceSeek = 0;
    m_seekClock.start();
}

bool PlaybackEngine::setRate(double rate)
{
    if (!std::isfinite(rate) || rate <= 0.0)
        return false;
    if (m_mpv && mpv_set_property(m_mpv, "speed", MPV_FORMAT_DOUBLE, &rate) < 0)
        return false;
    m_rate = rate;
    return true;
}

double PlaybackEngine::VolumeToPercent(long volume)
{
    // The player's volume v scales the amplitude by (v/100)^3, that is by
    // 60*log10(v/100) decibels.
    if (volume <= kVolumeSilent)
        return 0.0;
    if (volume >= kVolumeFull)
        return 100.0;
    return 100.0 * std::pow(10.0, static_cast<double>(volume) / 6000.0);
}

void PlaybackEngine::BalanceToGains(long balance, double* left, double* right)
{
    const long magnitude = std::min(std::abs(balance), kBalanceRight);
    const double gain = magnitude >= kBalanceRight ? 0.0 : std::pow(10.0, -magnitude / 2000.0);
    *left = balance > 0 ? gain : 1.0;
    *right = balance < 0 ? gain : 1.0;
}

bool PlaybackEngine::setVolume(long volume)
{
    if (volume < kVolumeSilent || volume > kVolumeFull)
        return false;
    if (m_mpv) {
        double percent = VolumeToPercent(volume);
        if (mpv_set_property(m_mpv, "volume", MPV_FORMAT_DOUBLE, &percent) < 0)
            return false;
    }
    m_volume = volume;
    return true;
}

bool PlaybackEngine::setBalance(long balance)
{
    if (balance < kBalanceLeft || balance > kBalanceRight)
        return false;
    if (m_mpv) {
        QByteArray filter;
        if (balance != 0) {
            double left = 1.0;
            double right = 1.0;
            BalanceToGains(balance, &left, &right);
            filter = "@balance:lavfi=[aformat=channel_layouts=stereo,pan=stereo|c0="
                     + QByteArray::number(left, 'f', 6) + "*c0|c1=" + QByteArray::number(right, 'f', 6)
                     + "*c1]";
        }
        if (mpv_set_property_string(m_mpv, "af", filter.constData()) < 0)
            return false;
    }
    m_balance = balance;
    return true;
}

PlaybackEngine::State PlaybackEngine::state() const
{
    if (!m_loaded)
        return State::Empty;
    if (m_stopped)
        return State::Stopped;
    if (readFlag("eof-reached"))
        return State::AtEnd;
    return readFlag("pause") ? State::Paused : State::Running;
}

QImage PlaybackEngine::renderFrame(const QSize& pixelSize)
{
    if (!m_render || !(m_loaded || m_loading) || !m_haveFrame || pixelSize.isEmpty())
        return {};
    const int width = pixelSize.width();
    const int height = pixelSize.height();
    const std::size_t stride = (static_cast<std::size_t>(width) * 4 + kRowAlignment - 1) / kRowAlignment * kRowAlignment;
    void* pixels = ::operator new(stride * static_cast<std::size_t>(height), std::align_val_t(kRowAlignment));
    QImage image(static_cast<uchar*>(pixels), width, height, static_cast<qsizetype>(stride),
                 QImage::Format_RGB32, &freeAligned, pixels);

    int size[2] = {width, height};
    std::size_t rowBytes = stride;
    int block = 0;  // never wait for the frame's display time on this thread
    mpv_render_param params[] = {
        {MPV_RENDER_PARAM_SW_SIZE, size},
        {MPV_RENDER_PARAM_SW_FORMAT, const_cast<char*>(kPixelFormat)},
        {MPV_RENDER_PARAM_SW_STRIDE, &rowBytes},
        {MPV_RENDER_PARAM_SW_POINTER, pixels},
        {MPV_RENDER_PARAM_BLOCK_FOR_TARGET_TIME, &block},
        {MPV_RENDER_PARAM_INVALID, nullptr},
    };
    if (mpv_render_context_render(m_render, params) < 0)
        return {};
    m_frameTaken = true;

    // The fourth byte of each pixel is undefined; the image is opaque.
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<quint32*>(static_cast<uchar*>(pixels) + stride * static_cast<std::size_t>(y));
        for (int x = 0; x < width; ++x)
            line[x] |= 0xFF000000u;
    }
    return image;
}

bool PlaybackEngine::readFlag(const char* name) const
{
    int value = 0;
    if (!m_mpv || mpv_get_property(m_mpv, name, MPV_FORMAT_FLAG, &value) < 0)
        return false;
    return value != 0;
}

double PlaybackEngine::readDouble(const char* name, double fallback) const
{
    double value = 0.0;
    if (!m_mpv || mpv_get_property(m_mpv, name, MPV_FORMAT_DOUBLE, &value) < 0)
        return fallback;
    return value;
}

}  // namespace clip
