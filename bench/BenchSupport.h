// Shared pieces of the benchmark: the generated clips, the host it runs the
// program's code under, the bare encoder run and small statistics.
#pragma once

#include "common/HostServices.h"
#include "platform/QtHostServices.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace clip::bench {

// A clip made once by the encoder's lavfi sources and kept in the cache
// folder (~/.cache/clipwright-bench, or $XDG_CACHE_HOME/clipwright-bench):
// a test picture with a sine tone, H.264 (x264 ultrafast, a key frame every
// `keyint` frames, low bitrate) and AAC in MP4. Empty when it could not be
// made.
QString CachedClip(int width, int height, int seconds, int keyint = 250, int fps = 25);
// The folder the bench's clips are cached in (made when missing); empty when it cannot be made.
QString BenchCacheFolder();

// The real host services for everything the cut and the load use (the yield
// and the program folder above all); message boxes are written to standard
// error instead of shown, and nothing is ever powered off or opened.
class BenchHost final : public HostServices {
public:
    void messageBox(const QString& text, int style) override;
    void messageBoxWithDetails(const QString& text, const QString&, int style) override { messageBox(text, style); }
    void processEvents() override { m_real.processEvents(); }
    QString programFolder() const override { return m_real.programFolder(); }
    QString openFileDialog(QWidget*, const QString&, const QStringList&) override { return {}; }
    QString browseForFolder(QWidget*, const QString&) override { return {}; }
    bool openExternal(const QString&) override { return false; }
    DriveKind driveType(const QString& path) override { return m_real.driveType(path); }
    bool powerOff(int) override { return false; }

    int messages() const { return m_messages; }

private:
    QtHostServices m_real;
    int m_messages = 0;
};

// The encoder beside the benchmark program.
QString Encoder();

// Runs `program` with `args` the plainest way: started, then waited for
// (no yields, no reading until it ends). Seconds of wall time; negative when
// it could not start or, unless `anyExitCode`, did not exit with 0 (its
// output then goes to standard error).
double RunBare(const QString& program, const QStringList& args, bool anyExitCode = false);

// CPU seconds (user + system) this process has used so far; its children
// are not counted.
double OwnCpuSeconds();

double Median(std::vector<double> values);

// Runs the event loop until `done` holds (checked every few milliseconds) or
// `ms` have passed; the final value of `done`.
bool RunUntil(const std::function<bool()>& done, int ms);

// Runs the event loop while `drive` is called every `stepMs` milliseconds,
// `steps` times, and returns the longest gap, in milliseconds, between two
// turns of the loop meanwhile (seen by a 1 ms timer): the window's longest
// stall.
double LongestStallMs(const std::function<void(int step)>& drive, int steps, int stepMs);

// The 10-minute clip joined twelve times over without re-encoding (cached
// beside it); empty when it could not be made.
QString TwoHourClip(const QString& tenMinuteClip);

// Figure 7: the key-frame scan of `clip`, printed; false when a scan failed.
bool KeyFrameFigure(const QString& clip, int reps, double* longestStallMs);

// Figures 9 to 11, the preview on one virtual X display (PreviewBench.cpp):
// 0 when their targets are met, 1 when not, 2 when a run failed.
int PreviewFigures(const QString& twoHourClip, int reps);
// A run of the window for those figures, in a process of its own: drops
// `file` on the window (its pane at 1280 x 720), plays `seconds` and prints
// its figures.
int PreviewWindowChild(const QString& file, double seconds);

// Figure 13 (MemoryBench.cpp): the resident set after 2 and after `loads`
// loads of two clips in turn by one window, printed: 0 when it grew by at
// most 30 MiB, 1 when more, 2 when a load failed.
int MemoryFigure(int loads);

}  // namespace clip::bench
