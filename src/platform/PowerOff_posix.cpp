#include "platform/PowerOff.h"
#include "platform/PowerOff_posix.h"
#include "platform/TestingGuard.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QString>

#include <cstdio>
#include <utility>

namespace clip::platform {

namespace {

LoginManagerInvoker& Replacement()
{
    static LoginManagerInvoker invoker;
    return invoker;
}

// How long the answer is waited for (in the background: the window goes on).
constexpr int kCallTimeoutMs = 15000;

}  // namespace

std::optional<LoginManagerCall> LoginManagerCallFor(int mode)
{
    switch (mode) {
    case 0: return LoginManagerCall{"TerminateSession", "auto", false};
    case 1:
    case 8: return LoginManagerCall{"PowerOff", {}, false};
    case 2: return LoginManagerCall{"Reboot", {}, false};
    default: return std::nullopt;
    }
}

LoginManagerInvoker SetLoginManagerInvoker(LoginManagerInvoker invoker)
{
    LoginManagerInvoker previous = std::move(Replacement());
    Replacement() = std::move(invoker);
    return previous;
}

bool CallLoginManagerOverDBus(const LoginManagerCall& call)
{
    if (RunningUnderTests()) {
        std::fprintf(stderr, "Clipwright: login manager call %s refused while testing\n",
                     call.method.c_str());
        return false;
    }
    return SendLoginManagerCall(QDBusConnection::systemBus(), call);
}

bool SendLoginManagerCall(const QDBusConnection& bus, const LoginManagerCall& call)
{
    if (!bus.isConnected())
        return false;
    QDBusMessage message = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"), QString::fromStdString(call.method));
    if (call.method == "TerminateSession")
        message << QString::fromStdString(call.sessionId);
    else
        message << call.interactive;
    // Sent without waiting: the answer arrives through the event loop. A
    // refusal (other users logged in, no permission) is only logged.
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(message, kCallTimeoutMs));
    const QString method = QString::fromStdString(call.method);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, [method](QDBusPendingCallWatcher* done) {
        if (done->isError())
            qWarning("Clipwright: the login manager refused %s: %s", qPrintable(method),
                     qPrintable(done->error().message()));
        done->deleteLater();
    });
    return true;
}

bool ShutdownComputer(int mode)
{
    const std::optional<LoginManagerCall> call = LoginManagerCallFor(mode);
    if (!call)
        return false;
    const LoginManagerInvoker& replacement = Replacement();
    return replacement ? replacement(*call) : CallLoginManagerOverDBus(*call);
}

}  // namespace clip::platform
