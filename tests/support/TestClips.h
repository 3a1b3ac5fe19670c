#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <utility>

namespace clip::test {

// A small clip made by the encoder from its lavfi sources. Everything the
// test cares about is chosen here; the rest stays tiny and fast to make.
struct ClipRecipe {
    int width = 160;
    int height = 120;
    double seconds = 4.0;
    int fps = 25;
    QString container = QStringLiteral("mp4");           // file extension
    QString videoCodec = QStringLiteral("libx264");      // empty: no video stream
    QString audioCodec = QStringLiteral("aac");          // empty: no audio stream
    QString videoSource = QStringLiteral("testsrc2");    // any lavfi video source name
    QString videoSourceOptions;                           // extra "key=value:..." for the source
    QStringList extraOutputArgs;                          // e.g. {"-g", "50"}
    QString baseName = QStringLiteral("clip");            // file name without extension
};

// Path of a clip matching `recipe`, made once per test run (cached in the
// build folder); a failure to make one fails the test and gives "".
QString MakeClip(const ClipRecipe& recipe);
// Path of the file the encoder makes from `args` (its inputs and output
// options), made once per test run like MakeClip's.
QString MakeFile(const QString& baseName, const QString& extension, QStringList args);

// A fresh copy of a clip under `folder` (made if needed) named `fileName`.
QString CopyClipTo(const QString& clipPath, const QString& folder, const QString& fileName);

// The encoder and its probe in the binary folder.
QString FfmpegPath();
QString FfprobePath();

// Runs a program to its end: its exit code, -1 when it did not start or
// crashed; `output` gets standard output and error.
int RunProgram(const QString& program, const QStringList& args, QString* output = nullptr,
               int timeoutMs = 120000);

// What the probe reports of `path` for `args` ("-show_entries ..."), as CSV, trimmed; a failure fails the test.
QString ProbeCsv(const QString& path, const QStringList& args);

// The start times of the file's video and sound streams (NaN for one it lacks).
std::pair<double, double> StreamStarts(const QString& file);

// Writes `bytes` into a new file at `path`, executable by its owner when asked; a failure fails the test.
void WriteFile(const QString& path, const QByteArray& bytes, bool executable = false);
// A file's bytes; empty when it cannot be read.
QByteArray ReadFile(const QString& path);

// A media file's duration as the probe reports it; negative on failure.
double ProbeDuration(const QString& path);

// True when the whole file decodes without a complaint (else in `errors`).
bool DecodesCleanly(const QString& path, QString* errors = nullptr);

// Starts this test program again for the tests `filter` names (disabled ones too), with `environment` added
// to its own and its errors merged into its output; run by `wrapper` (a program and its options) if given.
void StartSelf(QProcess& process, const QString& filter, const QList<std::pair<QString, QString>>& environment,
               const QStringList& wrapper = {});

// Processes events until `done` holds, at most `ms` milliseconds; its last answer.
bool WaitFor(const std::function<bool()>& done, int ms = 20000);

// Runs `tick` every few milliseconds while the program yields, until it returns true.
class Poller {
public:
    explicit Poller(std::function<bool()> tick) : m_tick(std::move(tick))
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this] { m_done = m_done || m_tick(); });
        m_timer.start(5);
    }
    bool done() const { return m_done; }

private:
    QTimer m_timer;
    std::function<bool()> m_tick;
    bool m_done = false;
};

// Ids of the encoder processes whose parent is this test process (zombies too), and their number.
QStringList EncoderPids();
inline int EncoderChildren() { return int(EncoderPids().size()); }

}  // namespace clip::test
