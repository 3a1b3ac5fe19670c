// The platform layer against the system: drive types and the power-off request (through the replaced ExitWindowsEx seam,
// with the privilege it needs).
#include "WinTestSupport.h"

#include "platform/DriveType.h"
#include "platform/PowerOff.h"
#include "platform/PowerOff_win.h"
#include "platform/TestingGuard.h"

#include <map>
#include <string>
#include <vector>

namespace clip::wintest {
namespace {

TEST(Win32DriveType, TheSystemDriveIsFixedAnEmptyPathNoDrive)
{
    for (const char* path : {"C:\\", "c:\\", "C:\\windows\\system32", "C:\\Vid\xC3\xA9os\\\xE6\x97\xA5.avi"})
        EXPECT_EQ(platform::DriveTypeOf(path), DRIVE_FIXED) << path;
    EXPECT_EQ(platform::DriveTypeOf(""), DRIVE_NO_ROOT_DIR) << "never the current directory's drive";
}

// Whether this process's token holds the shutdown privilege enabled; or, with
// `disable`, disables it first.
bool ShutdownEnabled(bool disable = false)
{
    HANDLE token = nullptr;
    LUID luid{};
    if (!LookupPrivilegeValueW(nullptr, L"SeShutdownPrivilege", &luid)
        || !OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token))
        return false;
    TOKEN_PRIVILEGES off{1, {{luid, 0}}};
    if (disable)
        AdjustTokenPrivileges(token, FALSE, &off, 0, nullptr, nullptr);
    PRIVILEGE_SET set{1, PRIVILEGE_SET_ALL_NECESSARY, {{luid, 0}}};
    BOOL enabled = FALSE;
    PrivilegeCheck(token, &set, &enabled);
    CloseHandle(token);
    return enabled;
}

std::vector<std::string> g_requests;  // "flags reason [privileged]" of each ExitWindowsEx call
int g_answer = 1;

int RecordRequest(unsigned int flags, unsigned long reason)
{
    g_requests.push_back(std::to_string(flags) + " " + std::to_string(reason) + (ShutdownEnabled() ? " privileged" : ""));
    return g_answer;
}

TEST(Win32PowerOff, EachModeAsksWithItsFlagsAfterEnablingThePrivilegeOthersNothing)
{
    ASSERT_TRUE(platform::RunningUnderTests());
    const platform::ExitWindowsFunction previous = platform::SetExitWindowsFunction(&RecordRequest);
    for (const auto& [mode, flags] : std::map<int, unsigned int>{{0, 4u}, {1, 5u}, {2, 7u}, {8, 12u}}) {
        ASSERT_FALSE(ShutdownEnabled(true));
        g_requests.clear();
        EXPECT_TRUE(platform::ShutdownComputer(mode)) << mode;
        EXPECT_EQ(g_requests, std::vector<std::string>{std::to_string(flags) + " 4294967295 privileged"}) << mode;
    }
    g_requests.clear();
    for (int mode : {-1, 3, 4, 5, 6, 7, 9, 12, 16})
        EXPECT_FALSE(platform::ShutdownComputer(mode)) << mode;
    EXPECT_TRUE(platform::EnableShutdownPrivilege() && platform::EnableShutdownPrivilege()) << "twice is no failure";
    EXPECT_TRUE(g_requests.empty());
    g_answer = 0;
    EXPECT_FALSE(platform::ShutdownComputer(8)) << "a refusal is reported as failure";
    platform::SetExitWindowsFunction(previous);
}

}  // namespace
}  // namespace clip::wintest
