#include "preview/SegmentPlayback.h"

#include "player/PlaybackEngine.h"

namespace clip {

namespace {

// Positions half a millisecond apart are the same frame's.
constexpr double kSameTime = 0.0005;
// How often the position is looked at: well under a frame at 25 fps, so at
// most a frame of what is skipped shows before the jump.
constexpr int kWatchMs = 10;

}  // namespace

SegmentPlayback::SegmentPlayback(QObject* parent) : QObject(parent)
{
    m_timer.setInterval(kWatchMs);
    connect(&m_timer, &QTimer::timeout, this, &SegmentPlayback::Tick);
}

std::optional<double> SegmentPlayback::JumpFrom(double position, const std::vector<Segment>& parts, bool* pastLast)
{
    *pastLast = false;
    for (const Segment& part : parts) {
        if (position >= part.end - kSameTime)
            continue;  // this part is behind
        if (position < part.start - kSameTime)
            return part.start;  // in the gap before it
        return std::nullopt;    // inside it
    }
    *pastLast = true;
    return std::nullopt;
}

bool SegmentPlayback::Start(const std::shared_ptr<PlaybackEngine>& engine, std::vector<Segment> parts)
{
    if (!engine || !engine->isLoaded() || parts.empty())
        return false;
    m_engine = engine;
    m_parts = std::move(parts);
    engine->setCurrentPosition(m_parts.front().start);
    engine->Run();
    m_timer.start();
    return true;
}

void SegmentPlayback::Stop()
{
    m_timer.stop();
    m_engine.reset();
    m_parts.clear();
}

void SegmentPlayback::Tick()
{
    const std::shared_ptr<PlaybackEngine> engine = m_engine.lock();
    if (!engine || !engine->isLoaded()) {
        Stop();
        return;
    }
    // A seek under way reads as its target already; the next look decides.
    if (engine->isSeeking())
        return;
    const PlaybackEngine::State state = engine->state();
    if (state != PlaybackEngine::State::Running) {
        // Paused or stopped by the user: playback is theirs again. The end
        // of the file ends the last part.
        const bool atEnd = state == PlaybackEngine::State::AtEnd;
        Stop();
        if (atEnd)
            emit ended();
        return;
    }
    bool pastLast = false;
    const std::optional<double> jump = JumpFrom(engine->CurrentPosition(), m_parts, &pastLast);
    if (jump) {
        engine->setCurrentPosition(*jump);
    } else if (pastLast) {
        engine->Pause();
        Stop();
        emit ended();
    }
}

}  // namespace clip
