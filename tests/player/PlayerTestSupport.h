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

// A long clip with sound that loads fast: a frame every 0.2 s.
inline QString LongClip()
{
    ClipRecipe wanted;
    wanted.seconds = 125.5;
    wanted.fps = 5;
    wanted.baseName = QStringLiteral("player-long");
    return MakeClip(wanted);
}

// Short, for playing to the end.
inline QString ShortClip()
{
    ClipRecipe wanted;
    wanted.seconds = 2.0;
    wanted.fps = 10;
    wanted.baseName = QStringLiteral("player-short");
    return MakeClip(wanted);
}

// A plain red 4:3 picture without sound.
inline QString RedClip()
{
    ClipRecipe wanted;
    wanted.seconds = 2.0;
    wanted.fps = 5;
    wanted.audioCodec.clear();
    wanted.videoSource = QStringLiteral("color");
    wanted.videoSourceOptions = QStringLiteral("c=red");
    wanted.baseName = QStringLiteral("player-red");
    return MakeClip(wanted);
}

}  // namespace clip::test
