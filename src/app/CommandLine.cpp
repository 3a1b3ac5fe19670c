#include "app/CommandLine.h"

#include "common/ConsoleText.h"
#include "common/HostServices.h"
#include "mainwindow/frmMain.h"
#include "preview/VideoSession.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QUrl>

#include <cstdio>

namespace clip {

namespace {

// Written here rather than by the parser, which needs the application
// object for its own text.
const char* const kHelpText =
    "Usage: clipwright [options] [VIDEO]\n"
    "       clipwright cut [options] INPUT...\n"
    "       clipwright presets\n"
    "Cuts a marked part of a video into a new file.\n"
    "\n"
    "Options:\n"
    "  -h, --help     Show this help and exit.\n"
    "  -v, --version  Show the version and exit.\n"
    "\n"
    "Arguments:\n"
    "  VIDEO          A video to open at start-up.\n"
    "\n"
    "Commands (no window):\n"
    "  cut            Cut each INPUT into a new file ('clipwright cut --help').\n"
    "  presets        List the named formats: category, label and extension.\n";

}  // namespace

StartupRequest ReadCommandLine(const QStringList& arguments, bool beforeToolkit)
{
    QCommandLineParser parser;
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QString());
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")}, QString());
    parser.addOptions({help, version});
    const bool parsed = parser.parse(arguments);

    StartupRequest request;
    if (parser.isSet(help)) {
        PrintText(stdout, QString::fromLatin1(kHelpText));
        request.exitCode = 0;
    } else if (parser.isSet(version)) {
        PrintText(stdout, QStringLiteral("Clipwright %1\n").arg(QStringLiteral(CLIP_VERSION_TEXT)));
        request.exitCode = 0;
    } else if (beforeToolkit) {
        return request;
    } else if (!parsed || parser.positionalArguments().size() > 1) {
        const QString cause = parsed ? QStringLiteral("Only one video can be opened.") : parser.errorText();
        PrintText(stderr, QStringLiteral("clipwright: %1\nTry 'clipwright --help'.\n").arg(cause));
        request.exitCode = 2;
    } else if (!parser.positionalArguments().isEmpty()) {
        request.video = parser.positionalArguments().constFirst();
    }
    return request;
}

void OpenAtStartUp(frmMain& window, const QString& path)
{
    if (VideoSession::RefuseUnreadableName(path))
        return;
    const QFileInfo info(path);
    if (!info.isFile() || !VideoSession::IsVideoFileName(info.fileName())) {
        // The text of the preview's own message.
        Host().messageBox(QStringLiteral("File is not supported"), MsgExclamation);
        return;
    }
    window.picVideoWindow_OLEDragDrop({QUrl::fromLocalFile(info.absoluteFilePath())});
}

}  // namespace clip
