// The child's lifetime: a process put into the program's job object ends when
// the program ends, however it ends. The program and its child are this test
// executable itself, started again to run one of the helper tests below.
#include "WinTestSupport.h"

#include "platform/ChildLifetime.h"

#include <cstdio>
#include <cstdlib>

namespace clip::wintest {
namespace {

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

TEST(ChildLifetimeHelper, DISABLED_Sleeps)
{
    Sleep(60000);
}

// Starts a sleeper, ties it to itself, writes its id to the file named by
// CLIP_CHILD_ID_FILE, and sleeps until it is ended.
TEST(ChildLifetimeHelper, DISABLED_TiesASleeperToItself)
{
    const PROCESS_INFORMATION child = StartSelf(L"ChildLifetimeHelper.DISABLED_Sleeps");
    ASSERT_TRUE(platform::EndWithThisProgram(child.dwProcessId));
    std::FILE* file = _wfopen(_wgetenv(L"CLIP_CHILD_ID_FILE"), L"w");
    std::fprintf(file, "%lu", child.dwProcessId);
    std::fclose(file);
    Sleep(60000);
}

TEST(ChildLifetime, ChildEndsWhenTheProgramIsKilled)
{
    wchar_t folder[MAX_PATH] = {}, idFile[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, folder);
    GetTempFileNameW(folder, L"cid", 0, idFile);
    SetEnvironmentVariableW(L"CLIP_CHILD_ID_FILE", idFile);
    const PROCESS_INFORMATION program = StartSelf(L"ChildLifetimeHelper.DISABLED_TiesASleeperToItself");
    ASSERT_NE(program.hProcess, nullptr);
    unsigned long childId = 0;
    for (int i = 0; i < 400 && childId == 0; ++i, Sleep(50)) {
        if (std::FILE* file = _wfopen(idFile, L"r")) {
            if (std::fscanf(file, "%lu", &childId) != 1)
                childId = 0;
            std::fclose(file);
        }
    }
    ASSERT_NE(childId, 0ul) << "the program never started its child";
    const HANDLE child = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, childId);
    ASSERT_NE(child, nullptr);
    TerminateProcess(program.hProcess, 1);
    EXPECT_EQ(WaitForSingleObject(child, 20000), WAIT_OBJECT_0);
    TerminateProcess(child, 1);
    CloseHandle(child);
    CloseHandle(program.hProcess);
    CloseHandle(program.hThread);
    DeleteFileW(idFile);
}

}  // namespace
}  // namespace clip::wintest
