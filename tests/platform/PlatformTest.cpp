// The platform layer off Windows: drive types judged by the file system under
// a folder, and power-off through the login manager (the real call is sent
// without waiting; a refusal is only logged).
#ifndef _WIN32

#include "platform/DriveType.h"
#include "platform/DriveType_posix.h"
#include "platform/PowerOff.h"
#include "platform/PowerOff_posix.h"
#include "platform/TestingGuard.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtDBus>
#include <gtest/gtest.h>

#include <sys/vfs.h>

namespace clip::platform {
namespace {

constexpr int kUnknown = 0, kNoRootDir = 1, kRemovable = 2, kFixed = 3, kRamDisk = 6;

TEST(DriveType, RealFoldersAndPathsWithoutARoot)
{
    QTemporaryDir dir;
    const QString file = dir.filePath("plain.txt");
    ASSERT_TRUE(QFile(file).open(QIODevice::WriteOnly));
    struct statfs info {};  // the kernel's own word on whether the folder is on tmpfs
    const int expected = statfs(QFile::encodeName(dir.path()), &info) == 0 && info.f_type == 0x01021994 ? kRamDisk : kFixed;
    // A path that does not exist (yet) is judged by its nearest existing ancestor.
    for (const QString& path : {dir.path(), dir.path() + "/not/there/yet", dir.path() + "/a/../", file + "/below/a/file"})
        EXPECT_EQ(DriveTypeOf(path.toStdString()), expected) << path.toStdString();
    EXPECT_EQ(DriveTypeOf("/proc/self/missing/child"), kUnknown);
    for (const char* path : {"", "relative/folder", "C:\\Cut Files", "C:"})
        EXPECT_EQ(DriveTypeOf(path), kNoRootDir) << path;
}

// A stand-in /sys: disks sdq (removable) and sdp (fixed) with one partition
// each, an SD card and an eMMC chip, and a mapped device on each disk.
TEST(DriveType, RemovableDevicesAndWhatIsBuiltOnThemWithAStandInSys)
{
    QTemporaryDir sys;
    const auto write = [&](const QString& relative, const QString& text) {
        QFile file(sys.filePath(relative));
        ASSERT_TRUE(QDir().mkpath(QFileInfo(file).path()) && file.open(QIODevice::WriteOnly) && file.write(text.toUtf8() + "\n"));
    };
    const auto link = [&](const QString& target, const QString& relative) {
        ASSERT_TRUE(QDir().mkpath(QFileInfo(sys.filePath(relative)).path())
                    && QFile::link(sys.filePath(target), sys.filePath(relative)));
    };
    // disk, its "removable", its partition (- for none), a further file=its text
    for (const QString disk : {"sdq 1 sdq1", "sdp 0 sdp1", "mmcblk0 0 mmcblk0p1 device/type=SD",
                               "mmcblk1 0 mmcblk1p1 device/type=MMC", "dm-0 0 - slaves/sdq1=", "dm-1 0 - slaves/sdp1="}) {
        const QStringList f = disk.split(' ');
        const QString device = "devices/x/block/" + f[0];
        write(device + "/removable", f[1]);
        link(device, "block/" + f[0]), link(device, "class/block/" + f[0]);
        if (f[2] != "-")
            write(device + "/" + f[2] + "/partition", "1"), link(device + "/" + f[2], "class/block/" + f[2]);
        if (f.size() > 3)
            write(device + "/" + f[3].section('=', 0, 0), f[3].section('=', 1));
    }
    // An SD card is removable, a soldered eMMC chip is not; a mapped device is what it is built on; a device
    // unknown to sysfs is fixed.
    const struct { const char* device; int expected; } cases[] = {
        {"/dev/sdq1", kRemovable}, {"/dev/sdq", kRemovable}, {"/dev/sdp1", kFixed}, {"/dev/mmcblk0p1", kRemovable},
        {"/dev/mmcblk1p1", kFixed}, {"/dev/dm-0", kRemovable}, {"/dev/dm-1", kFixed}, {"/dev/nvme9n9p9", kFixed}};
    for (const auto& c : cases)
        EXPECT_EQ(ClassifyMount("vfat", c.device, sys.path().toStdString()), c.expected) << c.device;
}

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
