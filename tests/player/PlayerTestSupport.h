#pragma once

#include "player/PlaybackEngine.h"
#include "support/TestClips.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <functional>

namespace clip::test {

// Processes events until `done` holds or `ms` have passed; the final value of `done`.
inline bool WaitUntil(const std::function<bool()>& done, int ms = 15000)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() <= ms) {
        QCoreApplication::processEvents();
        QThread::msleep(5);
    }
    return done();
}

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
    return engine.Load(path) && WaitUntil([&] { return done; }, 40000) && ok;
}

// A clip of the given length and frame rate; a lavfi colour option ("c=red")
// makes a plain picture without sound.
inline QString PlayerClip(const QString& baseName, double seconds, int fps, const QString& colour = {},
                          const QStringList& extraArgs = {})
{
    ClipRecipe wanted;
    wanted.seconds = seconds;
    wanted.fps = fps;
    wanted.baseName = baseName;
    wanted.extraOutputArgs = extraArgs;
    if (!colour.isEmpty()) {
        wanted.audioCodec.clear();
        wanted.videoSource = QStringLiteral("color");
        wanted.videoSourceOptions = colour;
    }
    return MakeClip(wanted);
}

inline QString LongClip() { return PlayerClip(QStringLiteral("player-long"), 125.5, 5); }
inline QString ShortClip() { return PlayerClip(QStringLiteral("player-short"), 2.0, 10); }
// A video track whose packets were all dropped: the probe sees a video, the
// decoder never puts out a picture.
inline QString NoPictureClip()
{
    ClipRecipe dropped;
    dropped.container = QStringLiteral("mkv");
    dropped.extraOutputArgs = QStringList{QStringLiteral("-bsf:v"), QStringLiteral("noise=drop=1")};
    dropped.baseName = QStringLiteral("player-no-picture");
    return MakeClip(dropped);
}
inline QString RedClip() { return PlayerClip(QStringLiteral("player-red"), 2.0, 5, QStringLiteral("c=red")); }

}  // namespace clip::test
