#pragma once

#include "common/MediaTime.h"
#include "engine/SmartCutPlan.h"

#include <QHash>
#include <QList>
#include <QLoggingCategory>
#include <QPair>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVector>

#include <algorithm>
#include <memory>

namespace clip {

class BesideRun;

// The smart cut's steps and their times, for measuring where a cut's time
// goes: QT_LOGGING_RULES="clipwright.smartcut.steps.debug=true".
Q_DECLARE_LOGGING_CATEGORY(lcSmartCutSteps)
// Logs the time since StartStepClock at the end of `step`.
void StartStepClock();
void StepDone(const char* step);

// A time on a command line: seconds with microseconds, never negative.
inline QString Secs(double seconds)
{
    return QString::number(std::max(0.0, seconds), 'f', 6);
}

// How far before a frame's time a seek to that frame aims, so that rounding
// never puts the frame before the seek point (frames lie much further apart).
inline constexpr double kSeekLead = 0.0005;
// How long a probe may take to answer.
inline constexpr int kProbeWaitMs = 60000;

// How a stage of a smart cut ended. The stages hand it back, and the job
// turns it into its outcome, its status and its message in one place.
struct StageEnd {
    enum class Kind {
        Done,
        Stopped,  // a Stop ended it
        Failed,   // `message` (and the encoder's report behind it in `details`) for the user
        Refused,  // this video cannot be smart-cut: why, in `message`; nothing has been made
        Replan,   // a key frame taken for an IDR picture is none: plan again, waiting for the look
    };
    Kind kind = Kind::Done;
    QString message;
    QString details;

    static StageEnd Done() { return {}; }
    static StageEnd Stop() { return {Kind::Stopped, {}, {}}; }
    static StageEnd Fail(const QString& message, const QString& details = {}) { return {Kind::Failed, message, details}; }
    static StageEnd Refuse(const QString& why) { return {Kind::Refused, why, {}}; }
    static StageEnd Again() { return {Kind::Replan, {}, {}}; }
    bool IsDone() const { return kind == Kind::Done; }
};

// A stream kept as it is: its number in the input and its codec.
using KeptStream = QPair<int, QString>;

// What a smart cut knows of its input and selection once it has looked:
// the picture's properties and time base, the streams kept, the plan, the
// times of the listed key frames and of the frames kept, where the sound
// starts. The steps are made from it, and the output is checked against it.
struct SmartCutInput {
    QString input, output;  // the paths
    TimeOrigin origin;
    double start = 0.0, end = 0.0;  // the selection, in the input's own seconds

    VideoProperties video;
    QString codecTag;          // the video's sample entry ("avc1", "hvc1", ...)
    QString videoMap;          // the video stream, as "-map" names it
    int rotation = 0;          // degrees the picture is turned when shown
    qint64 tbNum = 1, tbDen = 1;  // the video's time base
    QSet<int> inputSetIds;     // H.264 parameter set ids the input uses
    QStringList encoderOptions;  // of the re-encoded parts
    QList<KeptStream> audioStreams, subtitleStreams;
    QHash<int, QPair<qint64, qint64>> subtitleTimeBases;  // by input stream number

    SmartCutPlan plan;
    QVector<qint64> keyFrames;  // presentation times of the listed key frames
    QVector<qint64> shownPts;   // of the frames in the output, in order
    bool middleUnlisted = false;  // the plan's body counts the listed packets only
    double audioStart = 0.0;    // the audio frame that covers the start, in the input's seconds
    bool hasAudioStart = false;
    double soundPacketsPerSecond = 0.0;  // seen around the start; 0 where unknown
    double pictureBytes = 0.0;           // a listed picture packet's size, on average
    bool joinOnly = false;               // a splice failed: the parts are joined

    // The look at the first key frame the copy starts at, still running when
    // the plan took it for an IDR picture; the key frame's time.
    std::shared_ptr<BesideRun> pendingLook;
    qint64 pendingLookPts = 0;

    double Seconds(qint64 ticks) const { return double(ticks * tbNum) / double(tbDen); }
};

}  // namespace clip
