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

constexpr int kUnknown = static_cast<int>(DriveKind::Unknown);
constexpr int kNoRootDir = static_cast<int>(DriveKind::NoRootDir);
constexpr int kRemovable = static_cast<int>(DriveKind::Removable);
constexpr int kFixed = static_cast<int>(DriveKind::Fixed);
constexpr int kRemote = static_cast<int>(DriveKind::Remote);
constexpr int kOptical = static_cast<int>(DriveKind::Optical);
constexpr int kRamDisk = static_cast<int>(DriveKind::RamDisk);

constexpr long kTmpfsMagic = 0x01021994;

// The kernel's own word on whether a folder is on tmpfs.
bool OnTmpfs(const QString& path)
{
    struct statfs info {};
    return statfs(QFile::encodeName(path).constData(), &info) == 0 && info.f_type == kTmpfsMagic;
}

TEST(DriveType, TheTemporaryFolderIsAFixedDiskOrARamDisk)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const int expected = OnTmpfs(dir.path()) ? kRamDisk : kFixed;
    EXPECT_EQ(DriveTypeOf(dir.path().toStdString()), expected);
    // A folder that does not exist yet is judged by its nearest ancestor.
    EXPECT_EQ(DriveTypeOf((dir.path() + "/not/there/yet").toStdString()), expected);
    const QString file = dir.filePath("plain.txt");
    QFile(file).open(QIODevice::WriteOnly);
    EXPECT_EQ(DriveTypeOf((file + "/below/a/file").toStdString()), expected);
}

TEST(DriveType, MemoryAndKernelFileSystemsAreNotFixed)
{
    EXPECT_EQ(DriveTypeOf("/proc"), kUnknown);
    EXPECT_EQ(DriveTypeOf("/proc/self/missing/child"), kUnknown);
    if (!QFileInfo::exists("/dev/shm") || !OnTmpfs("/dev/shm"))
        GTEST_SKIP() << "/dev/shm is not a tmpfs here";
    EXPECT_EQ(DriveTypeOf("/dev/shm"), kRamDisk);
    EXPECT_EQ(DriveTypeOf("/dev/shm/no/such/folder"), kRamDisk);
}

TEST(DriveType, PathsWithoutAUsableRootAreNoRootDir)
{
    for (const char* path : {"", "relative/folder", "C:\\Cut Files", "C:"})
        EXPECT_EQ(DriveTypeOf(path), kNoRootDir) << path;
}

TEST(DriveType, NearestExistingAncestor)
{
    QTemporaryDir dir;
    const std::string base = QDir::cleanPath(dir.path()).toStdString();
    const struct {
        std::string in;
        std::string out;
    } cases[] = {
        {base, base},
        {base + "/a/b/c", base},
        {base + "/a/../", base},
        {"/", "/"},
        {"/no-such-top-level-folder/x", "/"},
        {"", ""},
        {"relative", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(NearestExistingAncestor(c.in), c.out) << c.in;
}

TEST(DriveType, MountsAreClassifiedByFileSystem)
{
    const struct {
        const char* type;
        const char* device;
        int expected;
    } cases[] = {
        {"nfs", "server:/export", kRemote},       {"nfs4", "server:/export", kRemote},
        {"cifs", "//server/share", kRemote},      {"smb3", "//server/share", kRemote},
        {"9p", "hostshare", kRemote},             {"fuse.sshfs", "ana@host:/home", kRemote},
        {"fuse.rclone", "drive:", kRemote},       {"ceph", "10.0.0.1:/", kRemote},
        {"tmpfs", "tmpfs", kRamDisk},             {"ramfs", "none", kRamDisk},
        {"iso9660", "/dev/sr0", kOptical},        {"udf", "/dev/sr0", kOptical},
        {"proc", "proc", kUnknown},               {"sysfs", "sysfs", kUnknown},
        {"overlay", "overlay", kFixed},           {"zfs", "tank/home", kFixed},
        {"fuse.gocryptfs", "/home/ana/.c", kFixed}, {"EXT4", "none", kFixed},
        {"ext4", "/dev/zram0", kRamDisk},         {"ext4", "/dev/sr1", kOptical},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ClassifyMount(c.type, c.device, "/nonexistent-sys"), c.expected) << c.type << " " << c.device;
}

// A stand-in /sys: disks sdq (removable) and sdp (fixed), each with one
// partition, an SD card and an eMMC chip, and a mapped device on sdq1.
class FakeSysfs : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        addDisk("sdq", "1", "sdq1");
        addDisk("sdp", "0", "sdp1");
        addDisk("mmcblk0", "0", "mmcblk0p1");
        write("devices/x/block/mmcblk0/device/type", "SD");
        addDisk("mmcblk1", "0", "mmcblk1p1");
        write("devices/x/block/mmcblk1/device/type", "MMC");
        addDisk("dm-0", "0", "");
        write("devices/x/block/dm-0/slaves/sdq1", "");
        addDisk("dm-1", "0", "");
        write("devices/x/block/dm-1/slaves/sdp1", "");
    }

    void write(const QString& relative, const QByteArray& text)
    {
        const QString path = dir.filePath(relative);
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text + "\n");
    }

    void link(const QString& target, const QString& relativeLink)
    {
        const QString path = dir.filePath(relativeLink);
        QDir().mkpath(QFileInfo(path).path());
        ASSERT_TRUE(QFile::link(dir.filePath(target), path));
    }

    void addDisk(const QString& disk, const QByteArray& removable, const QString& partition)
    {
        const QString device = "devices/x/block/" + disk;
        write(device + "/removable", removable);
        link(device, "block/" + disk);
        link(device, "class/block/" + disk);
        if (!partition.isEmpty()) {
            write(device + "/" + partition + "/partition", "1");
            link(device + "/" + partition, "class/block/" + partition);
        }
    }

    int classify(const char* device) { return ClassifyMount("vfat", device, dir.path().toStdString()); }

    QTemporaryDir dir;
};

TEST_F(FakeSysfs, RemovableDevicesAndWhatIsBuiltOnThem)
{
    EXPECT_EQ(classify("/dev/sdq1"), kRemovable);
    EXPECT_EQ(classify("/dev/sdq"), kRemovable);
    EXPECT_EQ(classify("/dev/sdp1"), kFixed);
    EXPECT_EQ(classify("/dev/mmcblk0p1"), kRemovable);  // SD card
    EXPECT_EQ(classify("/dev/mmcblk1p1"), kFixed);      // soldered eMMC
    EXPECT_EQ(classify("/dev/dm-0"), kRemovable);       // encrypted stick
    EXPECT_EQ(classify("/dev/dm-1"), kFixed);
    EXPECT_EQ(classify("/dev/nvme9n9p9"), kFixed);      // unknown to sysfs
}

}  // namespace
}  // namespace clip::platform

#endif
