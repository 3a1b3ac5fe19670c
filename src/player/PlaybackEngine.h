#pragma once

#include <QElapsedTimer>
#include <QImage>
#include <QObject>
#include <QSize>
#include <QString>

#include "common/MediaTime.h"

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

class QOffscreenSurface;
class QThread;
class QTimer;

struct mpv_handle;
struct mpv_event;

namespace clip {

// libmpv refuses to start unless the numeric locale is "C", and the
// application object sets the locale from the environment. Call this once
// after the application object exists (it changes LC_NUMERIC only).
void EnsureCNumericLocale();

// Every file loaded gets a new player whose threads allocate afresh; with
// the C library's default of up to eight allocator pools per core, what they
// free is spread over many pools and stays with the process, and its
// resident set grows with every load. Call this first thing in main(),
// before any thread starts: it keeps the pools to two (glibc only; nothing
// elsewhere). PlaybackEngine hands freed memory back after each player.
void LimitAllocatorPools();

// Plays one media file: loading, play, pause, stop, seeking, rate, volume
// and balance, with the pictures handed to the pane that shows them: as
// images (currentImage()) on the software path, as OpenGL textures
// (drawPicture()) on the GPU path (see ChosenPreviewPath()). Built over
// libmpv's client and render APIs.
//
// Two threads, kept apart as libmpv's render API requires: the owner's
// thread (the user interface thread) makes every client-API call (commands,
// property reads and writes, events, destroy) and never renders; a render
// thread of the engine's own renders (on the GPU path on an OpenGL context
// of its own) and makes no client-API call. Every client call goes through
// one gate that checks it is not on the render thread (see
// SetRenderThreadCallHandler). libmpv's own threads only post to the other
// two.
//
// Loading is event-driven: Load() returns at once and the engine later
// reports loaded() or loadFailed() with its reason.
//
// One object per file: make a new engine for every load and destroy the old
// one (destroying it releases the decoder and its threads).
class PlaybackEngine : public QObject {
    Q_OBJECT

public:
    enum class State {
        Empty,    // nothing loaded (never loaded, failed, or loading)
        Stopped,  // loaded, halted by Stop()
        Paused,   // loaded, halted by Pause() or just loaded
        Running,  // playing
        AtEnd,    // played to the end; halted on the last frame
    };
    Q_ENUM(State)

    // Volume and balance limits, in hundredths of a decibel.
    static constexpr long kVolumeSilent = -10000;
    static constexpr long kVolumeFull = 0;
    static constexpr long kBalanceLeft = -10000;
    static constexpr long kBalanceRight = 10000;

    // The longest a load may take before it is given up: a readable file on
    // slow storage (a network share, a sleeping disk) takes its time.
    static constexpr int kLoadLimitMs = 60000;

    explicit PlaybackEngine(QObject* parent = nullptr);
    ~PlaybackEngine() override;

    PlaybackEngine(const PlaybackEngine&) = delete;
    PlaybackEngine& operator=(const PlaybackEngine&) = delete;

    // False when libmpv could not be started (for instance under a non-C
    // numeric locale); every load then fails.
    bool isValid() const { return m_mpv != nullptr; }

    // Starts loading `path` (a regular file). Later the engine emits
    // loaded() once the file is ready (duration known, first picture
    // decoded, or no picture to wait for), paused at its start, or
    // loadFailed() with the reason (also when no picture of a video could be
    // decoded, or after kLoadLimitMs). False, with nothing emitted, when the
    // load cannot start at all.
    bool Load(const QString& path);
    bool isLoading() const { return m_loading; }

    // The thread that renders the pictures.
    QThread* renderThread() const { return m_renderThread; }

    // Called, on the thread concerned, when a client-API call (`call` names
    // it) is made on the render thread. The default handler ends the
    // program under tests (CLIPWRIGHT_TESTING) and logs otherwise; an empty
    // function restores it. Returns the previous handler.
    using RenderThreadCallHandler = std::function<void(const char* call)>;
    static RenderThreadCallHandler SetRenderThreadCallHandler(RenderThreadCallHandler handler);

    void Run();
    void Pause();
    // Halts playback and keeps the file and the position; seeking to 0
    // afterwards shows the first picture.
    void Stop();

    // Where positions start in the file (TimeOrigin), as the probe found it;
    // the identity until it is set. Every time the engine takes or gives
    // (Duration, CurrentPosition, setCurrentPosition) is a position, so the
    // engine's own clock never leaves it. Frames that the engine would show
    // before position 0 (those an MP4 edit list leaves out) are passed over:
    // a file that opens on one opens at position 0 instead.
    void setTimeOrigin(const TimeOrigin& origin);
    const TimeOrigin& timeOrigin() const { return m_origin; }

    // Length of the loaded video in seconds (from position 0 to its end); 0
    // when nothing is loaded or the length is unknown.
    double Duration() const;

    // Playback position in seconds. At the end of the file it is the
    // duration. Right after setCurrentPosition() it reads the requested
    // position, also while the seek is still under way.
    double CurrentPosition() const;
    // Seeks exactly to position `seconds` (clamped to 0..Duration()). The
    // play state does not change. Ignored when nothing is loaded.
    void setCurrentPosition(double seconds);
    // Shows the next (or, `back`, the previous) frame and pauses there
    // (libmpv's frame-step and frame-back-step). Ignored when nothing is
    // loaded; false when the player refused the command.
    bool StepFrame(bool back);
    // True from setCurrentPosition() until the player has arrived there.
    bool isSeeking() const;

