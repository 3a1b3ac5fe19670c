// Drive types off Windows, judged by the file system under a folder.
#ifndef _WIN32

#include "common/HostServices.h"
#include "platform/DriveType.h"
#include "platform/DriveType_posix.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/vfs.h>

namespace clip::platform {
namespace {

constexpr int kUnknown = 0, kNoRootDir = 1, kRemovable = 2, kFixed = 3, kRemote = 4, kOptical = 5, kRamDisk = 6;
constexpr long kTmpfsMagic = 0x01021994;

TEST(DriveType, RealFoldersAndPathsWithoutARoot)
{
    QTemporaryDir dir;
    const QString file = dir.filePath("plain.txt");
    ASSERT_TRUE(QFile(file).open(QIODevice::WriteOnly));
    struct statfs info {};  // the kernel's own word on whether the folder is on tmpfs
    const int expected = statfs(QFile::encodeName(dir.path()), &info) == 0 && info.f_type == kTmpfsMagic ? kRamDisk : kFixed;
    // A path that does not exist (yet) is judged by its nearest existing ancestor.
    for (const QString& path : {dir.path(), dir.path() + "/not/there/yet", dir.path() + "/a/../", file + "/below/a/file"})
        EXPECT_EQ(DriveTypeOf(path.toStdString()), expected) << path.toStdString();
    EXPECT_EQ(NearestExistingAncestor("/no-such-top-level-folder/x"), "/");
    EXPECT_EQ(DriveTypeOf("/proc/self/missing/child"), kUnknown);
    for (const char* path : {"", "relative/folder", "C:\\Cut Files", "C:"})
        EXPECT_EQ(DriveTypeOf(path), kNoRootDir) << path;
}

// A stand-in /sys: disks sdq (removable) and sdp (fixed), each with one
// partition, an SD card and an eMMC chip, and a mapped device on each disk.
TEST(DriveType, RemovableDevicesAndWhatIsBuiltOnThemWithAStandInSys)
{
    QTemporaryDir sys;
    auto write = [&](const QString& relative, const QByteArray& text) {
        QFile file(sys.filePath(relative));
        ASSERT_TRUE(QDir().mkpath(QFileInfo(file).path()) && file.open(QIODevice::WriteOnly) && file.write(text + "\n"));
    };
    auto link = [&](const QString& target, const QString& relativeLink) {
        ASSERT_TRUE(QDir().mkpath(QFileInfo(sys.filePath(relativeLink)).path()) && QFile::link(sys.filePath(target), sys.filePath(relativeLink)));
    };
    const struct { const char* disk; QByteArray removable; const char *partition, *extraFile; QByteArray extraText; } disks[] = {
        {"sdq", "1", "sdq1", nullptr, {}}, {"sdp", "0", "sdp1", nullptr, {}},
        {"mmcblk0", "0", "mmcblk0p1", "device/type", "SD"}, {"mmcblk1", "0", "mmcblk1p1", "device/type", "MMC"},
        {"dm-0", "0", nullptr, "slaves/sdq1", ""}, {"dm-1", "0", nullptr, "slaves/sdp1", ""}};
    for (const auto& d : disks) {
        const QString device = QStringLiteral("devices/x/block/") + d.disk;
        write(device + "/removable", d.removable);
        link(device, QStringLiteral("block/") + d.disk), link(device, QStringLiteral("class/block/") + d.disk);
        if (d.partition)
            write(device + "/" + d.partition + "/partition", "1"), link(device + "/" + d.partition, QStringLiteral("class/block/") + d.partition);
        if (d.extraFile)
            write(device + "/" + d.extraFile, d.extraText);
    }
    // An SD card (mmcblk0) is removable, a soldered eMMC chip (mmcblk1) is not; a mapped device is what it
    // is built on; a device unknown to sysfs is fixed.
    const struct { const char* device; int expected; } cases[] = {
        {"/dev/sdq1", kRemovable}, {"/dev/sdq", kRemovable}, {"/dev/sdp1", kFixed}, {"/dev/mmcblk0p1", kRemovable},
        {"/dev/mmcblk1p1", kFixed}, {"/dev/dm-0", kRemovable}, {"/dev/dm-1", kFixed}, {"/dev/nvme9n9p9", kFixed}};
    for (const auto& c : cases)
        EXPECT_EQ(ClassifyMount("vfat", c.device, sys.path().toStdString()), c.expected) << c.device;
}

}  // namespace
}  // namespace clip::platform

#endif
