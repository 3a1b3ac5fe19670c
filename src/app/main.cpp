// Clipwright's window: cuts a marked part of a video into a new file.
#include "cli/Commands.h"
#include "common/ProgramNames.h"
#include "app/CommandLine.h"
#include "app/SelfCheck.h"
#include "mainwindow/frmMain.h"
#include "platform/EndRequests.h"
#include "platform/QtHostServices.h"
#include "player/PlaybackEngine.h"

#include <QApplication>
#include <QEvent>
#include <QIcon>
#include <QStyleFactory>
#include <QTimer>

#include <cstdio>

namespace {

// Ends the program's event loops without closing the windows (a close could
// wait on a box, such as a failed settings save, that nobody is there to
// answer). An exit that comes in a loop run before the main one (a box
// during the start-up) would be forgotten when the main loop starts: main()
// then does not start it.
bool g_exitAsked = false;
void ExitEventLoops()
{
    g_exitAsked = true;
    QCoreApplication::exit(0);
}

// Benchmark hook (bench/, start-up figure): with CLIPWRIGHT_EXIT_WHEN_SHOWN
// set in the environment, the program writes "shown" to its standard output
// once the window has been painted for the first time, and ends without
// closing the window. Not meant for users.
class ExitWhenShown : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && !m_done) {
            m_done = true;
            // After the paint has finished.
            QTimer::singleShot(0, qApp, [] {
                std::fputs("shown\n", stdout);
                std::fflush(stdout);
                ExitEventLoops();
            });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    bool m_done = false;
};

}  // namespace

int main(int argc, char** argv)
{
    // Before any thread exists.
    clip::LimitAllocatorPools();
    // --help and --version answer without a display.
    QStringList rawArguments;
    for (int i = 0; i < argc; ++i)
        rawArguments << QString::fromLocal8Bit(argv[i]);
    // The commands that need no window (where no launcher answers them).
    if (clip::IsWindowlessCommand(rawArguments))
        return clip::RunWindowlessProgram(argc, argv);
    if (const auto early = clip::ReadCommandLine(rawArguments, true); early.exitCode)
        return *early.exitCode;

    // The preview's GPU path shares textures between the engine's OpenGL
    // context and the pane's; set before the application object exists.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    // Qt takes the locale from the environment; the playback engine needs
    // C-style numbers.
    clip::EnsureCNumericLocale();

    clip::SetProgramNames();
    // The desktop entry and the icon an installed program brings.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.example.clipwright"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("clipwright")));
    // One style on every platform, so the theme's colours look the same.
    if (QStyle* style = QStyleFactory::create(QStringLiteral("Fusion")))
        QApplication::setStyle(style);

    const clip::StartupRequest request = clip::ReadCommandLine(QApplication::arguments(), false);
    if (request.exitCode)
        return *request.exitCode;

    clip::QtHostServices host;
    clip::SetHost(&host);

    clip::frmMain window;
    // Until here a signal ends the program at once (the system's default):
    // nothing has changed yet that a close would save.
    clip::EndRequests endRequests;
    QObject::connect(&endRequests, &clip::EndRequests::received, &window, &clip::frmMain::StopAndClose);
    clip::OnDisplayConnectionLost([&window] { window.SaveBeforeAbruptEnd(); });
    ExitWhenShown exitWhenShown;
    if (qEnvironmentVariableIsSet("CLIPWRIGHT_EXIT_WHEN_SHOWN"))
        window.installEventFilter(&exitWhenShown);
    window.show();
    QTimer::singleShot(0, &window, [&window, video = request.video] {
        const bool selfCheck = clip::BeginSelfCheckIfAsked(window);
        if (!video.isEmpty())
            clip::OpenAtStartUp(window, video);
        if (selfCheck)
            clip::FinishSelfCheck(window);
    });
    const int rc = g_exitAsked ? 0 : app.exec();
    clip::OnDisplayConnectionLost(nullptr);
    clip::SetHost(nullptr);
    return rc;
}
