#include "platform/ChildLifetime.h"

#include <windows.h>

namespace clip::platform {

namespace {

// The program's one job object, created on first use and never closed by the
// program itself: the system closes it when the program ends, and then ends
// every process in it.
HANDLE ProgramJob()
{
    static const HANDLE job = [] {
        HANDLE created = CreateJobObjectW(nullptr, nullptr);
        if (!created)
            return HANDLE(nullptr);
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        if (!SetInformationJobObject(created, JobObjectExtendedLimitInformation, &limits, sizeof(limits))) {
            CloseHandle(created);
            return HANDLE(nullptr);
        }
        return created;
    }();
    return job;
}

}  // namespace

bool EndWithThisProgram(unsigned long processId)
{
    const HANDLE job = ProgramJob();
    if (!job)
        return false;
    const HANDLE process = OpenProcess(PROCESS_SET_QUOTA | PROCESS_TERMINATE, FALSE, static_cast<DWORD>(processId));
    if (!process)
        return false;
    const bool assigned = AssignProcessToJobObject(job, process) != FALSE;
    CloseHandle(process);
    return assigned;
}

}  // namespace clip::platform
