#include "player/PlaybackEngine.h"

#include "player/PreviewPath.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMetaObject>
#include <QMutex>
#include <QMutexLocker>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLExtraFunctions>
#include <QOpenGLFramebufferObject>
#include <QPointer>
#include <QThread>
#include <QTimer>

#include <mpv/client.h>
#include <mpv/render.h>
#include <mpv/render_gl.h>

#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <new>
#include <system_error>
#include <utility>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace clip {

void EnsureCNumericLocale()
{
    std::setlocale(LC_NUMERIC, "C");
}

void LimitAllocatorPools()
{
#if defined(__GLIBC__)
    // Measured over 50 loads (docs/PERFORMANCE.md, figure 13): two pools
    // keep the growth to a few MiB; four let it reach 30 MiB.
    mallopt(M_ARENA_MAX, 2);
#endif
}

namespace {

// How long a requested seek position is reported before the player's own
// position is trusted again, should the player never confirm the seek.
constexpr qint64 kSeekConfirmLimitMs = 5000;
// A seek confirmed by a picture this close to its target.
constexpr double kSeekLandingTolerance = 0.5;
// The length of a frame when the file does not say (25 frames a second).
constexpr double kDefaultFrameSeconds = 0.04;
// A time this share of a frame below a frame's start still names that frame.
constexpr double kFrameGridTolerance = 0.05;

// The picture layout matching QImage::Format_RGB32 in memory. The player
// leaves the fourth byte 0; the pane copies the picture 1:1 into its
// backing store, where that byte is not read, so no pass sets it to 0xFF
// (a caller converting or scaling the image should not rely on it).
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

PlaybackEngine::RenderThreadCallHandler& InstalledHandler()
{
    static PlaybackEngine::RenderThreadCallHandler handler;
    return handler;
}

void DefaultRenderThreadCallHandler(const char* call)
{
    if (qEnvironmentVariableIsSet("CLIPWRIGHT_TESTING"))
        qFatal("libmpv client call %s made on the render thread", call);
    qCritical("libmpv client call %s made on the render thread", call);
}

}  // namespace

// What the render thread shares with the engine. Only the render thread
// calls the mpv_render_* functions (after the engine has set the context
// up, and before it frees it).
//
// On the GPU path the render thread owns an OpenGL context (sharing its
// textures with the pane's) on an offscreen surface, and renders into one
// of two framebuffers at the wanted size, never the one last published: the
// pane may be drawing that. A finished picture is published once its
// rendering is complete (glFinish); the pane draws it under the mutex and
// leaves a fence behind, which the render thread waits for before it draws
// into that texture again.
struct PlaybackEngine::RenderShared {
    mpv_render_context* context = nullptr;
    QObject* worker = nullptr;  // lives on the render thread
    PlaybackEngine* engine = nullptr;
    std::atomic<bool> updatePosted{false};
    std::atomic<bool> picturePosted{false};
    bool haveFrame = false;  // render thread only
    QImage spare;            // render thread only: the buffer the next picture is drawn into

    // The GPU path.
    QOffscreenSurface* surface = nullptr;  // made and destroyed by the engine's thread
    QOpenGLContext* gl = nullptr;          // render thread only
    bool fences = false;                   // the context has sync objects (else the pane waits with glFinish)
    struct Target {
        QOpenGLFramebufferObject* fbo = nullptr;  // replaced by the render thread while it is not `front`
        GLsync shown = nullptr;                   // the pane's last drawing from it (guarded by the mutex)
    };
    Target targets[2];

    mutable QMutex mutex;  // guards the ones below
    QSize size;
    QImage latest;
    int front = -1;     // the target holding the latest picture (GPU path)
    quint64 serial = 0;  // counts the pictures published

    // Render thread, GPU path: makes the context current on the surface
    // and starts libmpv's OpenGL renderer on it.
    bool startGl(mpv_handle* mpv)
    {
        QOpenGLContext* share = QOpenGLContext::globalShareContext();
        gl = new QOpenGLContext;
        gl->setShareContext(share);
        gl->setFormat(share->format());
        if (!gl->create() || !gl->makeCurrent(surface) || CreateOpenGlRenderContext(mpv, &context) < 0) {
            context = nullptr;
            stopGl();
            return false;
        }
        const QSurfaceFormat format = gl->format();
        fences = gl->isOpenGLES() ? format.majorVersion() >= 3
                                  : format.version() >= qMakePair(3, 2) || gl->hasExtension("GL_ARB_sync");
        return true;
    }

