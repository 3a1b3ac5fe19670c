#pragma once

#include "engine/ChildRuns.h"
#include "engine/SmartCutInput.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>

namespace clip {

class BesideRun;
class EncoderRunner;

// The first stage of a smart cut: asks the probe about the input around the
// selection (its streams with the frames' interlace flags and the sound's
// frames at the start; the video's packets and key frames), and the output's
// muxer whether it takes the sound and subtitles as they are, most of it in
// processes side by side; then plans, off the window's thread.
class SmartCutSurvey {
public:
    struct Request {
        QString input, output;
        TimeOrigin origin;
        double start = 0.0, end = 0.0;  // the selection, in the input's own seconds
        // Whether the plan may take the first key frame for an IDR picture
        // before its look has answered (made again where it is none).
        bool mayAssumeIdr = true;
    };

    // `runner` runs the muxer's trials; `stop` says when a Stop (or the
    // job's end) ends the survey.
    SmartCutSurvey(Request request, EncoderRunner& runner, std::function<bool()> stop);

    // Done with Found() filled; Refused where the video cannot be smart-cut;
    // Failed where there is nothing to cut.
    StageEnd Run();
    SmartCutInput& Found() { return m_in; }

    // Encoder options for the subtitle streams `subtitles` (in their output
    // order) where the target cannot take them as they are.
    static QStringList SubtitleCodecs(const QList<KeptStream>& subtitles, bool matroska);

private:
    // Starts the questions about the input side by side: the streams with
    // the look at the start (read first), the video's packets, and where
    // needed the muxer's trial of the sound and subtitles.
    StageEnd Ask();
    // The probe's arguments that show the streams and, `withFrames`, the
    // frames it reads.
    static QStringList StreamEntries(bool withFrames);
    // Reads the streams' part of the look's report into the findings; why
    // the video cannot be smart-cut, or empty.
    QString ReadStreams(const QJsonObject& info);
    // The picture's field order (from its first key frame where the stream
    // does not say it), the encoder options of the re-encoded parts, and
    // whether the output's container takes the rotation, sound and subtitles.
    StageEnd ReadPicture();
    // Reads the listing, plans from it, and lists again where the plan needs
    // more of it (from further back, or the middle of a long selection).
    StageEnd ListAndPlan();
    // The listing's packets from a key frame at or before the start: the
    // listing `report`, or one from further back where it holds none.
    StageEnd ReadPackets(QString report, QVector<VideoPacket>* packets);
    // Which of the key frames the plan may copy from start an H.264 sequence.
    StageEnd FindSequenceStarts(const QVector<VideoPacket>& packets, QHash<int, bool>* startsSequence);
    // Whether `packet`, a key frame, is an IDR picture, read in place in the
    // input; empty where it cannot be read there.
    std::optional<bool> ReadIdr(const VideoPacket& packet);
    // A look by the probe at the first packet of the key frame shown at `pts`.
    std::shared_ptr<BesideRun> KeyFrameLook(qint64 pts) const;
    // Starts the look at the first key frame from the start on as soon as
    // the listing names it.
    void WatchListing();
    // The listing's arguments from the `margin`th distance back on.
    QStringList ListingArguments(std::size_t margin);
    // The encoder's arguments that copy `streams` into the output with no
    // length, to see whether its muxer (Matroska's where `matroska` is set)
    // takes them.
    QStringList TakesArguments(const QList<KeptStream>& streams, bool matroska) const;
    // Which of the sound and subtitle streams the output's container refuses.
    StageEnd ContainerRefusal();
    // Where the sound starts: the audio frame that covers the start, from the
    // look at the start or, where that could not tell, the sound's own listing.
    StageEnd FindSoundStart();
    // The video's time base units of `seconds`, rounded up.
    qint64 Ticks(double seconds) const;

    Request m_request;
    EncoderRunner& m_runner;
    std::function<bool()> m_stop;
    SmartCutInput m_in;
    QString m_probe;
    bool m_mp4Family = true;  // the output is MP4 or MOV, not Matroska
    // The questions under way.
    std::optional<BesideRun> m_takes, m_listing, m_startLook;
    QJsonArray m_startFrames;  // the frames of the look at the start
    int m_videoIndex = -1, m_audioIndex = -1;
    QString m_audioTimeBase;
    bool m_h264 = false;
    bool m_packetsInPlace = false;  // MP4 or MOV: a packet's bytes lie where the listing says
    bool m_windowed = false;        // the listing is around the selection's ends only
    bool m_whole = false;           // the listing starts at the input's start
    std::size_t m_margin = 0;       // how far back before the start it starts
    // The look at the first key frame from the start on, and its time; how
    // much of the listing has been read for it.
    std::shared_ptr<BesideRun> m_firstKeyLook;
    qint64 m_firstKeyPts = -1;
    qsizetype m_listed = 0;
};

// Whether the look at one H.264 key frame's first packet (`look`, of the key
// frame shown at `pts`) found an IDR picture; the parameter set ids sent
// with it are added to `ids`.
bool StartsSequence(const BesideRun& look, qint64 pts, QSet<int>* ids);

}  // namespace clip
