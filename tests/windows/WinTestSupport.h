#pragma once

// Helpers for the Windows layer's tests: UTF-8 to UTF-16, and a registry key
// of the test's own below HKEY_LOCAL_MACHINE\Software, removed with everything
// under it when the test ends.

#include <gtest/gtest.h>

#include <string>

#include <windows.h>

namespace clip::wintest {

inline std::wstring Wide(const std::string& utf8)
{
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
    return wide;
}

class OwnKeyTest : public ::testing::Test {
protected:
    std::string base = "Software\\Clipwright Test " + std::to_string(GetCurrentProcessId());
    std::wstring wbase = Wide(base);

    void SetUp() override { RegDeleteTreeW(HKEY_LOCAL_MACHINE, wbase.c_str()); }
    void TearDown() override
    {
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, wbase.c_str());
        HKEY key = nullptr;
        EXPECT_NE(RegOpenKeyExW(HKEY_LOCAL_MACHINE, wbase.c_str(), 0, KEY_READ, &key), ERROR_SUCCESS)
            << "the test key was left behind";
    }
};

}  // namespace clip::wintest
