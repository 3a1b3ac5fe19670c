// The Windows layer against the system (wine's, when cross-built): the shared
// registry cases, drive types, the power-off request (through the replaced
// ExitWindowsEx seam, with the privilege it needs) and the child's lifetime.
// The run is marked as a test run, so the platform layer refuses the real
// power-off whatever a test forgets to replace.
#include "../settings/RegistryTestSupport.h"
#include "platform/ChildLifetime.h"
#include "platform/DriveType.h"
#include "platform/PowerOff.h"
#include "platform/PowerOff_win.h"
#include "platform/TestingGuard.h"
#include "settings/Win32Registry_win.h"

#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include <windows.h>

namespace clip::wintest {
namespace {

// Marked as a test run before any test starts.
const bool kTestingSet = (_putenv((std::string(platform::kTestingVariable) + "=1").c_str()), true);

TEST(Win32Registry, TheRegistryRules)
{
    const std::string base = "Software\\Clipwright Test " + std::to_string(GetCurrentProcessId());
    Win32Registry system;
    for (const auto& [name, run] : regcases::Cases()) {
        SCOPED_TRACE(name);
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, base.c_str());
        regcases::Registry r{system, base};
        run(r);
    }
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, base.c_str());
}

// A standard user may not write the machine-wide root: the settings go under the user's own root, which is
// read first until a machine-wide save (an administrator's) removes that copy. (The file hive elsewhere keeps
// both roots in the user's one hive.)
TEST(Win32Registry, SettingsTheMachineRootRefusesAreKeptUnderTheUsersRoot)
{
    using regcore::SettingsRoot, regcore::SaveSettingsWithFallback, regcore::GetSetting, regcases::kRoot;
    constexpr std::uint32_t kUser = reg::kHKeyCurrentUser;
    const std::string base = "Software\\Clipwright Test " + std::to_string(GetCurrentProcessId());
    const auto clear = [&] { RegDeleteTreeA(HKEY_LOCAL_MACHINE, base.c_str()), RegDeleteTreeA(HKEY_CURRENT_USER, base.c_str()); };
    clear();
    Win32Registry system;
    regcases::ReadOnly standard(system, reg::kAccessDenied, kRoot), nobody(system, reg::kAccessDenied);
    ASSERT_TRUE(regcore::SaveSetting(system, kRoot, base, "a", "machine"));
    EXPECT_EQ(SettingsRoot(standard, kRoot, kUser, base), kRoot) << "no copy of the user's yet";
    EXPECT_EQ(SaveSettingsWithFallback(standard, kRoot, kUser, "\\" + base, {{"a", "user"}, {"b", "2"}}), reg::kSuccess);
    EXPECT_EQ(SettingsRoot(standard, kRoot, kUser, base), kUser);
    EXPECT_EQ(GetSetting(standard, kUser, base, "a", "") + GetSetting(standard, kUser, base, "b", "") + GetSetting(system, kRoot, base, "a", ""), "user2machine");
    EXPECT_NE(SaveSettingsWithFallback(nobody, kRoot, kUser, base, {{"a", "x"}}), reg::kSuccess);
    EXPECT_NE(SaveSettingsWithFallback(standard, kRoot, kRoot, base, {{"a", "x"}}), reg::kSuccess) << "one place only";
    EXPECT_EQ(SaveSettingsWithFallback(system, kRoot, kUser, base, {{"a", "admin"}}), reg::kSuccess);
    EXPECT_TRUE(SettingsRoot(standard, kRoot, kUser, base) == kRoot && GetSetting(system, kRoot, base, "a", "") == "admin");
    clear();
}

TEST(Win32DriveType, TheSystemDriveIsFixedAnEmptyPathNoDrive)
{
    for (const char* path : {"C:\\", "c:\\windows\\system32", "C:\\Vid\xC3\xA9os\\\xE6\x97\xA5.avi"})
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
    if (TOKEN_PRIVILEGES off{1, {{luid, 0}}}; disable)
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
    ASSERT_TRUE(kTestingSet && platform::RunningUnderTests());
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

// The program and its child are this executable, started again to run one of the helpers below.
PROCESS_INFORMATION StartSelf(const std::wstring& test)
{
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring commandLine = L"\"" + std::wstring(self) + L"\" --gtest_also_run_disabled_tests --gtest_filter=" + test;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION started{};
    CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started);
    return started;
}

TEST(ChildLifetimeHelper, DISABLED_Sleeps) { Sleep(60000); }

// The program: ties the child whose id CLIP_CHILD_ID names to itself, then ends.
TEST(ChildLifetimeHelper, DISABLED_TiesTheChild)
{
    EXPECT_TRUE(platform::EndWithThisProgram(std::strtoul(std::getenv("CLIP_CHILD_ID"), nullptr, 10)));
}

TEST(ChildLifetime, ChildEndsWhenTheProgramEnds)
{
    const PROCESS_INFORMATION child = StartSelf(L"ChildLifetimeHelper.DISABLED_Sleeps");
    ASSERT_NE(child.hProcess, nullptr);
    SetEnvironmentVariableA("CLIP_CHILD_ID", std::to_string(child.dwProcessId).c_str());
    const PROCESS_INFORMATION program = StartSelf(L"ChildLifetimeHelper.DISABLED_TiesTheChild");
    DWORD code = 1;
    EXPECT_TRUE(WaitForSingleObject(program.hProcess, 20000) == WAIT_OBJECT_0
                && GetExitCodeProcess(program.hProcess, &code) && code == 0) << "the program could not tie its child";
    EXPECT_EQ(WaitForSingleObject(child.hProcess, 20000), WAIT_OBJECT_0) << "the child outlived the program";
    TerminateProcess(child.hProcess, 1);
    for (HANDLE h : {child.hProcess, child.hThread, program.hProcess, program.hThread})
        CloseHandle(h);
}

}  // namespace
}  // namespace clip::wintest
