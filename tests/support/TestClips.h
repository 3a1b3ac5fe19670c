#pragma once

#include <QString>
#include <QStringList>

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

// Path of a clip matching `recipe`. Clips are made once per test run and
// shared by every test that asks for the same recipe; a failure to make one
// is reported as a test failure and gives an empty path.
QString MakeClip(const ClipRecipe& recipe);

// A fresh copy of a clip under `folder` with the given file name (for tests
// that need an awkward path or that modify the file).
QString CopyClipTo(const QString& clipPath, const QString& folder, const QString& fileName);

// The encoder and its probe in the binary folder.
QString FfmpegPath();
QString FfprobePath();

// Runs a program to completion and returns its exit code (-1 when it did
// not start or crashed); `output` receives standard output and error.
int RunProgram(const QString& program, const QStringList& args, QString* output = nullptr,
               int timeoutMs = 120000);

// Duration of a media file in seconds as the probe reports it; negative on
// failure.
double ProbeDuration(const QString& path);

// True when the whole file decodes with no error; `errors` gets the
// encoder's complaints otherwise.
bool DecodesCleanly(const QString& path, QString* errors = nullptr);

}  // namespace clip::test