    // Playback speed, 1.0 normal. False (and nothing changes) for a rate
    // that is not positive or cannot be applied.
    double Rate() const { return m_rate; }
    bool setRate(double rate);

    // Hundredths of a decibel: 0 is full volume, -10000 silence. False (and
    // nothing changes) outside -10000..0.
    long Volume() const { return m_volume; }
    bool setVolume(long volume);

    // Hundredths of a decibel by which one side is attenuated: negative
    // values attenuate the right channel, positive ones the left, 0 is
    // centred, +-10000 silences one side. False outside -10000..10000.
    long Balance() const { return m_balance; }
    bool setBalance(long balance);

    State state() const;
    bool isLoaded() const { return m_loaded; }
    QString filePath() const { return m_path; }

    // Whether pictures are rendered with OpenGL (the GPU path).
    bool rendersWithOpenGl() const { return m_gl; }

    // The latest picture, rendered at renderSize() with the video kept in its
    // aspect ratio and black bars around it; null before the first one and
    // on the GPU path. `serial`, when given, receives the number of pictures
    // rendered so far.
    QImage currentImage(quint64* serial = nullptr) const;
    // The GPU path: calls `draw` with the texture holding the latest picture
    // (top row first, as in an image) and its size in pixels, on
    // the calling thread, whose current OpenGL context must share textures
    // with Qt's global share context; the picture is kept from being drawn
    // over until the drawing queued by `draw` is done. False, without a
    // call, when there is no picture or this is the software path.
    using TextureDrawer = std::function<void(unsigned texture, const QSize& pixels)>;
    bool drawPicture(const TextureDrawer& draw, quint64* serial = nullptr) const;
    // The size, in pixels, pictures are rendered at; empty (the start)
    // takes the pictures without drawing them. A new size redraws the
    // current picture.
    void setRenderSize(const QSize& pixels);
    QSize renderSize() const;

    // Conversions between the volume and balance units above and the
    // player's own volume percentage and per-channel gains.
    static double VolumeToPercent(long volume);
    static void BalanceToGains(long balance, double* left, double* right);
    // The player's video filter that shows a picture stored turned by
    // `degrees` (clockwise) upright; empty for none.
    static QByteArray UprightFilter(int degrees);

signals:
    void loaded();
    void loadFailed(const QString& reason);
    // A new picture is ready (currentImage()).
    void frameReady();
    // The end of the file has been reached.
    void endReached();

private:
    struct RenderShared;

    static void onWakeup(void* self);
    static void onRenderUpdate(void* shared);

    // The one way to the client API: the handle, after the check that this
    // is not the render thread.
    mpv_handle* client(const char* call) const;
    void handleEvents();
    void handleEvent(const ::mpv_event& event);
    void pictureArrived();
    void finishLoad(const QString& failure);
    // Loaded once the file is open and, for a video, its first picture is
    // drawn and the player's clock stands on it.
    bool readyToFinishLoad() const { return m_fileLoaded && (!m_hasVideo || (m_haveFrame && m_restarted)); }
    void turnUpright();
    bool readFlag(const char* name) const;
    double readDouble(const char* name, double fallback) const;
    void releasePlayer();
    // The engine's clock and positions (TimeOrigin).
    double engineZero() const;
    double toPosition(double engineSeconds) const;
    double toEngine(double position) const;
    // Leaves a first picture that lies before position 0 for the one at 0.
    void startAtOrigin();

    mpv_handle* m_mpv = nullptr;
    bool m_gl = false;
    QOffscreenSurface* m_surface = nullptr;  // the render thread's OpenGL surface
    QThread* m_renderThread = nullptr;
    std::shared_ptr<RenderShared> m_shared;
    QTimer* m_loadLimit = nullptr;
    std::atomic<bool> m_wakeupPosted{false};
    bool m_log = false;

    QString m_path;
    bool m_loading = false;
    bool m_loaded = false;
    bool m_fileLoaded = false;
    bool m_haveFrame = false;
    // The player has restarted playback after opening the file: from then on
    // its clock reads the first picture's own time (before, it may still read
    // where the opening started, e.g. the sound's first sample).
    bool m_restarted = false;
    bool m_hasVideo = false;
    bool m_stopped = false;
    bool m_endSignalled = false;
    double m_duration = 0.0;  // the end, on the engine's clock
    TimeOrigin m_origin;
    std::optional<double> m_firstPicture;  // the engine's clock at the first picture
    double m_demuxerStart = 0.0;           // the engine's own start (its demuxer-start-time)
    double m_frameRate = 0.0;              // positions are taken to this frame grid (0: not)
    double m_rate = 1.0;
    long m_volume = kVolumeFull;
    long m_balance = 0;

    // The target of the latest seek, shown as the position until the player
    // has got there.
    bool m_seekPending = false;
    double m_seekTarget = 0.0;    // on the engine's clock
    double m_seekPosition = 0.0;  // the same as a position
    int m_restartsSinceSeek = 0;
    QElapsedTimer m_seekClock;
    // How far before an exact seek's target the container is asked to seek
    // (mpv's hr-seek-demuxer-offset). Grows for a file whose container lands
    // after the target (MPEG-TS and MPEG-PS have no index of key frames).
    double m_demuxerOffset = 0.0;
    bool m_inexactContainer = false;  // the container's seeks may land away from their target
    qint64 m_entryId = -1;
};

}  // namespace clip
