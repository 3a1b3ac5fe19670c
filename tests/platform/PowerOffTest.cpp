// Power-off off Windows: every mode reaches the login manager through the
// seam; the real call is sent without waiting, and a refusal is only logged.
#ifndef _WIN32

#include "platform/PowerOff.h"
#include "platform/PowerOff_posix.h"
#include "platform/TestingGuard.h"

#include <QCoreApplication>
#include <QtDBus>
#include <QElapsedTimer>
#include <QProcess>
#include <gtest/gtest.h>

namespace clip::platform {
namespace {

TEST(PowerOff, KnownModesMakeOneNonInteractiveCallOthersNone)
{
    static std::vector<LoginManagerCall> calls;
    SetLoginManagerInvoker([](const LoginManagerCall& call) { return calls.push_back(call), true; });
    const struct { int mode; LoginManagerCall expected; } cases[] = {
        {0, {"TerminateSession", "auto", false}}, {1, {"PowerOff", "", false}},
        {2, {"Reboot", "", false}},               {8, {"PowerOff", "", false}}};
    for (const auto& c : cases)
        EXPECT_TRUE((calls.clear(), ShutdownComputer(c.mode) && calls == std::vector<LoginManagerCall>{c.expected}));
    for (int mode : {-1, 3, 4, 7, 9, 16})
        EXPECT_TRUE((calls.clear(), !ShutdownComputer(mode) && calls.empty())) << mode;
    SetLoginManagerInvoker({});
    EXPECT_TRUE(RunningUnderTests() && !ShutdownComputer(8));  // the real call refuses while testing
}

// A login manager of the test's own, on a private bus, that refuses.
class RefusingLoginManager : public QDBusVirtualObject {
public:
    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override
    {
        calls = message.member() + QVariant(message.arguments()).toStringList().join(',');
        return connection.send(message.createErrorReply("org.freedesktop.login1.OtherUsers", "Users are logged in."));
    }
    QString calls;  // written before the answer goes out, read after it came back
};

QStringList g_log;

TEST(PowerOff, TheCallDoesNotWaitForTheAnswerAndARefusalIsLogged)
{
    QProcess daemon;
    daemon.start("dbus-daemon", {"--session", "--nofork", "--print-address"});
    ASSERT_TRUE(daemon.waitForReadyRead(10000));
    const QString address = QString::fromUtf8(daemon.readLine()).trimmed();
    QDBusConnection service = QDBusConnection::connectToBus(address, "login-manager");
    RefusingLoginManager manager;
    ASSERT_TRUE(service.registerService("org.freedesktop.login1")
                && service.registerVirtualObject("/org/freedesktop/login1", &manager));
    const QtMessageHandler previous =
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& text) { g_log << text; });
    EXPECT_TRUE(SendLoginManagerCall(QDBusConnection::connectToBus(address, "caller"), {"PowerOff", "", false}));
    EXPECT_TRUE(g_log.isEmpty());  // the answer comes later, through the event loop
    QElapsedTimer clock;
    for (clock.start(); g_log.isEmpty() && clock.elapsed() < 20000;)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    qInstallMessageHandler(previous);
    EXPECT_EQ(g_log, QStringList{"Clipwright: the login manager refused PowerOff: Users are logged in."});
    EXPECT_EQ(manager.calls, "PowerOfffalse");
    service.unregisterObject("/org/freedesktop/login1");
    QDBusConnection::disconnectFromBus("login-manager"), QDBusConnection::disconnectFromBus("caller");
    daemon.kill(), daemon.waitForFinished();
}

}  // namespace
}  // namespace clip::platform

#endif
