// Figure 13: the program's memory over many loads. One window loads two
// clips in turn, as a user going through a folder would, plays each for a
// moment, and the resident set is read after the 2nd and the 50th load.
#include "BenchSupport.h"

#include "mainwindow/frmMain.h"

#include <QDir>
#include <QFile>

#include <cstdio>

namespace clip::bench {

namespace {

// The resident set of this process, in MiB; negative when unknown.
double ResidentMiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1.0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return -1.0;
}

int CountIn(const char* folder)
{
    return int(QDir(QString::fromLatin1(folder)).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)
                   .size());
}

}  // namespace

int MemoryFigure(int loads)
{
    const QString clips[] = {CachedClip(1280, 720, 20), CachedClip(640, 360, 20)};
    if (clips[0].isEmpty() || clips[1].isEmpty())
        return 2;
    frmMain w;
    w.show();
    double afterTwo = -1.0;
    int threadsAfterTwo = 0, descriptorsAfterTwo = 0;
    for (int i = 1; i <= loads; ++i) {
        w.OpenVideoFile(clips[i % 2]);
        // Loaded, playing, and a few pictures drawn.
        if (!RunUntil([&] { return w.IsVideoLoaded(); }, 30000))
            return 2;
        RunUntil([] { return false; }, 300);
        if (i == 2) {
            afterTwo = ResidentMiB();
            threadsAfterTwo = CountIn("/proc/self/task"), descriptorsAfterTwo = CountIn("/proc/self/fd");
        }
        if (i % 10 == 0) {
            std::printf("   after %d loads: RSS %.1f MiB, %d threads, %d descriptors\n", i, ResidentMiB(),
                        CountIn("/proc/self/task"), CountIn("/proc/self/fd"));
            std::fflush(stdout);
        }
    }
    const double afterAll = ResidentMiB();
    const bool met = afterTwo > 0 && afterAll <= afterTwo + 30.0;
    std::printf("13. memory over loads (720p and 360p clips in turn): RSS after 2 loads %.1f MiB (%d threads, %d "
                "descriptors), after %d loads %.1f MiB (%d threads, %d descriptors): %+.1f MiB (target <= +30 MiB: "
                "%s)\n",
                afterTwo, threadsAfterTwo, descriptorsAfterTwo, loads, afterAll, CountIn("/proc/self/task"),
                CountIn("/proc/self/fd"), afterAll - afterTwo, met ? "met" : "NOT MET");
    std::fflush(stdout);
    return met ? 0 : 1;
}

}  // namespace clip::bench