    // Render thread, GPU path: frees the renderer, the framebuffers and the
    // context (libmpv's renderer only while its context is current).
    void stopGl()
    {
        if (!gl)
            return;
        gl->makeCurrent(surface);
        if (context) {
            mpv_render_context_set_update_callback(context, nullptr, nullptr);
            mpv_render_context_free(context);
            context = nullptr;
        }
        QMutexLocker lock(&mutex);
        front = -1;
        for (Target& target : targets) {
            delete std::exchange(target.fbo, nullptr);
            if (GLsync fence = std::exchange(target.shown, nullptr))
                gl->extraFunctions()->glDeleteSync(fence);
        }
        gl->doneCurrent();
        delete std::exchange(gl, nullptr);
    }

    // Render thread: a new frame may be there.
    void update()
    {
        updatePosted = false;
        if (!context)
            return;
        const uint64_t flags = mpv_render_context_update(context);
        if (flags & MPV_RENDER_UPDATE_FRAME) {
            haveFrame = true;
            draw();
        }
    }

    // Render thread: the current frame again (the size changed).
    void redraw()
    {
        if (haveFrame && context)
            draw();
    }

    // Render thread: takes the current frame, drawn at the wanted size or,
    // without one, only taken so that playback goes on.
    void draw()
    {
        QSize wanted;
        {
            QMutexLocker lock(&mutex);
            wanted = size;
        }
        int block = 0;  // never wait here for the frame's display time
        bool drawn = false;
        int target = -1;
        if (wanted.isEmpty()) {
            int skip = 1;
            mpv_render_param params[] = {
                {MPV_RENDER_PARAM_SKIP_RENDERING, &skip},
                {MPV_RENDER_PARAM_BLOCK_FOR_TARGET_TIME, &block},
                {MPV_RENDER_PARAM_INVALID, nullptr},
            };
            mpv_render_context_render(context, params);
        } else if (gl) {
            drawn = renderGl(wanted, block, &target);
        } else {
            drawn = render(wanted, block);
        }
        {
            QMutexLocker lock(&mutex);
            if (drawn) {
                if (gl)
                    front = target;
                else
                    latest.swap(spare);  // the previous picture becomes the next buffer
                ++serial;
            } else if (wanted.isEmpty()) {
                latest = QImage();
                front = -1;
            }
        }
        if (!picturePosted.exchange(true)) {
            PlaybackEngine* target = engine;
            QMetaObject::invokeMethod(target, [target] { target->pictureArrived(); }, Qt::QueuedConnection);
        }
    }

    // Render thread: draws into `spare` and returns whether it succeeded.
    // The buffer is reused while its size stays and nobody else holds it
    // (the pane lets go of a picture when it takes the next one), so
    // playing at one size allocates nothing. The player writes every byte,
    // the bars included, in a layout that is the image's own (see
    // kPixelFormat): nothing is converted or filled afterwards.
    bool render(const QSize& pixelSize, int& block)
    {
        if (spare.size() != pixelSize || !spare.isDetached())
            spare = NewFrame(pixelSize);
        int sizeParam[2] = {pixelSize.width(), pixelSize.height()};
        std::size_t rowBytes = static_cast<std::size_t>(spare.bytesPerLine());
        mpv_render_param params[] = {
            {MPV_RENDER_PARAM_SW_SIZE, sizeParam},
            {MPV_RENDER_PARAM_SW_FORMAT, const_cast<char*>(kPixelFormat)},
            {MPV_RENDER_PARAM_SW_STRIDE, &rowBytes},
            {MPV_RENDER_PARAM_SW_POINTER, spare.bits()},
            {MPV_RENDER_PARAM_BLOCK_FOR_TARGET_TIME, &block},
            {MPV_RENDER_PARAM_INVALID, nullptr},
        };
        return mpv_render_context_render(context, params) >= 0;
    }

