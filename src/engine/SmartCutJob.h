#pragma once

#include "engine/CVideoConv.h"
#include "engine/SmartCutPlan.h"

#include <QElapsedTimer>
#include <QHash>
#include <QSet>
#include <QStringList>

#include <memory>

class QTemporaryDir;

namespace clip {

class BesideRun;

// A smart cut: the frames of the selection [start, end) in the output's
// container, the picture copied from the input wherever it can be (from the
// first usable key frame on) and re-encoded at high quality only where it
// cannot (before that key frame, and after the last one where the copied
// packets would need frames past the end), every audio and subtitle stream
// copied from the audio frame that covers the start (SmartCutPlan.h).
//
// The steps are encoder and probe runs through the job's runner, so one
// Stop ends whichever runs: the stream and packet listings (probe), the
// head, the body, the tail (MPEG-TS parts with the parameter sets in the
// stream; a long body through a pipe), the subtitles (Matroska or MP4), the
// join into the output (concat listing, the sound read straight from the
// input), and the check that the output decodes without a complaint and
// holds exactly the planned frames. The parts live in a
// private folder beside the output, removed in every outcome. One bar runs
// over all steps, weighted by their expected cost.
//
// Where the video cannot be smart-cut, the job ends as NotRun before any
// part is made, saying why in ReencodeOffer(): its owner may offer the
// frame-exact re-encode instead.
class SmartCutJob : public CVideoConv {
    Q_OBJECT

public:
    explicit SmartCutJob(QObject* parent = nullptr);
    ~SmartCutJob() override;

    // The length of the selection in seconds, taken to the millisecond below
    // as the re-encoding cut's "-t": the frames shown from the start on for
    // that long are the output, the frame at the end mark is not.
    void setSelectionLength(double seconds);
    // Why the last run could not keep the original quality ("Smart cut
    // cannot keep the original quality of this video (...)."), when it
    // ended for that reason; empty otherwise.
    QString ReencodeOffer() const { return m_reencodeOffer; }

    void StartConversion() override;

    // The parts folders a job makes (QDir name filter) and the lock file in
    // each that its living owner holds.
    static constexpr const char* kPartsFolderPattern = ".clipwright-smartcut-*";
    static constexpr const char* kPartsOwnerFile = "owner.lock";
    // Removes the parts folders in `folder` whose owner died before it could
    // remove them.
    static void RemoveAbandonedParts(const QString& folder);

    // The last run's plan (frames of each part), for the tests and the bench.
    const SmartCutPlan& Plan() const { return m_plan; }
    // The video codec of the last run's input, as the probe names it ("h264", "hevc", ...).
    const QString& VideoCodec() const { return m_video.codec; }
    // How long the last run's picture lasts (its frames' span), in seconds.
    double PlannedSeconds() const { return double((m_plan.endPts - m_plan.firstPts) * m_tbNum) / double(m_tbDen); }

private:
    struct Step;
    enum class StepResult { Done, Stopped, Failed };

    // Probes the input and plans; a text why the video cannot be smart-cut,
    // or empty. Sets `stopped` when a Stop ended it.
    QString Analyse(bool* stopped);
    // Plans and makes the output; true when the plan must be made again
    // (a key frame taken for an IDR picture before its look answered is none).
    bool MakeOutput();
    // Why the output's container refuses the input's sound or subtitles
    // copied as they are; empty when it takes them.
    QString ContainerRefusal(bool mp4Family, bool* stopped);
    // The encoder's arguments that copy `streams` into `target` with no
    // length, to see whether its muxer (Matroska's where `matroska` is set)
    // takes them.
    QStringList TakesArguments(const QList<QPair<int, QString>>& streams, bool matroska, const QString& target) const;
    // Encoder options for the subtitle streams `subtitles` (in their output
    // order) where the target cannot take them as they are.
    static QStringList SubtitleCodecs(const QList<QPair<int, QString>>& subtitles, bool matroska);
    StepResult RunStep(const Step& step, QString* report);
    QString Command(const QString& program, const QStringList& args) const;
    QList<Step> Steps(const QTemporaryDir& folder);
    QString CheckOutput(bool* stopped);
    // The selection's start and end in the input's own times: the one place
    // where the marks meet the input's timestamps.
    double SelectionStartSeconds() const;
    double EndSeconds() const;
    void Fail(const QString& message, const QString& details);
    // Logs the time since the start of the run at the end of `step`.
    void StepDone(const char* step);

    qint64 m_length = 0;  // milliseconds
    QElapsedTimer m_stepClock;
    QString m_reencodeOffer;
    SmartCutPlan m_plan;
    VideoProperties m_video;
    QStringList m_encoderOptions;  // of the re-encoded parts
    QString m_videoMap;            // the video stream, as "-map" names it
    // The input's stream numbers of the audio and subtitle streams kept,
    // with their codecs; the stream time base and the times on the command line.
    QList<QPair<int, QString>> m_audioStreams, m_subtitleStreams;
    qint64 m_tbNum = 1, m_tbDen = 1;
    QHash<int, QPair<qint64, qint64>> m_subtitleTimeBases;  // by input stream number
    QVector<qint64> m_keyFrames;  // presentation times of the listed key frames
    QVector<qint64> m_shownPts;   // of the frames in the output, in order
    int m_joinedPictures = -1;    // the picture's packets the join wrote
    int m_copiedPictures = -1;    // the packets the body's copy wrote
    bool m_middleUnlisted = false;  // the plan's body counts the listed packets only
    double m_expectedVideoDelay = 0.0;  // how much after the file's start the join puts the picture
    // The look at the first key frame the copy starts at, still running when
    // the plan took it for an IDR picture; whether the plan may do so.
    std::unique_ptr<BesideRun> m_pendingLook;
    qint64 m_pendingLookPts = 0;
    bool m_mayAssumeIdr = true;
    double m_audioStart = 0.0;  // absolute seconds of the audio frame that covers the start
    bool m_hasAudioStart = false;
    int m_rotation = 0;         // degrees the picture is turned when shown, as the probe reports it
    QString m_codecTag;         // the input's video sample entry ("avc1", "hvc1", ...)
    QSet<int> m_inputSetIds;    // H.264 parameter set ids the input uses
};

}  // namespace clip
