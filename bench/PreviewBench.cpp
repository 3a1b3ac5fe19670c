// The preview figures (9 to 11): the program's window playing 1080p video at
// a 1280 x 720 pane on each drawing path, against the playback engine in a
// video window of its own (clipwright-bench-own-window), all on one virtual
// X display (Xvfb, Mesa's llvmpipe for OpenGL: this machine has no GPU).
// Every run is a process of its own, as the drawing path is chosen once per
// process.
#include "BenchSupport.h"

#include "mainwindow/frmMain.h"
#include "player/PlaybackEngine.h"
#include "player/PreviewPath.h"
#include "player/VideoPane.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTimer>
#include <QUrl>
#include <QWindow>

#include <cstdio>
#include <map>
#include <vector>

namespace clip::bench {

namespace {

constexpr QSize kPane(1280, 720);
constexpr double kPlaySeconds = 8.0;

// One run: seconds to the first picture, and over the measured stretch the
// CPU seconds, the seconds of video played, the pictures shown and dropped.
struct PreviewRun {
    double first = -1, cpu = 0, video = 0, wall = 0, shown = 0, dropped = 0;
    QString path;
};

double Field(const QString& line, const QString& name)
{
    for (const QString& part : line.split(QLatin1Char(' '))) {
        if (part.startsWith(name + QLatin1Char('=')))
            return part.mid(name.size() + 1).toDouble();
    }
    return -1;
}

// Runs a child to its end; the first picture as it reports it, or (`timeFirst`) as the time from its start
// to its line "first".
PreviewRun RunChild(const QString& program, const QStringList& args, const QProcessEnvironment& env, bool timeFirst)
{
    PreviewRun run;
    QProcess child;
    child.setProcessEnvironment(env);
    child.setStandardInputFile(QProcess::nullDevice());
    child.setStandardErrorFile(QProcess::nullDevice());
    QElapsedTimer clock;
    clock.start();
    child.start(program, args, QIODevice::ReadOnly);
    QByteArray out;
    while (child.state() != QProcess::NotRunning && clock.elapsed() < 120000) {
        child.waitForReadyRead(20);
        out += child.readAllStandardOutput();
        if (timeFirst && run.first < 0 && out.contains("first\n"))
            run.first = clock.nsecsElapsed() / 1e9;
    }
    if (child.state() != QProcess::NotRunning)
        child.kill(), child.waitForFinished(5000);
    out += child.readAllStandardOutput();
    for (const QString& line : QString::fromUtf8(out).split(QLatin1Char('\n'))) {
        if (!line.contains(QLatin1String("cpu=")))
            continue;
        if (!timeFirst)
            run.first = Field(line, "first");
        run.cpu = Field(line, "cpu"), run.video = Field(line, "video"), run.wall = Field(line, "wall");
        run.shown = Field(line, "shown"), run.dropped = Field(line, "dropped");
        run.path = line.section(QLatin1String("path="), 1);
    }
    if (run.first < 0)
        std::fprintf(stderr, "%s %s gave no figures:\n%s\n", qPrintable(program), qPrintable(args.join(' ')),
                     out.constData());
    return run;
}

// Runs the event loop until `done` holds, returning after each event.
bool WaitEvents(const std::function<bool()>& done, int ms)
{
    QElapsedTimer clock;
    clock.start();
    QTimer tick;
    tick.start(50);
    while (!done() && clock.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return done();
}

}  // namespace

int PreviewWindowChild(const QString& file, double seconds)
{
    frmMain w;
    w.show();
    VideoPane* pane = w.findChild<VideoPane*>(QStringLiteral("picVideoWindow"));
    w.resize(w.size() + kPane - pane->size());
    if (!RunUntil([&] { return pane->size() == kPane && w.windowHandle() && w.windowHandle()->isExposed(); }, 10000))
        return 2;
    RunUntil([] { return false; }, 300);  // settled

    QElapsedTimer clock;
    clock.start();
    w.picVideoWindow_OLEDragDrop({QUrl::fromLocalFile(file)});
    if (!WaitEvents([&] { return pane->picturesShown() > 0; }, 30000) || !w.Player())
        return 2;
    const double first = clock.nsecsElapsed() / 1e9;
    PlaybackEngine* engine = w.Player();
    RunUntil([] { return false; }, 500);
    const double cpu0 = OwnCpuSeconds(), pos0 = engine->CurrentPosition();
    const quint64 shown0 = pane->picturesShown();
    clock.restart();
    RunUntil([] { return false; }, static_cast<int>(seconds * 1000));
    const double wall = clock.nsecsElapsed() / 1e9;
    std::printf("first=%.4f cpu=%.4f video=%.4f wall=%.4f shown=%llu path=%s\n", first, OwnCpuSeconds() - cpu0,
                engine->CurrentPosition() - pos0, wall, static_cast<unsigned long long>(pane->picturesShown() - shown0),
                qPrintable(ChosenPreviewPath().description));
    std::fflush(stdout);
    return 0;
}

int PreviewFigures(const QString& twoHourClip, int reps)
{
    const QString c25 = CachedClip(1920, 1080, 30, 250, 25);
    const QString c60 = CachedClip(1920, 1080, 30, 250, 60);
    if (c25.isEmpty() || c60.isEmpty() || twoHourClip.isEmpty())
        return 2;

    // One virtual display for every run, larger than the window at its pane of 1280 x 720.
    QProcess server;
    server.setStandardInputFile(QProcess::nullDevice());
    server.setStandardErrorFile(QProcess::nullDevice());
    server.start(QStringLiteral("Xvfb"), {"-displayfd", "1", "-screen", "0", "2560x1600x24", "-nolisten", "tcp"});
    QByteArray display;
    while (!display.contains('\n') && server.waitForReadyRead(10000))
        display += server.readAllStandardOutput();
    if (display.trimmed().isEmpty()) {
        std::fprintf(stderr, "Xvfb did not start\n");
        return 2;
    }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), QStringLiteral(":") + QString::fromLatin1(display.trimmed()));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.remove(QStringLiteral("CLIPWRIGHT_MPV_LOG"));
    // Each path asked for: unasked, Mesa's llvmpipe is passed over for the software path.
    QProcessEnvironment software = env, gpu = env;
    software.insert(QStringLiteral("CLIPWRIGHT_PREVIEW"), QStringLiteral("software"));
    gpu.insert(QStringLiteral("CLIPWRIGHT_PREVIEW"), QStringLiteral("gpu"));