    // Render thread, GPU path: draws into the target that is not the
    // published one, once the pane has finished drawing from it, and waits
    // until the picture is complete.
    bool renderGl(const QSize& pixelSize, int& block, int* drawnInto)
    {
        QOpenGLExtraFunctions* f = gl->extraFunctions();
        int index = 0;
        GLsync shown = nullptr;
        {
            QMutexLocker lock(&mutex);
            index = front == 0 ? 1 : 0;
            shown = std::exchange(targets[index].shown, nullptr);
        }
        if (shown) {
            f->glClientWaitSync(shown, GL_SYNC_FLUSH_COMMANDS_BIT, GLuint64(1000000000));
            f->glDeleteSync(shown);
        }
        QOpenGLFramebufferObject*& fbo = targets[index].fbo;
        if (!fbo || fbo->size() != pixelSize) {
            delete fbo;
            fbo = new QOpenGLFramebufferObject(pixelSize, QOpenGLFramebufferObject::NoAttachment, GL_TEXTURE_2D,
                                               GL_RGBA8);
        }
        mpv_opengl_fbo into{static_cast<int>(fbo->handle()), pixelSize.width(), pixelSize.height(), GL_RGBA8};
        int flip = 0;  // the top row first in the texture, as in an image
        mpv_render_param params[] = {
            {MPV_RENDER_PARAM_OPENGL_FBO, &into},
            {MPV_RENDER_PARAM_FLIP_Y, &flip},
            {MPV_RENDER_PARAM_BLOCK_FOR_TARGET_TIME, &block},
            {MPV_RENDER_PARAM_INVALID, nullptr},
        };
        const bool drawn = fbo->isValid() && mpv_render_context_render(context, params) >= 0;
        f->glFinish();
        *drawnInto = index;
        return drawn;
    }

    static QImage NewFrame(const QSize& pixelSize)
    {
        const int width = pixelSize.width();
        const int height = pixelSize.height();
        const std::size_t stride =
            (static_cast<std::size_t>(width) * 4 + kRowAlignment - 1) / kRowAlignment * kRowAlignment;
        void* pixels = ::operator new(stride * static_cast<std::size_t>(height), std::align_val_t(kRowAlignment));
        return QImage(static_cast<uchar*>(pixels), width, height, static_cast<qsizetype>(stride),
                      QImage::Format_RGB32, &freeAligned, pixels);
    }
};

PlaybackEngine::RenderThreadCallHandler PlaybackEngine::SetRenderThreadCallHandler(RenderThreadCallHandler handler)
{
    RenderThreadCallHandler previous = std::move(InstalledHandler());
    InstalledHandler() = std::move(handler);
    return previous;
}

