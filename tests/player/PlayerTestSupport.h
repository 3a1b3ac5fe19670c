#pragma once

#include "player/PlaybackEngine.h"
#include "support/TestClips.h"

namespace clip::test {

// Starts a load and waits for the engine's verdict: true when loaded; a
// failure's reason goes to `reason`.
inline bool LoadAndWait(PlaybackEngine& engine, const QString& path, QString* reason = nullptr)
{
    bool done = false, ok = false;
    QObject context;
    QObject::connect(&engine, &PlaybackEngine::loaded, &context, [&] { done = ok = true; });
    QObject::connect(&engine, &PlaybackEngine::loadFailed, &context, [&](const QString& why) {
        done = true;
        if (reason)
            *reason = why;
    });
    return engine.Load(path) && WaitFor([&] { return done; }, 40000) && ok;
}

// A clip of the given length and frame rate; a lavfi colour option ("c=red")
// makes a plain picture without sound.
inline QString PlayerClip(const QString& baseName, double seconds, int fps, const QString& colour = {},
                          const QStringList& extraArgs = {})
{
    ClipRecipe wanted;
    wanted.seconds = seconds, wanted.fps = fps, wanted.baseName = baseName, wanted.extraOutputArgs = extraArgs;
    if (!colour.isEmpty())
        wanted.audioCodec.clear(), wanted.videoSource = "color", wanted.videoSourceOptions = colour;
    return MakeClip(wanted);
}

inline QString LongClip() { return PlayerClip("player-long", 125.5, 5); }
inline QString ShortClip() { return PlayerClip("player-short", 2.0, 10); }
// A video track whose packets were all dropped: the probe sees a video, the decoder never puts out a picture.
inline QString NoPictureClip()
{
    ClipRecipe dropped;
    dropped.container = "mkv", dropped.baseName = "player-no-picture", dropped.extraOutputArgs = {"-bsf:v", "noise=drop=1"};
    return MakeClip(dropped);
}

}  // namespace clip::test
