#include "CommandLineBench.h"

#include "BenchSupport.h"

#include "formats/Catalogue.h"
#include "formats/FormatChoice.h"
#include "formats/GetParamaters.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <vector>

namespace clip::bench {

namespace {

QString Beside(const char* program) { return QDir(QCoreApplication::applicationDirPath()).filePath(QLatin1String(program)); }

}  // namespace

bool CommandLineFigure(const QString& clip, int reps)
{
    QTemporaryDir out;
    // Figure 1's preset, its options as the cut hands them to the encoder.
    Catalogues catalogues;
    const FormatChoice choice = FormatChoice::Preset("General Video", "MPEG-4 (Xvid compatible)", "avi");
    if (!ReadPresets(catalogues) || !ChosenPreset(catalogues, choice))
        return false;
    const QString preset = choice.category + QLatin1Char('/') + choice.label + QLatin1Char('/') + choice.extension;
    const QStringList bareOptions = QStringList{"-ss", "60", "-i", clip}
        + QProcess::splitCommand(GetParamaters(choice, catalogues, 60, 90) + QStringLiteral(" -y"));
    std::vector<double> command, bare, help, core;
    for (int r = 0; r < reps; ++r) {
        const double c = RunBare(Beside("clipwright"), {"cut", "--from", "60", "--to", "90", "--preset", preset,
                                                        "--output-dir", out.path(), clip});
        const QString target = QDir(out.path()).filePath(QStringLiteral("bare.avi"));
        const double b = RunBare(Encoder(), bareOptions + QStringList{target});
        if (c < 0 || b < 0)
            return false;
        for (const QString& made : QDir(out.path()).entryList(QDir::Files))
            QFile::remove(QDir(out.path()).filePath(made));
        command.push_back(c), bare.push_back(b);
        help.push_back(RunBare(Beside("clipwright"), {"cut", "--help"}));
        core.push_back(RunBare(Beside("clipwright-bench-bare-core"), {}));
    }
    const double ratio = Median(command) / Median(bare);
    std::printf("14. command line: clipwright cut of 30 s 720p -> MPEG-4 AVI %.3f s / bare encoder %.3f s = ratio %.3f"
                " (target <= 1.05: %s); clipwright cut --help %.1f ms (target < 50 ms: %s), bare core start %.1f ms\n",
                Median(command), Median(bare), ratio, ratio <= 1.05 ? "met" : "NOT met", 1000.0 * Median(help),
                Median(help) < 0.05 ? "met" : "NOT met", 1000.0 * Median(core));
    std::fflush(stdout);
    return true;
}

}  // namespace clip::bench