mpv_handle* PlaybackEngine::client(const char* call) const
{
    if (QThread::currentThread() == m_renderThread) {
        if (const RenderThreadCallHandler& handler = InstalledHandler())
            handler(call);
        else
            DefaultRenderThreadCallHandler(call);
    }
    return m_mpv;
}

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
    // The software renderer cannot turn a picture by a quarter turn (libmpv
    // aborts the whole program drawing one), so on that path the player turns
    // nothing itself: a filter chosen per file puts the picture upright
    // before it reaches the renderer (see turnUpright()).
    m_gl = ChosenPreviewPath().gpu;
    for (const auto& option : kOptions) {
        const int rc = mpv_set_option_string(m_mpv, option[0], option[1]);
        if (rc < 0 && m_log)
            std::fprintf(stderr, "[mpv] option %s=%s: %s\n", option[0], option[1], mpv_error_string(rc));
    }
    if (!m_gl)
        mpv_set_option_string(m_mpv, "video-rotate", "no");
    if (m_log)
        mpv_request_log_messages(m_mpv, logLevel.constData());

    if (mpv_initialize(m_mpv) < 0) {
        releasePlayer();
        return;
    }

    // Between opening a file and starting its decoders, the player waits
    // for the upright filter to be chosen.
    if (!m_gl)
        mpv_hook_add(m_mpv, 0, "on_preloaded", 0);
    mpv_observe_property(m_mpv, 0, "eof-reached", MPV_FORMAT_FLAG);
    mpv_observe_property(m_mpv, 0, "duration", MPV_FORMAT_DOUBLE);
    mpv_observe_property(m_mpv, 0, "vid", MPV_FORMAT_STRING);
    mpv_set_wakeup_callback(m_mpv, &PlaybackEngine::onWakeup, this);

    m_loadLimit = new QTimer(this);
    m_loadLimit->setSingleShot(true);
    connect(m_loadLimit, &QTimer::timeout, this, [this] {
        // A picture drawn is a file that opened, even if the player never
        // said it is ready to play.
        if (m_fileLoaded && (!m_hasVideo || m_haveFrame))
            finishLoad({});
        else
            finishLoad(QStringLiteral("The file took too long to open."));
    });

    // The software render context is set up here, before the render thread
    // runs; the OpenGL one by the render thread, on its own context, while
    // this thread waits. From then on only the render thread calls the
    // mpv_render_* functions.
    auto shared = std::make_shared<RenderShared>();
    shared->engine = this;
    if (!m_gl) {
        char apiType[] = MPV_RENDER_API_TYPE_SW;
        mpv_render_param params[] = {
            {MPV_RENDER_PARAM_API_TYPE, apiType},
            {MPV_RENDER_PARAM_INVALID, nullptr},
        };
        if (mpv_render_context_create(&shared->context, m_mpv, params) < 0) {
            releasePlayer();
            return;
        }
    } else {
        m_surface = new QOffscreenSurface;
        m_surface->setFormat(QOpenGLContext::globalShareContext()->format());
        m_surface->create();
        shared->surface = m_surface;
    }
    m_shared = shared;
    m_renderThread = new QThread(this);
    m_renderThread->setObjectName(QStringLiteral("mpv-render"));
    shared->worker = new QObject;
    shared->worker->moveToThread(m_renderThread);
    m_renderThread->start();
    if (m_gl) {
        bool started = false;
        mpv_handle* mpv = m_mpv;
        QMetaObject::invokeMethod(
            shared->worker, [&started, shared, mpv] { started = shared->startGl(mpv); },
            Qt::BlockingQueuedConnection);
        if (!started) {
            std::fprintf(stderr, "preview: the OpenGL renderer did not start for this player\n");
            releasePlayer();
            return;
        }
    }
    mpv_render_context_set_update_callback(shared->context, &PlaybackEngine::onRenderUpdate, shared.get());
}

PlaybackEngine::~PlaybackEngine()
{
    releasePlayer();
}

