#include "platform/DriveType.h"

#include <string>

#include <windows.h>

namespace clip::platform {

namespace {
std::wstring WideFromUtf8(const std::string& text)
{
    if (text.empty())
        return {};
    const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                           nullptr, 0);
    if (length <= 0)
        return {};
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
    return wide;
}
}  // namespace

// The drive of a path is named by its first three characters ("C:\").
int DriveTypeOf(const std::string& utf8Path)
{
    const std::wstring root = WideFromUtf8(utf8Path).substr(0, 3);
    // An empty root would make the system answer for the current directory.
    if (root.empty())
        return DRIVE_NO_ROOT_DIR;
    return static_cast<int>(GetDriveTypeW(root.c_str()));
}

}  // namespace clip::platform
