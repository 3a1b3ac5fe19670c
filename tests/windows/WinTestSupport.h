#pragma once

// Helpers for the Windows layer's tests: UTF-8/UTF-16 conversion and a
// registry key of the test's own below HKEY_LOCAL_MACHINE\Software, removed
// with everything under it when the test ends.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <windows.h>

namespace clip::wintest {

inline std::wstring Wide(const std::string& utf8)
{
    if (utf8.empty())
        return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
    return wide;
}

// The raw value as the system holds it: type and bytes. False when missing.
inline bool RawValue(const std::wstring& path, const wchar_t* name, DWORD& type, std::vector<BYTE>& data)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    DWORD size = 0;
    LONG status = RegQueryValueExW(key, name, nullptr, &type, nullptr, &size);
    if (status == ERROR_SUCCESS) {
        data.assign(size, 0);
        status = RegQueryValueExW(key, name, nullptr, &type, data.empty() ? nullptr : data.data(), &size);
        data.resize(size);
    }
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

inline bool KeyExists(const std::wstring& path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

// Writes a value with the system's own call, bypassing the code under test.
inline bool PutRaw(const std::wstring& path, const wchar_t* name, DWORD type, const void* bytes, DWORD size)
{
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    const bool ok = RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(bytes), size) == ERROR_SUCCESS;
    RegCloseKey(key);
    return ok;
}

// A fixture owning "Software\Clipwright Test <pid>" below the machine root.
class OwnKeyTest : public ::testing::Test {
protected:
    std::string base; // UTF-8, as the code under test takes it
    std::wstring wbase;

    void SetUp() override
    {
        base = "Software\\Clipwright Test " + std::to_string(GetCurrentProcessId());
        wbase = Wide(base);
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, wbase.c_str());
        ASSERT_FALSE(KeyExists(wbase));
    }
    void TearDown() override
    {
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, wbase.c_str());
        EXPECT_FALSE(KeyExists(wbase)) << "the test key was left behind";
    }
};

}  // namespace clip::wintest
