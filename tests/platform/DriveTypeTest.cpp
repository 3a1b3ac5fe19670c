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

// The kernel's own word on whether a folder is on tmpfs.
bool OnTmpfs(const QString& path)
{
    struct statfs info {};
    return statfs(QFile::encodeName(path).constData(), &info) == 0 && info.f_type == kTmpfsMagic;
}

TEST(DriveType, RealFoldersAndPathsWithoutARoot)
{
    QTemporaryDir dir;
    const QString file = dir.filePath("plain.txt");
    ASSERT_TRUE(QFile(file).open(QIODevice::WriteOnly));
    const int expected = OnTmpfs(dir.path()) ? kRamDisk : kFixed;
    // A path that does not exist (yet) is judged by its nearest existing ancestor.
    for (const QString& path : {dir.path(), dir.path() + "/not/there/yet", dir.path() + "/a/../", file + "/below/a/file"})
        EXPECT_EQ(DriveTypeOf(path.toStdString()), expected) << path.toStdString();
    EXPECT_EQ(NearestExistingAncestor("/no-such-top-level-folder/x"), "/");
    EXPECT_EQ(DriveTypeOf("/proc/self/missing/child"), kUnknown);
    for (const char* path : {"", "relative/folder", "C:\\Cut Files", "C:"})
        EXPECT_EQ(DriveTypeOf(path), kNoRootDir) << path;
}

TEST(DriveType, MountsAreClassifiedByFileSystem)
{
    const struct { const char* type; const char* device; int expected; } cases[] = {
        {"nfs", "server:/export", kRemote}, {"nfs4", "s:/e", kRemote}, {"cifs", "//server/share", kRemote},
        {"smb3", "//s/share", kRemote}, {"9p", "hostshare", kRemote}, {"fuse.sshfs", "ana@host:/home", kRemote},
        {"fuse.rclone", "drive:", kRemote}, {"ceph", "10.0.0.1:/", kRemote}, {"tmpfs", "tmpfs", kRamDisk},
        {"ramfs", "none", kRamDisk}, {"iso9660", "/dev/sr0", kOptical}, {"udf", "/dev/sr0", kOptical},
        {"proc", "proc", kUnknown}, {"sysfs", "sysfs", kUnknown}, {"overlay", "overlay", kFixed},
        {"zfs", "tank/home", kFixed}, {"fuse.gocryptfs", "/home/ana/.c", kFixed}, {"EXT4", "none", kFixed},
        {"ext4", "/dev/zram0", kRamDisk}, {"ext4", "/dev/sr1", kOptical}};
    for (const auto& c : cases)
        EXPECT_EQ(ClassifyMount(c.type, c.device, "/nonexistent-sys"), c.expected) << c.type << " " << c.device;
}

// A stand-in /sys: disks sdq (removable) and sdp (fixed), each with one
// partition, an SD card and an eMMC chip, and a mapped device on each disk.
TEST(DriveType, RemovableDevicesAndWhatIsBuiltOnThemWithAStandInSys)
{
    QTemporaryDir sys;
    ASSERT_TRUE(sys.isValid());
    auto write = [&](const QString& relative, const QByteArray& text) {
        const QString path = sys.filePath(relative);
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text + "\n");
    };
    auto link = [&](const QString& target, const QString& relativeLink) {
        QDir().mkpath(QFileInfo(sys.filePath(relativeLink)).path());
        ASSERT_TRUE(QFile::link(sys.filePath(target), sys.filePath(relativeLink)));
    };
    const struct { const char* disk; QByteArray removable; const char *partition, *extraFile; QByteArray extraText; } disks[] = {
        {"sdq", "1", "sdq1", nullptr, {}}, {"sdp", "0", "sdp1", nullptr, {}},
        {"mmcblk0", "0", "mmcblk0p1", "device/type", "SD"}, {"mmcblk1", "0", "mmcblk1p1", "device/type", "MMC"},
        {"dm-0", "0", nullptr, "slaves/sdq1", ""}, {"dm-1", "0", nullptr, "slaves/sdp1", ""}};
    for (const auto& d : disks) {
        const QString device = QStringLiteral("devices/x/block/") + d.disk;
        write(device + "/removable", d.removable);
        link(device, QStringLiteral("block/") + d.disk);
        link(device, QStringLiteral("class/block/") + d.disk);
        if (d.partition) {
            write(device + "/" + d.partition + "/partition", "1");
            link(device + "/" + d.partition, QStringLiteral("class/block/") + d.partition);
        }
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
