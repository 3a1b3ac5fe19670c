#include "platform/DriveType.h"
#include "platform/DriveType_posix.h"

#include "common/HostServices.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStorageInfo>
#include <QString>

namespace clip::platform {

namespace {

constexpr int kind(DriveKind k) { return static_cast<int>(k); }

bool IsNetworkFileSystem(const QString& type)
{
    static const QSet<QString> network = {
        QStringLiteral("nfs"),       QStringLiteral("nfs4"),      QStringLiteral("cifs"),
        QStringLiteral("smb3"),      QStringLiteral("smbfs"),     QStringLiteral("ncpfs"),
        QStringLiteral("ncp"),       QStringLiteral("9p"),        QStringLiteral("afs"),
        QStringLiteral("coda"),      QStringLiteral("ceph"),      QStringLiteral("glusterfs"),
        QStringLiteral("lustre"),    QStringLiteral("ocfs2"),     QStringLiteral("gfs2"),
        QStringLiteral("davfs"),     QStringLiteral("virtiofs"),  QStringLiteral("vboxsf"),
        QStringLiteral("vmhgfs"),    QStringLiteral("sshfs"),     QStringLiteral("orangefs"),
    };
    // Remote file systems served by a FUSE program, named "fuse.<program>".
    static const QSet<QString> networkFuse = {
        QStringLiteral("sshfs"),     QStringLiteral("rclone"),    QStringLiteral("s3fs"),
        QStringLiteral("gcsfuse"),   QStringLiteral("curlftpfs"), QStringLiteral("davfs"),
        QStringLiteral("glusterfs"), QStringLiteral("ceph-fuse"), QStringLiteral("smbnetfs"),
        QStringLiteral("gvfsd-fuse"), QStringLiteral("goofys"),   QStringLiteral("onedriver"),
        QStringLiteral("vmhgfs-fuse"), QStringLiteral("moosefs"), QStringLiteral("juicefs"),
        QStringLiteral("blobfuse"),  QStringLiteral("blobfuse2"),
    };
    if (network.contains(type) || type.startsWith(QLatin1String("nfs")))
        return true;
    if (type.startsWith(QLatin1String("fuse.")))
        return networkFuse.contains(type.mid(5));
    return false;
}

bool IsPseudoFileSystem(const QString& type)
{
    static const QSet<QString> pseudo = {
        QStringLiteral("proc"),      QStringLiteral("sysfs"),     QStringLiteral("devtmpfs"),
        QStringLiteral("devpts"),    QStringLiteral("cgroup"),    QStringLiteral("cgroup2"),
        QStringLiteral("debugfs"),   QStringLiteral("tracefs"),   QStringLiteral("securityfs"),
        QStringLiteral("pstore"),    QStringLiteral("bpf"),       QStringLiteral("configfs"),
        QStringLiteral("efivarfs"),  QStringLiteral("mqueue"),    QStringLiteral("hugetlbfs"),
        QStringLiteral("binfmt_misc"), QStringLiteral("fusectl"), QStringLiteral("autofs"),
        QStringLiteral("rpc_pipefs"), QStringLiteral("nsfs"),     QStringLiteral("selinuxfs"),
    };
    return pseudo.contains(type);
}

QString ReadTrimmed(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLatin1(file.read(64)).trimmed();
}

// Kind of a block device named as under /sys/class/block ("sdb1", "dm-0").
int BlockDeviceKind(const QString& name, const QString& sysRoot, int depth)
{
    if (name.startsWith(QLatin1String("zram")) || name.startsWith(QLatin1String("ram")))
        return kind(DriveKind::RamDisk);
    if (name.startsWith(QLatin1String("sr")))
        return kind(DriveKind::Optical);
    const QString entry = sysRoot + QStringLiteral("/class/block/") + name;
    if (!QFileInfo::exists(entry))
        return kind(DriveKind::Fixed);

    // A partition's sysfs entry lives inside its disk's.
    QString disk = name;
    if (QFileInfo::exists(entry + QStringLiteral("/partition"))) {
        const QString target = QFileInfo(entry).canonicalFilePath();
        if (!target.isEmpty())
            disk = QFileInfo(target).dir().dirName();
    }
    const QString diskDir = sysRoot + QStringLiteral("/block/") + disk;
    if (ReadTrimmed(diskDir + QStringLiteral("/removable")) == QLatin1String("1"))
        return kind(DriveKind::Removable);
    // SD cards sit in readers that report them as fixed; eMMC says "MMC".
    if (disk.startsWith(QLatin1String("mmcblk"))
        && ReadTrimmed(diskDir + QStringLiteral("/device/type")) == QLatin1String("SD"))
        return kind(DriveKind::Removable);
    if (disk.startsWith(QLatin1String("sr")))
        return kind(DriveKind::Optical);

    // A mapped device (encryption, LVM) is as removable as what it is built on.
    if (depth < 8) {
        const QStringList slaves =
            QDir(diskDir + QStringLiteral("/slaves")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
        for (const QString& slave : slaves) {
            const int slaveKind = BlockDeviceKind(slave, sysRoot, depth + 1);
            if (slaveKind != kind(DriveKind::Fixed))
                return slaveKind;
        }
    }
    return kind(DriveKind::Fixed);
}

}  // namespace

int ClassifyMount(const std::string& fileSystemType, const std::string& device,
                  const std::string& sysRoot)
{
    const QString type = QString::fromStdString(fileSystemType).toLower();
    if (IsNetworkFileSystem(type))
        return kind(DriveKind::Remote);
    if (type == QLatin1String("tmpfs") || type == QLatin1String("ramfs"))
        return kind(DriveKind::RamDisk);
    if (type == QLatin1String("iso9660") || type == QLatin1String("udf"))
        return kind(DriveKind::Optical);
    if (IsPseudoFileSystem(type))
        return kind(DriveKind::Unknown);

    QString source = QString::fromStdString(device);
    if (!source.startsWith(QLatin1String("/dev/")))
        return kind(DriveKind::Fixed);
    // /dev/mapper/x, /dev/disk/by-uuid/... are links to the kernel's names.
    const QString canonical = QFileInfo(source).canonicalFilePath();
    if (canonical.startsWith(QLatin1String("/dev/")))
        source = canonical;
    QString name = source.mid(5);
    name.replace(QLatin1Char('/'), QLatin1Char('!'));  // sysfs spelling of nested names
    return BlockDeviceKind(name, QString::fromStdString(sysRoot), 0);
}

std::string NearestExistingAncestor(const std::string& utf8Path)
{
    const QString path = QString::fromStdString(utf8Path);
    if (path.isEmpty() || !QDir::isAbsolutePath(path))
        return {};
    QString current = QDir::cleanPath(path);
    while (!QFileInfo::exists(current)) {
        const QString parent = QFileInfo(current).path();
        if (parent == current)
            return {};
        current = parent;
    }
    return current.toStdString();
}

int DriveTypeOf(const std::string& utf8Path)
{
    const std::string existing = NearestExistingAncestor(utf8Path);
    if (existing.empty())
        return kind(DriveKind::NoRootDir);
    const QStorageInfo storage(QString::fromStdString(existing));
    if (!storage.isValid())
        return kind(DriveKind::Unknown);
    return ClassifyMount(storage.fileSystemType().toStdString(), storage.device().toStdString());
}

}  // namespace clip::platform
