#pragma once

#include "segments/Segment.h"

#include <QObject>
#include <QTimer>

#include <memory>
#include <optional>
#include <vector>

namespace clip {

class PlaybackEngine;

// Plays only the kept parts of a video: from the first part's start, jumping
// over whatever lies between parts, pausing after the last one. Positions as
// everywhere (TimeOrigin). Watching ends when playback is paused or stopped
// by anyone else, when the engine goes, or after the last part.
class SegmentPlayback : public QObject {
    Q_OBJECT
public:
    explicit SegmentPlayback(QObject* parent = nullptr);

    // Starts `engine` (loaded) at the first of `parts` (in time order) and
    // keeps it inside them. False, with nothing changed, when there is
    // nothing to play.
    bool Start(const std::shared_ptr<PlaybackEngine>& engine, std::vector<Segment> parts);
    void Stop();
    bool IsPlaying() const { return m_timer.isActive(); }

    // Where playback at `position` must go to stay inside `parts`: nothing
    // while it is inside one, the next part's start in a gap; nothing past
    // the last one, with `*pastLast` set.
    static std::optional<double> JumpFrom(double position, const std::vector<Segment>& parts, bool* pastLast);

signals:
    // The last part has played; the engine is paused.
    void ended();

private:
    void Tick();

    QTimer m_timer;
    std::weak_ptr<PlaybackEngine> m_engine;
    std::vector<Segment> m_parts;
};

}  // namespace clip
