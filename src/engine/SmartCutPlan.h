#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>
#include <optional>

namespace clip {

// One video packet as the probe lists it, in decode order: its times in the
// stream's time base, whether it is a key frame, and whether the container
// marks it as not to be shown (a frame before an edit list's start).
struct VideoPacket {
    qint64 pts = 0;
    qint64 dts = 0;
    bool key = false;
    bool discard = false;
    qint64 pos = -1;  // where its bytes start in the file (-1: not known)
    int size = 0;     // how many bytes it has
};

// How a smart cut makes the frames whose presentation times lie in
// [from, to): the frames before the first usable key frame are re-encoded
// (the head), the packets from that key frame on are copied as they are
// (the body), and the frames the copied packets cannot show without
// pictures past the end (at most the B-frames of the last group) are
// re-encoded too (the tail). Every count is a number of frames, every time
// in the stream's time base.
//
// A key frame is usable where the stream can be split in decode order
// without moving a frame across it: every packet before it has an earlier
// presentation time. The packets that follow it in decode order but are
// shown before it (the leading frames of an open GOP, which refer to frames
// before the key frame) are left out of the body; they lie before the key
// frame, so the head re-encodes them from a full decode. Copying them would
// leave frames that refer to pictures the output does not hold. The body
// runs in decode order up to the first packet shown at or after the end, and
// ends after the longest stretch of it that holds every frame from the key
// frame up to some time: the tail starts there.
struct SmartCutPlan {
    int frames = 0;        // frames in the output
    qint64 firstPts = 0;   // the first of them
    qint64 endPts = 0;     // just after the last one (the next frame's time, or the last one's plus a frame)

    int headFrames = 0;    // re-encoded from firstPts
    qint64 bodyPts = 0;    // the key frame the copy starts at
    qint64 bodyDelay = 0;  // that key frame's presentation time minus its decode time
    int bodyFrames = 0;    // copied from the key frame on (0: nothing copied)
    qint64 tailPts = 0;    // the tail starts here
    int tailFrames = 0;
};

// The plan for the frames of `packets` (decode order, beginning at a key
// frame at or before `from`) shown in [from, to), in O(n log n). Empty when
// no frame lies there. Without a usable key frame the whole span is
// re-encoded as the head. Without `leaveOutLeading`, a key frame with
// leading frames is not usable to copy from: in H.264 they may be reference
// pictures whose removal the frames after the key frame would notice.
// `startsSequence`, where given, is asked about each key frame (by its index)
// that is otherwise usable, in order, and may refuse it: a copy must start
// where a decoder can start a new sequence.
std::optional<SmartCutPlan> PlanSmartCut(const QVector<VideoPacket>& packets, qint64 from, qint64 to,
                                         bool leaveOutLeading = true,
                                         const std::function<bool(int)>& startsSequence = {});

// A long selection's packets may be listed only around its two ends, the
// middle left out: `packets` then holds the packets from a key frame at or
// before the start on, and, from the index `second` on (a key frame), those
// from a key frame before the end on. A plan made of such a listing holds
// for the whole stream, with the unlisted frames added to its body and its
// count, where the copy starts before the gap and its first GOP ends there
// too (the check decodes it), the copy goes on past the gap's key frame, and
// every frame listed before the gap is shown before every frame after it.
bool PlanSpansGap(const QVector<VideoPacket>& packets, int second, const SmartCutPlan& plan);
// Where the second stretch of such a listing starts: the packet after the
// largest step of the decode times; -1 with fewer than two packets.
int LargestStep(const QVector<VideoPacket>& packets);

// The properties of a video stream a re-encoded part must share with the
// copied one, as the probe names them.
struct VideoProperties {
    QString codec;          // "h264", "hevc", "mpeg4", ...
    QString profile;        // "High", "Main 10", ...
    int level = -1;         // the probe's number (H.264: 31 for 3.1; H.265: 93 for 3.1)
    QString pixelFormat;    // "yuv420p", ...
    QString colorRange, colorSpace, colorTransfer, colorPrimaries;  // "unknown" or empty when unset
    QString fieldOrder;     // "progressive", "tt", ...
    bool bFrames = false;   // the decoder holds frames back (has_b_frames)
};

// The encoder options that re-encode a part of such a stream so it joins the
// copied packets: same codec, profile and level, pixel format, colour
// properties, no B-frames, parameter sets in the stream itself. MPEG-4
// Part 2 with B-frames is refused: its parts would differ in the low-delay
// flag, and the decoder loses the frame it holds back where that changes. Empty, with `reason` set, when this encoder
// cannot make such a part.
QStringList SmartCutEncoderOptions(const VideoProperties& video, QString* reason);

// The quality the re-encoded parts are made at, for the help and the notes.
inline constexpr int kSmartCutCrf = 10;

}  // namespace clip
