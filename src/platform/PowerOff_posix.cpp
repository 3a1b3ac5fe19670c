#include "platform/PowerOff.h"
#include "platform/PowerOff_posix.h"
#include "platform/TestingGuard.h"

#include <QDBusConnection>
#include <QDBusMessage>
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

// Long enough for polkit to decide, short enough not to hang the window.
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
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected())
        return false;
    QDBusMessage message = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"), QString::fromStdString(call.method));
    if (call.method == "TerminateSession")
        message << QString::fromStdString(call.sessionId);
    else
        message << call.interactive;
    const QDBusMessage reply = bus.call(message, QDBus::Block, kCallTimeoutMs);
    return reply.type() == QDBusMessage::ReplyMessage;
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
