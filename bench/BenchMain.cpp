// Clipwright's benchmark: five figures, each measured side by side with its
// point of comparison in one run, repeated, and printed as the ratio of the
// medians.
//
//   1. cut overhead: a 30 s re-encoded cut run by the window (Start click,
//      naming, job, runner, progress bar, yields) against the bare encoder
//      with the same arguments;
//   2. position independence: a 10 s cut at 90 % of a 10-minute 720p clip
//      against the same cut at 0 % (and the old order, start after the input,
//      for contrast);
//   3. the program's own CPU while a job runs, as a share of one core;
//   4. load latency: probe and first frame against the bare encoder's probe;
//   5. start-up: the program to its window shown against a bare Qt window;
//   6. the window's longest stall while it plays, seeks and pauses;
//   7. the key-frame scan of a two-hour clip against a bare probe;
//   9-11. the preview on a virtual X display: CPU per second of 1080p video,
//      frames shown at 60 fps, drop to first picture, against the playback
//      engine in a window of its own (PreviewBench.cpp).
//
//   12. a smart cut against the frame-exact re-encode and the stream copy;
//   13. the resident set after 50 loads against that after 2 (MemoryBench.cpp);
//   14. "clipwright cut" against the bare encoder, and its start (CommandLineBench.cpp);
//   15. a joined smart cut of five segments against one stream copy of their length (SmartCutBench.cpp).
//
// Usage: clipwright-bench [--reps N] [--key-frames-only | --preview-only | --smart-cut-only |
//                          --smart-cut-sweep-only | --memory-only | --plain-cut-only |
//                          --command-line-only | --segments-only]
// (scripts/bench.sh builds and runs it)
#include "BenchSupport.h"
#include "CommandLineBench.h"
#include "SmartCutBench.h"

#include "common/ProgramNames.h"
#include "controls/MyButton.h"
#include "controls/MyOption.h"
#include "cut/CutController.h"
#include "engine/CVideoConv.h"
#include "formats/FormatsPanel.h"
#include "formats/GetParamaters.h"
#include "mainwindow/frmMain.h"
#include "player/PlaybackEngine.h"
#include "settings/FileHiveRegistry.h"
#include "settings/RegistryBackend.h"
#include "slider/Slider.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QStyleFactory>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>
#include <memory>
#include <vector>

using namespace clip;
using namespace clip::bench;

namespace {

double Seconds(const QElapsedTimer& clock)
{
    return double(clock.nsecsElapsed()) / 1e9;
}

QString LoadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("?");
    return QString::fromLatin1(file.readAll()).section(QLatin1Char(' '), 0, 2);
}

QString CpuModel()
{
    QFile file(QStringLiteral("/proc/cpuinfo"));
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("?");
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (line.startsWith("model name"))
            return QString::fromLatin1(line.mid(line.indexOf(':') + 1)).trimmed();
    }
    return QStringLiteral("?");
}

bool Fail(const char* what)
{
    std::fprintf(stderr, "benchmark failed: %s\n", what);
    return false;
}

const char* Verdict(bool met)
{
    return met ? "met" : "NOT MET";
}

bool ChoosePreset(frmMain& w, const QString& category, const QString& label, const QString& extension)
{
    FormatsPanel* p = w.findChild<FormatsPanel*>(QStringLiteral("frFormats"));
    p->optFormat[0]->setChecked(true);
    for (auto [list, text] : {std::pair{p->cmbCategory, category}, {p->cmbOutVCodec, label},
                              {p->cmbOutFormat, extension}}) {
        const int i = list->findText(text);
        if (i < 0)
            return false;
        list->setCurrentIndex(i);
    }
    return true;
}