void PlaybackEngine::releasePlayer()
{
    // The wake-ups go first: once unset no libmpv thread posts to this object
    // any more. Then the render thread ends, and with it every render call;
    // the render context must be gone before the core is destroyed.
    if (m_mpv)
        mpv_set_wakeup_callback(client("mpv_set_wakeup_callback"), nullptr, nullptr);
    // The OpenGL renderer is freed by the render thread, on its context.
    if (m_renderThread) {
        if (m_gl && m_shared && m_renderThread->isRunning()) {
            RenderShared* shared = m_shared.get();
            QMetaObject::invokeMethod(shared->worker, [shared] { shared->stopGl(); }, Qt::BlockingQueuedConnection);
        }
        m_renderThread->quit();
        m_renderThread->wait();
    }
    if (m_shared) {
        if (m_shared->context) {
            mpv_render_context_set_update_callback(m_shared->context, nullptr, nullptr);
            mpv_render_context_free(m_shared->context);
            m_shared->context = nullptr;
        }
        delete m_shared->worker;
        m_shared->worker = nullptr;
    }
    delete std::exchange(m_surface, nullptr);
    if (m_mpv) {
        mpv_terminate_destroy(client("mpv_terminate_destroy"));
        m_mpv = nullptr;
        // The player's threads are gone, and with them the use of the
        // allocator's pools they filled (demuxer packets, decoded pictures).
        // Freed, that memory stays with the process unless it is handed
        // back (see LimitAllocatorPools).
#if defined(__GLIBC__)
        malloc_trim(0);
#endif
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
        QMetaObject::invokeMethod(engine, [engine] { engine->handleEvents(); }, Qt::QueuedConnection);
}

// Runs on a libmpv thread, like onWakeup: posts to the render thread.
void PlaybackEngine::onRenderUpdate(void* data)
{
    auto* shared = static_cast<RenderShared*>(data);
    if (!shared->updatePosted.exchange(true))
        QMetaObject::invokeMethod(shared->worker, [shared] { shared->update(); }, Qt::QueuedConnection);
}

void PlaybackEngine::handleEvents()
{
    m_wakeupPosted = false;
    QPointer<PlaybackEngine> self(this);
    while (self && m_mpv) {
        const mpv_event* event = mpv_wait_event(client("mpv_wait_event"), 0);
        if (!event || event->event_id == MPV_EVENT_NONE)
            break;
        handleEvent(*event);
    }
}

void PlaybackEngine::pictureArrived()
{
    if (!m_shared)
        return;
    m_shared->picturePosted = false;
    m_haveFrame = true;
    QPointer<PlaybackEngine> self(this);
    emit frameReady();
    if (self && m_loading && readyToFinishLoad())
        finishLoad({});
}

void PlaybackEngine::finishLoad(const QString& failure)
{
    if (!m_loading)
        return;
    m_loading = false;
    m_loadLimit->stop();
    if (failure.isEmpty()) {
        m_loaded = true;
        const double first = m_hasVideo ? readDouble("time-pos", NAN) : NAN;
        m_firstPicture = std::isfinite(first) ? std::optional<double>(first) : std::nullopt;
        startAtOrigin();
        emit loaded();
        return;
    }
    // Make sure the player gives the file up.
    if (m_mpv) {
        const char* stop[] = {"stop", nullptr};
        mpv_command(client("stop"), stop);
    }
    m_loaded = false;
    m_fileLoaded = false;
    m_haveFrame = false;
    m_duration = 0.0;
    emit loadFailed(failure);
}

QImage PlaybackEngine::currentImage(quint64* serial) const
{
    if (!m_shared || !(m_loaded || m_loading))
        return {};
    QMutexLocker lock(&m_shared->mutex);
    if (serial)
        *serial = m_shared->serial;
    return m_shared->latest;
}

bool PlaybackEngine::drawPicture(const TextureDrawer& draw, quint64* serial) const
{
    QOpenGLContext* current = QOpenGLContext::currentContext();
    if (!m_gl || !m_shared || !(m_loaded || m_loading) || !current)
        return false;
    QMutexLocker lock(&m_shared->mutex);
    if (m_shared->front < 0)
        return false;
    RenderShared::Target& target = m_shared->targets[m_shared->front];
    draw(target.fbo->texture(), target.fbo->size());
    // The render thread draws into this texture again only once the
    // drawing queued here has been done.
    QOpenGLExtraFunctions* f = current->extraFunctions();
    if (m_shared->fences) {
        if (target.shown)
            f->glDeleteSync(target.shown);
        target.shown = f->glFenceSync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0);
        f->glFlush();
    } else {
        f->glFinish();
    }
    if (serial)
        *serial = m_shared->serial;
    return true;
}

QSize PlaybackEngine::renderSize() const
{
    if (!m_shared)
        return {};
    QMutexLocker lock(&m_shared->mutex);
    return m_shared->size;
}

