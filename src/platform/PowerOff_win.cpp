#include "platform/PowerOff.h"
#include "platform/PowerOff_win.h"
#include "platform/TestingGuard.h"

#include <cstdio>

#include <windows.h>

namespace clip::platform {

namespace {

int SystemExitWindows(unsigned int flags, unsigned long reason)
{
    if (RunningUnderTests()) {
        std::fputs("Clipwright: ExitWindowsEx refused while testing\n", stderr);
        return 0;
    }
    return ExitWindowsEx(flags, static_cast<DWORD>(reason)) ? 1 : 0;
}

ExitWindowsFunction g_exitWindows = nullptr;  // nullptr: the system's

}  // namespace

std::optional<unsigned int> ExitWindowsFlagsFor(int mode)
{
    switch (mode) {
    case 0: return EWX_LOGOFF | EWX_FORCE;                   // 4: log off
    case 1: return EWX_SHUTDOWN | EWX_FORCE;                 // 5: shut down
    case 2: return EWX_SHUTDOWN | EWX_REBOOT | EWX_FORCE;    // 7: restart
    case 8: return EWX_POWEROFF | EWX_FORCE;                 // 12: power off
    default: return std::nullopt;
    }
}

ExitWindowsFunction SetExitWindowsFunction(ExitWindowsFunction function)
{
    ExitWindowsFunction previous = g_exitWindows;
    g_exitWindows = function;
    return previous;
}

bool EnableShutdownPrivilege()
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token))
        return false;

    bool adjusted = false;
    TOKEN_PRIVILEGES privileges{};
    if (LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &privileges.Privileges[0].Luid)) {
        privileges.PrivilegeCount = 1;
        privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
        // One privilege: the previous state fits the 16 bytes of one
        // TOKEN_PRIVILEGES.
        TOKEN_PRIVILEGES previous{};
        DWORD previousLength = 0;
        static_assert(sizeof(TOKEN_PRIVILEGES) == 16);
        adjusted = AdjustTokenPrivileges(token, FALSE, &privileges, sizeof(previous), &previous,
                                         &previousLength) != FALSE
                   && GetLastError() == ERROR_SUCCESS;
    }
    CloseHandle(token);
    return adjusted;
}

bool ShutdownComputer(int mode)
{
    const std::optional<unsigned int> flags = ExitWindowsFlagsFor(mode);
    if (!flags)
        return false;
    EnableShutdownPrivilege();  // errors are ignored: the request below tells
    ExitWindowsFunction exitWindows = g_exitWindows ? g_exitWindows : &SystemExitWindows;
    return exitWindows(*flags, kShutdownReason) != 0;
}

}  // namespace clip::platform