// Seconds from starting `program` to the line "shown" on its standard output.
double StartUp(const QString& program, const QString& configFolder)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("CLIPWRIGHT_EXIT_WHEN_SHOWN"), QStringLiteral("1"));
    // The program's settings hive goes to a scratch folder, never the user's.
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), configFolder);
    process.setProcessEnvironment(env);
    process.setStandardErrorFile(QProcess::nullDevice());
    process.setStandardInputFile(QProcess::nullDevice());
    QElapsedTimer clock;
    clock.start();
    process.start(program, {}, QIODevice::ReadOnly);
    QByteArray out;
    double shown = -1.0;
    while (process.waitForReadyRead(30000)) {
        out += process.readAllStandardOutput();
        if (out.contains("shown")) {
            shown = Seconds(clock);
            break;
        }
    }
    process.waitForFinished(30000);
    return shown;
}

struct Figures {
    double windowCut = 0, bareCut = 0;
    double at90 = 0, at0 = 0, oldAt90 = 0, firstProgressAt90 = 0;
    double cpuShareJob = 0, cpuShareSilent = 0;
    double load = 0, ownProbe = 0, bareProbe = 0;
    double startUp = 0, bareStartUp = 0, windowBuilt = 0, windowShown = 0;
    double stallPlaying = 0, stallIdle = 0;
};

}  // namespace

