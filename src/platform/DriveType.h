#pragma once

#include <string>

namespace clip::platform {

// The kind of drive that holds `utf8Path`, as a DriveKind value
// (common/HostServices.h): 3 for a local fixed disk, 2 removable, 4 network,
// 5 optical, 6 RAM disk, 1 for a path without a usable root, 0 unknown.
int DriveTypeOf(const std::string& utf8Path);

}  // namespace clip::platform
