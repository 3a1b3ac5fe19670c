#include "platform/EndRequests.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QThread>
#include <QString>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace clip {

namespace {

#ifdef Q_OS_UNIX
constexpr int kEndSignals[] = {SIGTERM, SIGHUP, SIGINT};
int g_pipe[2] = {-1, -1};  // [0] read by the notifier, [1] written by the handler

extern "C" void WriteSignalNumber(int signalNumber)
{
    const int saved = errno;
    const char byte = char(signalNumber);
    // A full pipe already holds a request; one is enough.
    [[maybe_unused]] const ssize_t written = ::write(g_pipe[1], &byte, 1);
    errno = saved;
}
#endif

}  // namespace

EndRequests::EndRequests(QObject* parent) : QObject(parent)
{
#ifdef Q_OS_UNIX
    if (g_pipe[0] >= 0 || ::socketpair(AF_UNIX, SOCK_STREAM, 0, g_pipe) != 0)
        return;
    for (const int fd : g_pipe) {
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);  // not inherited by the encoder
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    }
    m_notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &EndRequests::readPending);
    struct sigaction action {};
    action.sa_handler = WriteSignalNumber;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signalNumber : kEndSignals)
        ::sigaction(signalNumber, &action, nullptr);
#endif
}

EndRequests::~EndRequests()
{
#ifdef Q_OS_UNIX
    if (!m_notifier)
        return;
    for (const int signalNumber : kEndSignals)
        ::signal(signalNumber, SIG_DFL);
    delete m_notifier;
    ::close(g_pipe[0]);
    ::close(g_pipe[1]);
    g_pipe[0] = g_pipe[1] = -1;
#endif
}

void EndRequests::readPending()
{
#ifdef Q_OS_UNIX
    char bytes[16];
    const ssize_t count = ::read(g_pipe[0], bytes, sizeof bytes);
    for (ssize_t i = 0; i < count; ++i)
        emit received(int(bytes[i]));
#endif
}

namespace {

std::function<void()> g_displayLost;
QtMessageHandler g_previousHandler = nullptr;

// The platform plugins (xcb, wayland) print this warning and then end the
// program themselves; it is the only word the program gets.
void WatchForDisplayLoss(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    // Only on the application's thread, where the plugin ends the program
    // and where the action may touch the program's objects.
    const QCoreApplication* app = QCoreApplication::instance();
    if (type != QtDebugMsg && type != QtInfoMsg && g_displayLost && app && QThread::currentThread() == app->thread()
        && (message.startsWith(QLatin1String("The X11 connection broke"))
            || message.startsWith(QLatin1String("The Wayland connection broke")))) {
        const std::function<void()> action = std::move(g_displayLost);
        g_displayLost = nullptr;
        action();
    }
    if (g_previousHandler)  // Qt's own handler when none was installed before
        g_previousHandler(type, context, message);
}

}  // namespace

void OnDisplayConnectionLost(std::function<void()> action)
{
    g_displayLost = std::move(action);
    if (g_displayLost && !g_previousHandler)
        g_previousHandler = qInstallMessageHandler(WatchForDisplayLoss);
}

}  // namespace clip
