#include "cli/Commands.h"

#include "cli/ConsoleHost.h"
#include "cli/CutCommand.h"
#include "common/ConsoleText.h"
#include "common/ProgramNames.h"
#include "formats/Catalogue.h"

#include <QCoreApplication>

#include <cstdio>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace clip {

namespace {

int ListPresets(const QStringList& options)
{
    if (!options.isEmpty()) {
        const bool help = options.constFirst() == QLatin1String("--help") || options.constFirst() == QLatin1String("-h");
        PrintText(help ? stdout : stderr,
              (help ? QString() : QStringLiteral("clipwright: presets takes no arguments.\n"))
                  + QStringLiteral("Usage: clipwright presets\n"
                                   "Lists the named formats, one a line: category, label and extension,\n"
                                   "separated by tabs; 'clipwright cut --preset CATEGORY/LABEL/EXTENSION'\n"
                                   "takes them.\n"));
        return help ? 0 : 2;
    }
    Catalogues catalogues;
    if (!ReadPresets(catalogues))
        return 1;  // the host has said why
    QString lines;
    for (int i = 0; i < catalogues.PresetCount; ++i) {
        const PresetEntry& preset = catalogues.Presets.at(i);
        // A record without a category is not offered by the window either.
        if (!preset.Category.isEmpty())
            lines += preset.Category + QLatin1Char('\t') + preset.Label + QLatin1Char('\t') + preset.Extension
                     + QLatin1Char('\n');
    }
    PrintText(stdout, lines);
    return 0;
}

}  // namespace

bool IsWindowlessCommand(const QStringList& arguments)
{
    return arguments.size() > 1
        && (arguments.at(1) == QLatin1String("presets") || arguments.at(1) == QLatin1String("cut"));
}

std::optional<int> RunWindowlessCommand(const QStringList& arguments)
{
    if (!IsWindowlessCommand(arguments))
        return std::nullopt;
    if (arguments.at(1) == QLatin1String("cut"))
        return RunCutCommand(arguments.mid(2));
    return ListPresets(arguments.mid(2));
}

int RunWindowlessProgram(int argc, char** argv)
{
#ifdef Q_OS_WIN
    // A window program has no console of its own: a command started from
    // one writes to it (unless its output already goes to a file or a pipe).
    if (::AttachConsole(ATTACH_PARENT_PROCESS)) {
        if (!::GetStdHandle(STD_OUTPUT_HANDLE) || std::ferror(stdout))
            std::freopen("CONOUT$", "w", stdout);
        if (!::GetStdHandle(STD_ERROR_HANDLE) || std::ferror(stderr))
            std::freopen("CONOUT$", "w", stderr);
    }
#endif
    QCoreApplication app(argc, argv);
    SetProgramNames();
    ConsoleHost host;
    SetHost(&host);
    const int status = RunWindowlessCommand(QCoreApplication::arguments()).value_or(2);
    SetHost(nullptr);
    return status;
}

}  // namespace clip