void PlaybackEngine::setRenderSize(const QSize& pixels)
{
    if (!m_shared)
        return;
    {
        QMutexLocker lock(&m_shared->mutex);
        if (m_shared->size == pixels)
            return;
        m_shared->size = pixels;
    }
    RenderShared* shared = m_shared.get();
    QMetaObject::invokeMethod(shared->worker, [shared] { shared->redraw(); }, Qt::QueuedConnection);
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
    case MPV_EVENT_HOOK:
        turnUpright();
        mpv_hook_continue(client("mpv_hook_continue"), static_cast<const mpv_event_hook*>(event.data)->id);
        break;
    case MPV_EVENT_START_FILE:
        m_entryId = static_cast<const mpv_event_start_file*>(event.data)->playlist_entry_id;
        break;
    case MPV_EVENT_FILE_LOADED: {
        if (!m_loading)
            break;
        m_fileLoaded = true;
        m_duration = std::max(0.0, readDouble("duration", 0.0));
        m_demuxerStart = readDouble("demuxer-start-time", 0.0);
        char* vid = mpv_get_property_string(client("mpv_get_property_string"), "vid");
        m_hasVideo = vid && qstrcmp(vid, "no") != 0 && *vid;
        mpv_free(vid);
        // MPEG-TS and MPEG-PS have no index of key frames, and a file whose
        // timestamps do not start at 0 is seeked in by them: the container's
        // seek may land away from the target there.
        char* format = mpv_get_property_string(client("mpv_get_property_string"), "file-format");
        const QByteArrayList formats = QByteArray(format ? format : "").split(',');
        mpv_free(format);
        m_inexactContainer = formats.contains("mpegts") || formats.contains("mpeg")
            || readDouble("demuxer-start-time", 0.0) > 0.001;
        // MPEG-TS and MPEG-PS leave timestamps out of some pictures, and the
        // player's guess for them after a seek may lie up to half a frame
        // late: their positions are taken to the frame at or before.
        const bool guessedTimes = formats.contains("mpegts") || formats.contains("mpeg");
        m_frameRate = guessedTimes ? std::max(0.0, readDouble("container-fps", 0.0)) : 0.0;
        // Ready now unless a picture is still to come.
        if (readyToFinishLoad())
            finishLoad({});
        break;
    }
    case MPV_EVENT_END_FILE: {
        const auto* end = static_cast<const mpv_event_end_file*>(event.data);
        if (end->playlist_entry_id != m_entryId)
            break;
        // The file is gone from the player, whatever the reason.
        m_loaded = false;
        m_fileLoaded = false;
        m_seekPending = false;
        if (end->reason == MPV_END_FILE_REASON_ERROR)
            finishLoad(QStringLiteral("The playback engine could not open it: %1.")
                           .arg(QString::fromUtf8(mpv_error_string(end->error))));
        else
            finishLoad(QStringLiteral("The playback engine found nothing it could play in it."));
        break;
    }
    case MPV_EVENT_PLAYBACK_RESTART:
        // Playback is ready to start: a video whose decoder has put out no
        // picture by now has none to give.
        // (The video output is set up by the first picture.)
        if (m_loading && m_fileLoaded && m_hasVideo && !m_haveFrame && !readFlag("vo-configured"))
            finishLoad(QStringLiteral("No picture of its video could be decoded."));
        if (m_loading && m_fileLoaded) {
            m_restarted = true;
            if (readyToFinishLoad())
                finishLoad({});
        }
        if (m_seekPending) {
            ++m_restartsSinceSeek;
            const double pos = readDouble("time-pos", NAN);
            // A picture further than one and a half frames before the target,
            // or one starting after it (beyond the half frame by which a
            // guessed timestamp may be late): the container's seek did not
            // land on or before the key frame the target needs, so the exact
            // seek could not reach it. Seek again from further back, which in
            // the end is the file's start.
            const double fps = readDouble("container-fps", 0.0);
            const double frame = fps > 0.0 ? 1.0 / fps : kDefaultFrameSeconds;
            const double off = pos - m_seekTarget;
            if (m_inexactContainer && std::isfinite(pos) && (off > 0.75 * frame || off < -1.5 * frame)
                && m_demuxerOffset < m_seekTarget) {
                m_demuxerOffset = std::max(1.0, m_demuxerOffset * 2.0);
                const QByteArray offset = QByteArray::number(m_demuxerOffset, 'f', 3);
                mpv_set_property_string(client("mpv_set_property_string"), "hr-seek-demuxer-offset", offset.constData());
                const QByteArray where = QByteArray::number(m_seekTarget, 'f', 6);
                const char* command[] = {"seek", where.constData(), "absolute+exact", nullptr};
                if (mpv_command(client("mpv_command"), command) >= 0) {
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
            } else if (m_loading) {
                // The whole video went by without a picture.
                if (m_fileLoaded && m_hasVideo && !m_haveFrame)
                    finishLoad(QStringLiteral("No picture of its video could be decoded."));
            } else {
                m_seekPending = false;
                if (m_loaded && !m_endSignalled) {
                    m_endSignalled = true;
                    emit endReached();
                }
            }
        } else if (qstrcmp(prop->name, "vid") == 0) {
            // The player drops a video track whose decoder cannot start.
            const bool none = prop->format != MPV_FORMAT_STRING || qstrcmp(*static_cast<char**>(prop->data), "no") == 0;
            if (none && m_loading && m_fileLoaded && m_hasVideo && !m_haveFrame)
                finishLoad(QStringLiteral("Its video could not be decoded."));
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

QByteArray PlaybackEngine::UprightFilter(int degrees)
{
    switch (((degrees % 360) + 360) % 360) {
    case 0:
        return {};
    case 90:
        return QByteArrayLiteral("lavfi=[transpose=clock]");
    case 180:
        return QByteArrayLiteral("lavfi=[hflip,vflip]");
    case 270:
        return QByteArrayLiteral("lavfi=[transpose=cclock]");
    default: {
        // Any other angle: turned within a frame that holds the whole picture.
        const QByteArray angle = QByteArray::number(degrees) + "*PI/180";
        return "lavfi=[rotate=" + angle + ":ow=rotw(" + angle + "):oh=roth(" + angle + ")]";
    }
    }
}

void PlaybackEngine::turnUpright()
{
    // The tracks are known but none is chosen yet: the player will take the
    // video track marked as default, or else the first one.
    mpv_handle* mpv = client("mpv_get_property");
    int chosen = -1;
    const int count = int(readDouble("track-list/count", 0.0));
    for (int i = 0; i < count; ++i) {
        const QByteArray entry = "track-list/" + QByteArray::number(i) + "/";
        char* type = mpv_get_property_string(mpv, (entry + "type").constData());
        const bool video = type && qstrcmp(type, "video") == 0;
        mpv_free(type);
        if (!video)
            continue;
        if (chosen < 0)
            chosen = i;
        if (readFlag((entry + "default").constData())) {
            chosen = i;
            break;
        }
    }
    const int degrees = chosen < 0 ? 0
        : int(readDouble(("track-list/" + QByteArray::number(chosen) + "/demux-rotation").constData(), 0.0));
    mpv_set_property_string(mpv, "vf", UprightFilter(degrees).constData());
}

bool PlaybackEngine::Load(const QString& path)
{
    // Local regular files only: the player would take some names for
    // addresses or special sources, and would wait forever on a FIFO.
    std::error_code error;
    const QFileInfo info(path);
    if (!m_mpv || !m_shared || path.isEmpty()
        || !std::filesystem::is_regular_file(info.filesystemFilePath(), error))
        return false;

    m_path = path;
    m_loading = true;
    m_loaded = false;
    m_fileLoaded = false;
    m_haveFrame = false;
    m_restarted = false;
    m_hasVideo = false;
    m_stopped = false;
    m_endSignalled = false;
    m_seekPending = false;
    m_duration = 0.0;
    m_firstPicture.reset();
    m_demuxerStart = 0.0;
    m_entryId = -1;

    const QByteArray file = info.absoluteFilePath().toUtf8();
    const char* command[] = {"loadfile", file.constData(), "replace", nullptr};
    if (mpv_command(client("loadfile"), command) < 0) {
        m_loading = false;
        return false;
    }
    m_loadLimit->start(kLoadLimitMs);
    return true;
}

void PlaybackEngine::Run()
{
    if (!m_loaded)
        return;
    m_stopped = false;
    int pause = 0;
    mpv_set_property(client("mpv_set_property"), "pause", MPV_FORMAT_FLAG, &pause);
}

void PlaybackEngine::Pause()
{
    if (!m_loaded)
        return;
    m_stopped = false;
    int pause = 1;
    mpv_set_property(client("mpv_set_property"), "pause", MPV_FORMAT_FLAG, &pause);
}

void PlaybackEngine::Stop()
{
    if (!m_loaded)
        return;
    int pause = 1;
    mpv_set_property(client("mpv_set_property"), "pause", MPV_FORMAT_FLAG, &pause);
    m_stopped = true;
}

void PlaybackEngine::setTimeOrigin(const TimeOrigin& origin)
{
    m_origin = origin;
    startAtOrigin();
}

double PlaybackEngine::engineZero() const { return m_origin.EngineZero(m_firstPicture, m_demuxerStart); }

double PlaybackEngine::toPosition(double engineSeconds) const
{
    return m_origin.PositionOfEngineTime(engineSeconds, engineZero());
}

double PlaybackEngine::toEngine(double position) const { return m_origin.EngineTimeOfPosition(position, engineZero()); }

void PlaybackEngine::startAtOrigin()
{
    // Half a millisecond before position 0 is still the frame at 0.
    if (m_loaded && m_firstPicture && toPosition(*m_firstPicture) < -0.0005)
        setCurrentPosition(0.0);
}

double PlaybackEngine::Duration() const
{
    if (!m_loaded || m_duration <= 0.0)
        return 0.0;
    return std::max(0.0, toPosition(m_duration));
}

double PlaybackEngine::CurrentPosition() const
{
    if (!m_loaded)
        return 0.0;
    if (isSeeking())
        return m_seekPosition;
    // At the end the position is the end of the file (the last frame starts
    // a frame's length before it).
    const double length = Duration();
    if (readFlag("eof-reached") && length > 0.0)
        return length;
    const double now = readDouble("time-pos", NAN);
    double pos = std::isfinite(now) ? std::max(0.0, toPosition(now)) : 0.0;
    if (m_frameRate > 0.0)
        pos = std::floor(pos * m_frameRate + kFrameGridTolerance) / m_frameRate;
    if (length > 0.0)
        pos = std::min(pos, length);
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
    double position = std::max(0.0, seconds);
    if (Duration() > 0.0)
        position = std::min(position, Duration());
    const double target = toEngine(position);
    const QByteArray where = QByteArray::number(target, 'f', 6);
    const char* command[] = {"seek", where.constData(), "absolute+exact", nullptr};
    if (mpv_command(client("seek"), command) < 0)
        return;
    m_seekPending = true;
    m_seekTarget = target;
    m_seekPosition = position;
    m_restartsSinceSeek = 0;
    m_seekClock.start();
}

bool PlaybackEngine::StepFrame(bool back)
{
    if (!m_loaded)
        return false;
    // A step starts from the picture on screen, not from a seek's target.
    m_seekPending = false;
    m_stopped = false;
    if (back && m_frameRate > 0.0) {
        // The player's own step back seeks to just before the picture, and
        // in MPEG-TS and MPEG-PS the container's seek may land after it (the
        // step then fails and the picture stays). An exact seek one frame
        // back goes through the landing check of setCurrentPosition.
        const double now = CurrentPosition();
        if (now > 0.0) {
            int pause = 1;
            mpv_set_property(client("mpv_set_property"), "pause", MPV_FORMAT_FLAG, &pause);
            setCurrentPosition(std::max(0.0, now - 1.0 / m_frameRate));
        }
        return true;
    }
    const char* command[] = {back ? "frame-back-step" : "frame-step", nullptr};
    return mpv_command(client(command[0]), command) >= 0;
}

bool PlaybackEngine::setRate(double rate)
{
    if (!std::isfinite(rate) || rate <= 0.0)
        return false;
    if (m_mpv && mpv_set_property(client("mpv_set_property"), "speed", MPV_FORMAT_DOUBLE, &rate) < 0)
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
        if (mpv_set_property(client("mpv_set_property"), "volume", MPV_FORMAT_DOUBLE, &percent) < 0)
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
        if (mpv_set_property_string(client("mpv_set_property_string"), "af", filter.constData()) < 0)
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

bool PlaybackEngine::readFlag(const char* name) const
{
    int value = 0;
    if (!m_mpv || mpv_get_property(client("mpv_get_property"), name, MPV_FORMAT_FLAG, &value) < 0)
        return false;
    return value != 0;
}

double PlaybackEngine::readDouble(const char* name, double fallback) const
{
    double value = 0.0;
    if (!m_mpv || mpv_get_property(client("mpv_get_property"), name, MPV_FORMAT_DOUBLE, &value) < 0)
        return fallback;
    return value;
}

}  // namespace clip
