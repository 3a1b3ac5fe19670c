#pragma once

// Windows side of the power-off: the flags of each mode and the seam through
// which the request reaches the system. Standard types only, so the header can
// be used without <windows.h>.

#include <optional>

namespace clip::platform {

// Signature of the system's ExitWindowsEx: flags, reason; non-zero on success.
using ExitWindowsFunction = int (*)(unsigned int flags, unsigned long reason);

// The reason passed with every request: all 32 bits set.
inline constexpr unsigned long kShutdownReason = 0xFFFFFFFFul;

// The ExitWindowsEx flags of a power-off mode (0 -> 4, 1 -> 5, 2 -> 7,
// 8 -> 12), or nothing for any other mode.
std::optional<unsigned int> ExitWindowsFlagsFor(int mode);

// Replaces the function that ShutdownComputer calls; nullptr restores the
// system's. Returns the previous one (nullptr when it was the system's).
// While CLIPWRIGHT_TESTING is set, the system's function refuses to act.
ExitWindowsFunction SetExitWindowsFunction(ExitWindowsFunction function);

// Enables SeShutdownPrivilege in the process's token. Errors are ignored;
// returns whether the adjustment was made.
bool EnableShutdownPrivilege();

}  // namespace clip::platform
