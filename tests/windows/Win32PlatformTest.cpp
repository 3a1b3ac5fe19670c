// The platform layer against the system: drive types, the program's named
// mutex, and the power-off request (through the replaced ExitWindowsEx seam,
// with the privilege it needs).
#include "WinTestSupport.h"

#include "platform/DriveType.h"
#include "platform/NamedMutex.h"
#include "platform/PowerOff.h"
#include "platform/PowerOff_win.h"
#include "platform/TestingGuard.h"

#include <map>
#include <thread>
#include <utility>
#include <vector>

namespace clip::wintest {
namespace {

TEST(Win32DriveType, TheSystemDriveIsFixed)
{
    for (const char* path : {"C:\\", "c:\\", "C:\\windows\\system32", "C:\\Vid\xC3\xA9os\\\xE6\x97\xA5.avi"})
        EXPECT_EQ(platform::DriveTypeOf(path), DRIVE_FIXED) << path;
    EXPECT_EQ(platform::DriveTypeOf(""), DRIVE_NO_ROOT_DIR) << "never the current directory's drive";
}

// Whether a thread other than the creator can take the mutex at once, that
// is: it exists, and nobody holds it.
bool FreeForAnotherThread(HANDLE mutex)
{
    bool taken = false;
    std::thread other([&] {
        if (WaitForSingleObject(mutex, 0) == WAIT_OBJECT_0) {
            taken = true;
            ReleaseMutex(mutex);
        }
    });
    other.join();
    return taken;
}

TEST(Win32NamedMutex, TheProgramMutexIsCreatedNotOwnedKeptAndNamedInUtf8)
{
    const std::wstring name = Wide(platform::kProgramMutexName);
    platform::CreateNamedMutex(platform::kProgramMutexName);

    HANDLE opened = OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, name.c_str());
    ASSERT_NE(opened, nullptr) << "the mutex does not outlive the call";
    EXPECT_TRUE(FreeForAnotherThread(opened)) << "the mutex is created owned";

    // A second creation (another instance of the program) does not fail and
    // leaves the mutex in place.
    platform::CreateNamedMutex(platform::kProgramMutexName);
    HANDLE again = CreateMutexW(nullptr, FALSE, name.c_str());
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_TRUE(FreeForAnotherThread(again));
    CloseHandle(again);
    CloseHandle(opened);
    HANDLE stillThere = OpenMutexW(SYNCHRONIZE, FALSE, name.c_str());
    ASSERT_NE(stillThere, nullptr) << "the program's own handle keeps it";
    CloseHandle(stillThere);

    // Names are UTF-8.
    const std::string utf8 = "Clipwright Test \xC3\xBC " + std::to_string(GetCurrentProcessId());
    platform::CreateNamedMutex(utf8.c_str());
    HANDLE wide = OpenMutexW(SYNCHRONIZE, FALSE, Wide(utf8).c_str());
    ASSERT_NE(wide, nullptr);
    CloseHandle(wide);
}

// The shutdown privilege's id (well-known privileges have HighPart 0).
DWORD ShutdownLuid()
{
    LUID luid{};
    EXPECT_TRUE(LookupPrivilegeValueW(nullptr, L"SeShutdownPrivilege", &luid));
    return luid.LowPart;
}

// Every privilege of this process's token, by id: whether it is enabled.
std::map<DWORD, bool> PrivilegesOfToken()
{
    std::map<DWORD, bool> result;
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return result;
    DWORD size = 0;
    GetTokenInformation(token, TokenPrivileges, nullptr, 0, &size);
    std::vector<BYTE> buffer(size);
    if (size != 0 && GetTokenInformation(token, TokenPrivileges, buffer.data(), size, &size)) {
        const auto* list = reinterpret_cast<const TOKEN_PRIVILEGES*>(buffer.data());
        for (DWORD i = 0; i < list->PrivilegeCount; ++i)
            result[list->Privileges[i].Luid.LowPart] = (list->Privileges[i].Attributes & SE_PRIVILEGE_ENABLED) != 0;
    }
    CloseHandle(token);
    return result;
}

bool IsShutdownEnabled() { return PrivilegesOfToken()[ShutdownLuid()]; }

bool SetShutdownEnabled(bool enabled)
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token))
        return false;
    TOKEN_PRIVILEGES change{1, {{{ShutdownLuid(), 0}, enabled ? DWORD(SE_PRIVILEGE_ENABLED) : 0}}};
    const bool ok = AdjustTokenPrivileges(token, FALSE, &change, 0, nullptr, nullptr) && GetLastError() == ERROR_SUCCESS;
    CloseHandle(token);
    return ok;
}

struct Request {
    unsigned int flags;
    unsigned long reason;
    bool privileged; // the shutdown privilege was enabled at the time
};
std::vector<Request> g_requests;
int g_answer = 1;

int RecordRequest(unsigned int flags, unsigned long reason)
{
    g_requests.push_back({flags, reason, IsShutdownEnabled()});
    return g_answer;
}

class Win32PowerOff : public ::testing::Test {
protected:
    platform::ExitWindowsFunction previous = nullptr;
    void SetUp() override
    {
        ASSERT_TRUE(platform::RunningUnderTests());
        g_requests.clear();
        g_answer = 1;
        previous = platform::SetExitWindowsFunction(&RecordRequest);
        ASSERT_TRUE(SetShutdownEnabled(false));
        ASSERT_FALSE(IsShutdownEnabled());
    }
    void TearDown() override { platform::SetExitWindowsFunction(previous); }
};

TEST_F(Win32PowerOff, EachModeAsksWithItsFlagsAfterEnablingThePrivilegeOthersNothing)
{
    const std::pair<int, unsigned int> cases[] = {{0, 4u}, {1, 5u}, {2, 7u}, {8, 12u}};
    for (const auto& [mode, flags] : cases) {
        ASSERT_TRUE(SetShutdownEnabled(false));
        g_requests.clear();
        EXPECT_TRUE(platform::ShutdownComputer(mode)) << mode;
        ASSERT_EQ(g_requests.size(), 1u) << mode;
        EXPECT_EQ(g_requests[0].flags, flags) << mode;
        EXPECT_EQ(g_requests[0].reason, 0xFFFFFFFFul) << mode;
        EXPECT_TRUE(g_requests[0].privileged) << mode;
    }
    g_requests.clear();
    for (int mode : {-1, 3, 4, 5, 6, 7, 9, 12, 16})
        EXPECT_FALSE(platform::ShutdownComputer(mode)) << mode;
    EXPECT_TRUE(g_requests.empty());

    g_answer = 0;
    EXPECT_FALSE(platform::ShutdownComputer(8)) << "a refusal is reported as failure";
    EXPECT_EQ(g_requests.size(), 1u);
}

TEST_F(Win32PowerOff, ThePrivilegeIsEnabledWithoutDisablingOthers)
{
    auto others = [] {
        std::map<DWORD, bool> all = PrivilegesOfToken();
        all.erase(ShutdownLuid());
        return all;
    };
    const auto before = others();
    EXPECT_TRUE(platform::EnableShutdownPrivilege());
    EXPECT_TRUE(IsShutdownEnabled());
    EXPECT_EQ(others(), before);
    EXPECT_TRUE(platform::EnableShutdownPrivilege()) << "enabling twice is no failure";
    EXPECT_TRUE(g_requests.empty()) << "enabling the privilege powers nothing off";
}

}  // namespace
}  // namespace clip::wintest
