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
    ClipSpec spec;
    spec.seconds = 125.5;
    spec.fps = 5;
    spec.baseName = QStringLiteral("player-long");
    return MakeClip(spec);
}

// Short, for playing to the end.
inline QString ShortClip()
{
    ClipSpec spec;
    spec.seconds = 2.0;
    spec.fps = 10;
    spec.baseName = QStringLiteral("player-short");
    return MakeClip(spec);
}

// A plain red 4:3 picture without sound.
inline QString RedClip()
{
    ClipSpec spec;
    spec.seconds = 2.0;
    spec.fps = 5;
    spec.audioCodec.clear();
    spec.videoSource = QStringLiteral("color");
    spec.videoSourceOptions = QStringLiteral("c=red");
    spec.baseName = QStringLiteral("player-red");
    return MakeClip(spec);
}

}  // namespace clip::test
