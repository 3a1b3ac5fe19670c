#pragma once

#include <QList>
#include <QObject>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <memory>
#include <optional>

namespace clip {

class CVideoConv;
class KeyFrameScan;
class PlaybackEngine;

// The preview's state and rules without a widget: the video chosen, its
// probe and playback engine, its key frames and the exact selection marks.
// The window shows what the signals report and hands in what its timeline
// holds (whole seconds); boxes go through the host services.
class VideoSession : public QObject {
    Q_OBJECT
public:
    static inline const QString kNotSupported = QStringLiteral("File is not supported");

    explicit VideoSession(QObject* parent = nullptr);
    ~VideoSession() override;

    // The open-file dialog's filter: "Description|pattern;pattern" pairs.
    static QStringList VideoFileFilter();
    // True when the text after the last "." of `fileName` is one of the
    // video extensions a drop accepts (any case).
    static bool IsVideoFileName(const QString& fileName);
    // The file a drop of `urls` opens: the first local one, when it is a file
    // with a video extension; else an empty text.
    static QString DroppedVideoPath(const QList<QUrl>& urls);
    // Says so, and gives true, when `path` names a file whose name is not
    // valid text in the system's file name encoding (UTF-8 here): it reaches
    // the program with its undecodable bytes replaced (U+FFFD), so no file
    // of that name is found, and no tool could be handed the real one.
    static bool RefuseUnreadableName(const QString& path);
    // Starts the clock the open steps are logged against (CLIPWRIGHT_MPV_LOG).
    static void StartOpenClock();

    // Makes `path` the current video: gives up a load under way, forgets the
    // previous file's key frames and marks (cleared()), and (regular files
    // only) probes the file, within the probe limit, while a new engine
    // opens it, drawing at `renderSize`. The file is taken (playerTaken())
    // when the probe agrees and the engine has it, refused if either refuses.
    void Open(const QString& path, QSize renderSize);
    // Ends a probe or load under way (the window is closing).
    void EndLoading();
    void setProbeTimeLimit(int ms) { m_probeLimitMs = ms; }

    bool IsLoaded() const { return m_loaded; }
    QString InputFile() const { return m_input; }
    // "hh:mm:ss" of the loaded video's length.
    QString DurationText() const { return m_durationText; }
    // The engine of the current (or last attempted) load; nullptr before it.
    PlaybackEngine* Player() const { return m_player.get(); }
    std::shared_ptr<PlaybackEngine> SharedPlayer() const { return m_player; }
    // The engine opening a file the probe has not agreed to yet.
    PlaybackEngine* OpeningPlayer() const { return m_opening.get(); }

    // Key frames (positions in seconds, ascending), read after each load.
    const QList<double>& KeyFrames() const { return m_keyFrames; }
    // The key frame at or before `seconds` (0 when none or unknown).
    double KeyFrameAtOrBefore(double seconds) const;
    // The next (or previous) key frame from the playback position.
    std::optional<double> KeyFrameBeside(bool forward) const;

    // Moves playback to `seconds`; the pictures then show their time.
    void Seek(double seconds);
    // Playback itself moves (play, pause, stop, the end): pictures no
    // longer carry their time into the window.
    void PlaybackMoved() { m_pictureShowsPosition = false; }
    void StepFrame(bool back);

    // Sets a mark at the frame on screen when the timeline (`timeline`
    // whole seconds; `playing`) still shows it, else at the timeline's
    // seconds. Gives the whole seconds the timeline's mark takes.
    qint32 MarkStart(qint32 timeline, bool playing);
    qint32 MarkEnd(qint32 timeline, bool playing);
    void ClearMarks();
    // Sets both marks exactly (a segment taken back for editing).
    void SetMarks(double start, double end) { m_markStart = start, m_markEnd = end; }
    // A selection end in seconds: the exact mark while the timeline's
    // mark (`timelineMark`) still holds its whole seconds, else those.
    double SelectionStart(qint32 timelineMark) const;
    double SelectionEnd(qint32 timelineMark) const;

signals:
    // A new file was chosen: the window resets its timeline and labels.
    void cleared();
    // The engine under the pane goes (nullptr) or comes.
    void showEngine(PlaybackEngine* engine);
    // The probe agreed: the new engine is the player, still loading.
    void playerTaken();
    // The player has the file and plays it: `lengthSeconds` whole.
    void started(qint32 lengthSeconds);
    // A picture of the window's own seek or step is up.
    void positionPictured();
    // The key frames were forgotten (a new file) or `scanned` anew.
    void keyFramesChanged(bool scanned);

private:
    bool LoadVideo(const QString& path, QSize renderSize);
    void PlayerLoaded();
    std::optional<double> FrameOnScreen(qint32 timeline, bool playing) const;

    bool m_loaded = false;
    QString m_input;
    QString m_durationText;
    // The longest the probe of a chosen file may take: as long as the
    // engine's own load (PlaybackEngine::kLoadLimitMs), generous for files
    // on slow storage (only regular files are probed; the window stays
    // responsive while it waits).
    int m_probeLimitMs = 60000;
    std::shared_ptr<PlaybackEngine> m_player;
    std::shared_ptr<PlaybackEngine> m_opening;  // opening a file the probe has not yet agreed to
    std::optional<QString> m_openingFailure;     // m_opening's reason, should it fail
    quint64 m_openSerial = 0;                    // counts Open calls
    std::shared_ptr<CVideoConv> m_probe;         // the probe under way, if any
    KeyFrameScan* m_keyFrameScan = nullptr;
    QList<double> m_keyFrames;
    // The exact marks, in seconds, beside the timeline's whole seconds.
    std::optional<double> m_markStart;
    std::optional<double> m_markEnd;
    // Set by seeks and frame steps, cleared by Play, Pause, Stop, the end
    // and a new file: while set, each new picture reports its time.
    bool m_pictureShowsPosition = false;
};

}  // namespace clip
