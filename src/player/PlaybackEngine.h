#pragma once

#include <QElapsedTimer>
#include <QImage>
#include <QObject>
#include <QSize>
#include <QString>

#include <atomic>

struct mpv_handle;
struct mpv_render_context;
struct mpv_event;

namespace clip {

// libmpv refuses to start unless the numeric locale is "C", and the
// application object sets the locale from the environment. Call this once
// after the application object exists (it changes LC_NUMERIC only).
void EnsureCNumericLocale();

// Plays one media file: loading, play, pause, stop, seeking, rate, volume
// and balance, with the picture handed out through renderFrame() to the pane
// that shows it. Built over libmpv's client and software render APIs.
//
// Every method must be called on the thread that owns the object (the user
// interface thread). libmpv's own threads never touch the object: their
// wake-ups are posted to the owner's thread and handled there.
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

    explicit PlaybackEngine(QObject* parent = nullptr);
    ~PlaybackEngine() override;

    PlaybackEngine(const PlaybackEngine&) = delete;
    PlaybackEngine& operator=(const PlaybackEngine&) = delete;

    // False when libmpv could not be started (for instance under a non-C
    // numeric locale); every load then fails.
    bool isValid() const { return m_mpv != nullptr; }

    // Loads `path` and waits, keeping the window alive, until the file is
    // ready (duration known, first picture decoded) or has failed, at most
    // `timeoutMs`. The file is left paused at its start. False when the file
    // cannot be played, does not exist, or the time ran out.
    bool RenderFile(const QString& path, int timeoutMs = 10000);

    void Run();
    void Pause();
    // Halts playback and keeps the file and the position; seeking to 0
    // afterwards shows the first picture.
    void Stop();

    // Length of the loaded file in seconds; 0 when nothing is loaded or the
    // length is unknown.
    double Duration() const;

    // Playback position in seconds. At the end of the file it is the
    // duration. Right after setCurrentPosition() it reads the requested
    // position, also while the seek is still under way.
    double CurrentPosition() const;
    // Seeks exactly to `seconds` (clamped to 0..Duration()). The play state
    // does not change. Ignored when nothing is loaded.
    void setCurrentPosition(double seconds);
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

    // The current picture rendered at `pixelSize`, the video kept in its
    // aspect ratio with black bars around it. A null image when nothing is
    // loaded or no picture has been decoded yet.
    QImage renderFrame(const QSize& pixelSize);

    // Conversions between the volume and balance units above and the
    // player's own volume percentage and per-channel gains.
    static double VolumeToPercent(long volume);
    static void BalanceToGains(long balance, double* left, double* right);

signals:
    // A new picture is ready for renderFrame(). When nobody renders it
    // during the signal, the engine discards it so playback goes on.
    void frameReady();
    // The end of the file has been reached.
    void endReached();

private slots:
    void handleEvents();
    void handleRenderUpdate();

private:
    static void onWakeup(void* self);
    static void onRenderUpdate(void* self);

    void handleEvent(const ::mpv_event& event);
    bool readFlag(const char* name) const;
    double readDouble(const char* name, double fallback) const;
    void releasePlayer();

    mpv_handle* m_mpv = nullptr;
    mpv_render_context* m_render = nullptr;
    std::atomic<bool> m_wakeupPosted{false};
    std::atomic<bool> m_updatePosted{false};
    bool m_log = false;

    QString m_path;
    bool m_loading = false;
    bool m_loaded = false;
    bool m_fileLoaded = false;
    bool m_failed = false;
    bool m_haveFrame = false;
    bool m_hasVideo = false;
    bool m_stopped = false;
    bool m_frameTaken = false;
    bool m_endSignalled = false;
    double m_duration = 0.0;
    double m_rate = 1.0;
    long m_volume = kVolumeFull;
    long m_balance = 0;

    // The target of the latest seek, shown as the position until the player
    // has got there.
    bool m_seekPending = false;
    double m_seekTarget = 0.0;
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
