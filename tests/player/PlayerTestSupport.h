#pragma once

#include "support/TestClips.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <functional>

namespace clip::test {

// Processes events until `done` holds or `ms` have passed; the final value
// of `done`.
inline bool WaitUntil(const std::function<bool()>& done, int ms = 15000)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > ms)
            return done();
        QCoreApplication::processEvents();
        QThread::msleep(5);
    }
    return true;
}

// Lets the player run on for a while.
inline void Settle(int ms)
{
    WaitUntil([] { return false; }, ms);
}

// A clip of the given length and frame rate; a lavfi colour option
// ("c=red") makes a plain picture without sound.
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

// A long clip with sound that loads fast: a frame every 0.2 s.
inline QString LongClip() { return PlayerClip(QStringLiteral("player-long"), 125.5, 5); }
// Short, for playing to the end.
inline QString ShortClip() { return PlayerClip(QStringLiteral("player-short"), 2.0, 10); }
// A plain red 4:3 picture without sound.
inline QString RedClip() { return PlayerClip(QStringLiteral("player-red"), 2.0, 5, QStringLiteral("c=red")); }

}  // namespace clip::test