int main(int argc, char** argv)
{
    LimitAllocatorPools();  // as the program does
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);  // as the program does
    QApplication app(argc, argv);
    EnsureCNumericLocale();
    SetProgramNames();
    if (QStyle* style = QStyleFactory::create(QStringLiteral("Fusion")))
        QApplication::setStyle(style);

    int reps = 5;
    const QStringList args = QCoreApplication::arguments();
    const qsizetype repsAt = args.indexOf(QStringLiteral("--reps"));
    if (repsAt > 0 && repsAt + 1 < args.size())
        reps = qMax(1, args.at(repsAt + 1).toInt());

    BenchHost host;
    SetHost(&host);
    QTemporaryDir hive, out, config;
    if (!hive.isValid() || !out.isValid() || !config.isValid()) {
        Fail("no temporary folder");
        return 2;
    }
    // The window's settings live in a scratch hive, never the user's.
    SetDefaultRegistryBackend(std::make_shared<FileHiveRegistry>(hive.path()));

    // A run of the window for the preview figures (a process of its own).
    if (const qsizetype at = args.indexOf(QStringLiteral("--preview-window")); at > 0 && at + 2 < args.size()) {
        const int rc = PreviewWindowChild(args.at(at + 1), args.at(at + 2).toDouble());
        SetHost(nullptr);
        return rc;
    }

    // Figure 13 alone, on request.
    if (args.contains(QStringLiteral("--memory-only"))) {
        const int rc = MemoryFigure(50);
        SetHost(nullptr);
        return rc;
    }

    const QString clip = CachedClip(1280, 720, 600);
    if (clip.isEmpty()) {
        Fail("could not make the 10-minute 720p clip");
        return 2;
    }

    const QString loadBefore = LoadAverage();
    std::printf("Clipwright benchmark: %d repetitions, medians\n", reps);
    std::printf("machine: %d cores, %s; load average at start %s\n", QThread::idealThreadCount(),
                qPrintable(CpuModel()), qPrintable(loadBefore));
    std::printf("clip: %s\n\n", qPrintable(clip));
    std::fflush(stdout);

    // Figure 14 alone, on request.
    if (args.contains(QStringLiteral("--command-line-only"))) {
        const bool done = CommandLineFigure(clip, reps);
        SetHost(nullptr);
        return done ? 0 : 2;
    }
    // Figure 15 alone, on request.
    if (args.contains(QStringLiteral("--segments-only"))) {
        const bool done = SegmentsJoinFigure(qMin(reps, 3));
        SetHost(nullptr);
        return done ? 0 : 2;
    }
    // The smart cut's length sweep alone, on request.
    if (args.contains(QStringLiteral("--smart-cut-sweep-only"))) {
        const bool done = SmartCutLengthSweep(qMin(reps, 3));
        SetHost(nullptr);
        return done ? 0 : 2;
    }
    // Figure 9 alone, on request.
    if (args.contains(QStringLiteral("--smart-cut-only"))) {
        const bool done = SmartCutFigure(clip, qMin(reps, 3)) && SmartCutLengthSweep(qMin(reps, 3));
        SetHost(nullptr);
        return done ? 0 : 2;
    }

    // Figure 7 alone, on request.
    double keyFrameStall = 0;
    const QString twoHours = args.contains(QStringLiteral("--plain-cut-only")) ? QString() : TwoHourClip(clip);
    if (args.contains(QStringLiteral("--key-frames-only"))) {
        const bool done = !twoHours.isEmpty() && KeyFrameFigure(twoHours, reps, &keyFrameStall);
        SetHost(nullptr);
        return !done ? 2 : keyFrameStall < 50.0 ? 0 : 1;
    }
    // Figures 9 to 11 alone, on request.
    if (args.contains(QStringLiteral("--preview-only"))) {
        const int rc = PreviewFigures(twoHours, reps);
        SetHost(nullptr);
        return rc;
    }

    Figures f;
    bool ok = true;
    {
        // Where the start-up goes: the window built (catalogues, settings)
        // and shown, inside a process whose libraries are already loaded.
        QElapsedTimer built;
        built.start();
        frmMain w;
        f.windowBuilt = Seconds(built);
        w.show();
        QCoreApplication::processEvents();
        f.windowShown = Seconds(built);
        w.OpenVideoFile(clip);
        if (!RunUntil([&] { return w.IsVideoLoaded(); }, 30000)) {
            Fail("the window could not load the clip");
            return 2;
        }
        w.cmdStop_Click();
        w.findChild<MyOption*>(QStringLiteral("optOtherFolder"))->setChecked(true);
        w.findChild<QLineEdit*>(QStringLiteral("txtOutPath"))->setText(out.path());
        if (!ChoosePreset(w, "General Video", "MPEG-4 (Xvid compatible)", "avi")) {
            Fail("the MPEG-4 preset is not in the catalogue");
            return 2;
        }

        // ---- 1 and 3: a 30 s cut by the window against the bare encoder.
        const qint32 cutStart = 60, cutEnd = 90;
        w.findChild<Slider*>(QStringLiteral("Slider"))->setSelectStart(cutStart);
        w.findChild<Slider*>(QStringLiteral("Slider"))->setSelectEnd(cutEnd);
        const QString params30 = GetParamaters(w.findChild<FormatsPanel*>(QStringLiteral("frFormats"))->Choice(), w.Catalogue(), cutStart, cutEnd);
        std::vector<double> windowTimes, bareTimes, cpuShares;
        for (int r = 0; r < reps && ok; ++r) {
            // Alternating which goes first evens out caches and load.
            for (int turn = 0; turn < 2; ++turn) {
                if ((turn == 0) == (r % 2 == 0)) {
                    const double cpu0 = OwnCpuSeconds();
                    QElapsedTimer clock;
                    clock.start();
                    w.findChild<MyButton*>(QStringLiteral("cmdConvert"))->click();
                    const double wall = Seconds(clock);
                    const double cpu = OwnCpuSeconds() - cpu0;
                    if (!w.Cut().Job() || !w.Cut().Job()->Succeeded()) {
                        ok = Fail("the window's cut failed");
                        break;
                    }
                    QFile::remove(w.Cut().Job()->OutputFile());
                    windowTimes.push_back(wall);
                    cpuShares.push_back(cpu / wall);
                } else {
                    const QString target = QDir(out.path()).filePath(QStringLiteral("bare.avi"));
                    const double t = RunBare(Encoder(), QStringList{"-ss", QString::number(cutStart), "-i", clip}
                                                            + QProcess::splitCommand(params30 + QStringLiteral(" -y"))
                                                            + QStringList{target});
                    if (t < 0) {
                        ok = Fail("the bare encoder's cut failed");
                        break;
                    }
                    QFile::remove(target);
                    bareTimes.push_back(t);
                }
            }
        }
        f.windowCut = Median(windowTimes);
        f.bareCut = Median(bareTimes);
        f.cpuShareJob = Median(cpuShares);
        std::printf("1. cut overhead: window %.3f s, bare encoder %.3f s = ratio %.3f (target <= 1.05: %s)\n",
                    f.windowCut, f.bareCut, f.windowCut / f.bareCut, f.windowCut <= 1.05 * f.bareCut ? "met" : "NOT MET");
        std::fflush(stdout);
        if (args.contains(QStringLiteral("--plain-cut-only"))) {
            SetHost(nullptr);
            return ok && f.windowCut <= 1.05 * f.bareCut ? 0 : 1;
        }

        // ---- 2: the same 10 s cut at 90 % and at 0 % of the clip.
        const QString params10 = GetParamaters(w.findChild<FormatsPanel*>(QStringLiteral("frFormats"))->Choice(), w.Catalogue(), 0, 10);
        std::vector<double> at90, at0, firstProgress;
        auto job = [&](qint32 start, double* firstProgressAfter) -> double {
            CVideoConv conv;
            QElapsedTimer clock;
            double first = -1.0;
            QObject::connect(&conv, &CVideoConv::Progress, &conv, [&](qint16& p) {
                if (p > 0 && first < 0)
                    first = Seconds(clock);
            }, Qt::DirectConnection);
            conv.setInputFile(clip);
            conv.setOutputFile(QDir(out.path()).filePath(QStringLiteral("at%1.avi").arg(start)));
            conv.setParametrs(params10 + QStringLiteral(" -y"));
            conv.setStartTime(start);
            conv.setFileTimeLength(10.0f);
            clock.start();
            conv.StartConversion();
            const double wall = Seconds(clock);
            QFile::remove(conv.OutputFile());
            if (firstProgressAfter)
                *firstProgressAfter = first;
            return conv.Succeeded() ? wall : -1.0;
        };
        for (int r = 0; r < reps && ok; ++r) {
            double first = 0;
            const double late = job(540, &first);
            const double early = job(0, nullptr);
            if (late < 0 || early < 0) {
                ok = Fail("a 10 s cut failed");
                break;
            }
            at90.push_back(late);
            at0.push_back(early);
            firstProgress.push_back(first);
        }
        f.at90 = Median(at90);
        f.at0 = Median(at0);
        f.firstProgressAt90 = Median(firstProgress);
        // For contrast, once: the start after the input, as before.
        const QString oldTarget = QDir(out.path()).filePath(QStringLiteral("old.avi"));
        f.oldAt90 = RunBare(Encoder(), QStringList{"-i", clip, "-ss", "540"}
                                           + QProcess::splitCommand(params10 + QStringLiteral(" -y"))
                                           + QStringList{oldTarget});
        QFile::remove(oldTarget);
        std::printf("2. position: at 90 %% %.3f s, at 0 %% %.3f s, old order at 90 %% %.3f s\n", f.at90, f.at0,
                    f.oldAt90);
        std::fflush(stdout);

        // ---- 3b: a silent, real-time encoder: the runner only waits.
        std::vector<double> silentShares;
        for (int r = 0; r < qMin(reps, 3) && ok; ++r) {
            CVideoConv conv;
            conv.setInputFile(clip);
            conv.setOutputFile(QDir(out.path()).filePath(QStringLiteral("silent.mkv")));
            conv.setParametrs(QStringLiteral("-loglevel quiet -nostats -vf realtime -c:v mpeg4 -an -t 4 -y"));
            conv.setStartTime(0);
            const double cpu0 = OwnCpuSeconds();
            QElapsedTimer clock;
            clock.start();
            conv.StartConversion();
            const double wall = Seconds(clock);
            const double cpu = OwnCpuSeconds() - cpu0;
            QFile::remove(conv.OutputFile());
            if (!conv.Succeeded()) {
                ok = Fail("the silent job failed");
                break;
            }
            silentShares.push_back(cpu / wall);
        }
        f.cpuShareSilent = Median(silentShares);
        std::printf("3. own CPU: %.2f %% of a core during the window's cut, %.2f %% while the encoder is silent\n",
                    100.0 * f.cpuShareJob, 100.0 * f.cpuShareSilent);
        std::fflush(stdout);
    }

    // ---- 4: probe and first frame against the bare probe.
    if (ok) {
        std::vector<double> loads, probes, ownProbes;
        for (int r = 0; r < reps && ok; ++r) {
            QElapsedTimer clock;
            clock.start();
            bool supported = false;
            {
                CVideoConv probe;
                supported = probe.IsFileSupported(clip);
            }
            ownProbes.push_back(Seconds(clock));
            PlaybackEngine engine;
            bool loaded = false;
            QObject::connect(&engine, &PlaybackEngine::loaded, [&] { loaded = true; });
            const bool rendered = supported && engine.Load(clip) && RunUntil([&] { return loaded; }, 30000);
            const double load = Seconds(clock);
            const double bare = RunBare(Encoder(), {"-hide_banner", "-i", clip}, true);
            if (!rendered || bare < 0) {
                ok = Fail("loading the clip failed");
                break;
            }
            loads.push_back(load);
            probes.push_back(bare);
        }
        f.load = Median(loads);
        f.bareProbe = Median(probes);
        f.ownProbe = Median(ownProbes);
        std::printf("4. load: probe and first frame %.3f s (of which the probe %.3f s), bare probe %.3f s\n", f.load,
                    f.ownProbe, f.bareProbe);
        std::fflush(stdout);
    }

    // ---- 5: start-up, from outside.
    if (ok) {
        const QString folder = QCoreApplication::applicationDirPath();
        std::vector<double> program, bare;
        for (int r = 0; r < qMax(reps, 7) && ok; ++r) {
            const double a = StartUp(folder + QStringLiteral("/clipwright"), config.path());
            const double b = StartUp(folder + QStringLiteral("/clipwright-bench-bare"), config.path());
            if (a < 0 || b < 0) {
                ok = Fail("a start-up run did not show its window");
                break;
            }
            program.push_back(a);
            bare.push_back(b);
        }
        f.startUp = Median(program);
        f.bareStartUp = Median(bare);
        std::printf("5. start-up: program %.3f s, bare Qt window %.3f s; in the benchmark's own process the window"
                    " was built in %.3f s and shown in %.3f s\n",
                    f.startUp, f.bareStartUp, f.windowBuilt, f.windowShown);
    }
    // ---- 6: the window's longest event-loop stall during seeks and pauses while playing.
    if (ok) {
        std::vector<double> playing, idle;
        for (int r = 0; r < reps && ok; ++r) {
            frmMain w;
            w.show();
            w.OpenVideoFile(clip);
            if (!RunUntil([&] { return w.IsVideoLoaded(); }, 30000)) {
                ok = Fail("the window could not load the clip");
                break;
            }
            // 60 steps 100 ms apart: a seek by the timeline's mouse-up, and every fourth step Play / Pause.
            playing.push_back(LongestStallMs(
                [&](int step) {
                    if (step % 4 == 3) {
                        w.findChild<MyButton*>(QStringLiteral("cmdPlay"))->click();
                        return;
                    }
                    w.findChild<Slider*>(QStringLiteral("Slider"))->setValue((step * 97) % 590);
                    emit w.findChild<Slider*>(QStringLiteral("Slider"))->MouseUp(1, 0, 0.0f, 0.0f);
                },
                60, 100));
            w.cmdStop_Click();
            idle.push_back(LongestStallMs([](int) {}, 60, 100));
        }
        f.stallPlaying = Median(playing);
        f.stallIdle = Median(idle);
        std::printf("6. longest event-loop stall: %.1f ms during seeks and pauses while playing, %.1f ms idle\n",
                    f.stallPlaying, f.stallIdle);
        std::fflush(stdout);
    }

    // ---- 7: the key-frame scan of the two-hour clip.
    if (ok && (twoHours.isEmpty() || !KeyFrameFigure(twoHours, reps, &keyFrameStall)))
        ok = Fail("the key-frame scan of the two-hour clip failed");
    if (ok && !(SmartCutFigure(clip, qMin(reps, 3)) && SmartCutLengthSweep(qMin(reps, 3)) && SegmentsJoinFigure(qMin(reps, 3))))
        ok = Fail("a cut of the smart-cut figure failed");
    if (ok && !CommandLineFigure(clip, reps))
        ok = Fail("a cut of the command-line figure failed");
    const int memoryRc = ok ? MemoryFigure(50) : 2;
    if (ok && memoryRc == 2)
        ok = Fail("a load of the memory figure failed");

    // ---- 9 to 11: the preview on a virtual X display (at most 3 repetitions: each plays for seconds).
    const int previewRc = ok ? PreviewFigures(twoHours, qMin(reps, 3)) : 2;
    if (ok && previewRc == 2)
        ok = Fail("the preview figures could not be measured");

    if (!ok || host.messages() > 0) {
        if (host.messages() > 0)
            Fail("the program showed a message box");
        SetHost(nullptr);
        return 2;
    }

    const double r1 = f.windowCut / f.bareCut;
    const double r2 = f.at90 / f.at0;
    const double oldRatio = f.oldAt90 / f.at0;
    const bool met1 = r1 <= 1.05, met2 = r2 <= 1.5, met3 = f.cpuShareJob < 0.02 && f.cpuShareSilent < 0.02;
    const bool met6 = f.stallPlaying < 50.0;
    std::printf("\nResults (medians of %d; load average at start %s, at end %s)\n", reps, qPrintable(loadBefore),
                qPrintable(LoadAverage()));
    std::printf("1. cut overhead, 30 s cut 720p -> MPEG-4 AVI: window %.3f s / bare encoder %.3f s = ratio %.3f"
                " (target <= 1.05: %s)\n",
                f.windowCut, f.bareCut, r1, Verdict(met1));
    std::printf("2. position independence, 10 s cut of 10 min 720p: at 90 %% %.3f s / at 0 %% %.3f s = ratio %.3f"
                " (target <= 1.5: %s); old order at 90 %%: %.3f s = ratio %.2f; first progress at 90 %% after %.2f s\n",
                f.at90, f.at0, r2, Verdict(met2), f.oldAt90, oldRatio, f.firstProgressAt90);
    std::printf("3. own CPU while a job runs: %.2f %% of one core (window cut), %.2f %% (silent encoder)"
                " = ratio %.4f of a core (target < 0.02: %s)\n",
                100.0 * f.cpuShareJob, 100.0 * f.cpuShareSilent, qMax(f.cpuShareJob, f.cpuShareSilent),
                Verdict(met3));
    std::printf("4. load latency, 720p: probe + first frame %.3f s (probe %.3f s) / bare probe %.3f s = ratio %.2f\n",
                f.load, f.ownProbe, f.bareProbe, f.load / f.bareProbe);
    std::printf("5. start-up to window shown: program %.3f s / bare Qt window %.3f s = ratio %.2f\n", f.startUp,
                f.bareStartUp, f.startUp / f.bareStartUp);
    std::printf("6. longest event-loop stall during seeks and pauses while playing: %.1f ms (idle window, stopped"
                " video: %.1f ms) (target < 50 ms: %s)\n",
                f.stallPlaying, f.stallIdle, Verdict(met6));
    SetHost(nullptr);
    return met1 && met2 && met3 && met6 && keyFrameStall < 50.0 && previewRc == 0 && memoryRc == 0 ? 0 : 1;
}