    const QString bench = QCoreApplication::applicationFilePath();
    const QString own = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("clipwright-bench-own-window"));
    const QString playFor = QString::number(kPlaySeconds);
    // Configurations: the window on each path, the engine's own window with each video output.
    const auto run = [&](const QString& config, const QString& clip, bool play) {
        const QString seconds = play ? playFor : QStringLiteral("0");
        if (config == "window software")
            return RunChild(bench, {"--preview-window", clip, seconds}, software, false);
        if (config == "window GPU")
            return RunChild(bench, {"--preview-window", clip, seconds}, gpu, false);
        return RunChild(own, {clip, seconds, config == "own x11" ? "x11" : "gpu"}, env, true);
    };
    // Each path runs right beside its point of comparison.
    const QStringList configs{"window software", "own x11", "window GPU", "own gpu"};
    std::map<QString, std::vector<double>> cpu, first1080, first2h, rate60, drop60;
    QString gpuPath;
    for (int r = 0; r < reps; ++r) {
        for (const QString& config : configs) {
            const PreviewRun a = run(config, c25, true);
            const PreviewRun b = run(config, c60, true);
            const PreviewRun c = run(config, twoHourClip, false);
            if (a.first < 0 || b.first < 0 || c.first < 0 || a.video <= 0 || b.video <= 0) {
                std::fprintf(stderr, "a preview run of %s failed\n", qPrintable(config));
                server.kill(), server.waitForFinished(5000);
                return 2;
            }
            if (config == "window GPU")
                gpuPath = a.path;
            cpu[config].push_back(a.cpu / a.video);
            first1080[config].push_back(a.first);
            first2h[config].push_back(c.first);
            // Frames at 60 fps: the window counts the pictures it showed; the engine's own window its drops.
            const double frames = b.video * 60.0;
            const double dropped = config.startsWith("window") ? std::max(0.0, frames - b.shown) : b.dropped;
            rate60[config].push_back(config.startsWith("window") ? b.shown / b.wall : (frames - dropped) / b.wall);
            drop60[config].push_back(dropped / frames);
        }
        std::printf("preview figures: repetition %d of %d done\n", r + 1, reps);
        std::fflush(stdout);
    }
    server.kill(), server.waitForFinished(5000);

    const auto m = [](std::vector<double>& v) { return Median(v); };
    std::printf("\nPreview figures (medians of %d; Xvfb, OpenGL: %s)\n", reps, qPrintable(gpuPath));
    std::printf("9. CPU seconds per second of 1080p 25 fps video, pane / window 1280 x 720:\n");
    for (const QString& config : configs)
        std::printf("   %-16s %.3f\n", qPrintable(config), m(cpu[config]));
    const double r9 = m(cpu["window software"]) / m(cpu["own x11"]);
    std::printf("   window software / own x11 = ratio %.3f (target <= 1.1: %s); window GPU / own gpu = ratio %.3f;"
                " window software / own gpu = %.3f\n",
                r9, r9 <= 1.1 ? "met" : "NOT MET", m(cpu["window GPU"]) / m(cpu["own gpu"]),
                m(cpu["window software"]) / m(cpu["own gpu"]));
    std::printf("10. 60 fps 1080p at the large pane: frames shown per second, share of frames dropped:\n");
    for (const QString& config : configs)
        std::printf("   %-16s %.1f fps, %.1f %% dropped\n", qPrintable(config), m(rate60[config]),
                    100.0 * m(drop60[config]));
    std::printf("11. to the first picture (window: drop to first picture; own window: launch to first frame):\n");
    for (const QString& config : configs)
        std::printf("   %-16s 1080p %.3f s, 2-hour clip %.3f s\n", qPrintable(config), m(first1080[config]),
                    m(first2h[config]));
    bool met = r9 <= 1.1;
    for (const auto& [window, own] : {std::pair{"window software", "own x11"}, {"window GPU", "own gpu"}}) {
        for (auto* figures : {&first1080, &first2h}) {
            const double ratio = m((*figures)[window]) / m((*figures)[own]);
            met = met && ratio <= 1.2;
            std::printf("   %s / %s, %s: ratio %.3f (target <= 1.2: %s)\n", window, own,
                        figures == &first1080 ? "1080p" : "2-hour clip", ratio, ratio <= 1.2 ? "met" : "NOT MET");
        }
    }
    std::fflush(stdout);
    return met ? 0 : 1;
}

}  // namespace clip::bench
