#include "platform/NamedMutex.h"

#include <string>
#include <vector>

#include <windows.h>

namespace clip::platform {

namespace {
// Every mutex made here is held until the process ends; the system closes
// them then. Installers and updaters look for the mutex by name to learn
// whether the program runs.
std::vector<HANDLE>& HeldMutexes()
{
    static std::vector<HANDLE> held;
    return held;
}

std::wstring WideFromUtf8(const char* text)
{
    if (text == nullptr || *text == '\0')
        return {};
    const int length = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
    if (length <= 0)
        return {};
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text, -1, wide.data(), length);
    wide.resize(static_cast<size_t>(length - 1));  // drop the terminator
    return wide;
}
}  // namespace

void CreateNamedMutex(const char* name)
{
    const std::wstring wide = WideFromUtf8(name);
    HANDLE handle = CreateMutexW(nullptr, FALSE, wide.empty() ? nullptr : wide.c_str());
    // The result is deliberately not examined (ERROR_ALREADY_EXISTS included).
    if (handle != nullptr)
        HeldMutexes().push_back(handle);
}

}  // namespace clip::platform
