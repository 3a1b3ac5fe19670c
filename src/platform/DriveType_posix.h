#pragma once

// Drive types off Windows: a folder is judged by the file system that holds
// it (or, for a folder that does not exist yet, its nearest existing
// ancestor). The pieces are exposed so that tests can feed them mount data
// and a stand-in /sys tree.

#include <string>

namespace clip::platform {

// The drive type (DriveKind numbering) of a mount, from its file-system type
// as the kernel names it ("ext4", "nfs4", "fuse.sshfs") and its source device
// ("/dev/sdb1", "server:/export"). `sysRoot` is where the kernel's sysfs is
// mounted ("/sys"); it is consulted for block devices only:
//   network file systems (nfs, cifs, smb3, 9p, sshfs and other remote FUSE
//   file systems, ...)                                   -> Remote (4)
//   tmpfs, ramfs, and file systems on zram or RAM disks   -> RamDisk (6)
//   iso9660, udf, and anything on an optical drive        -> Optical (5)
//   kernel pseudo file systems (proc, sysfs, ...)         -> Unknown (0)
//   a block device marked removable in sysfs, an SD card,
//   or a mapped device built on one of these              -> Removable (2)
//   anything else (local disks, local FUSE, overlay, zfs) -> Fixed (3)
int ClassifyMount(const std::string& fileSystemType, const std::string& device,
                  const std::string& sysRoot = "/sys");

// The nearest existing ancestor of an absolute path, the path itself when it
// exists. Empty for a relative or empty path.
std::string NearestExistingAncestor(const std::string& utf8Path);

}  // namespace clip::platform
