#include "settings/Win32Registry_win.h"

#include <string>
#include <utility>

#include <windows.h>

namespace clip {

namespace {

// The predefined roots are sign-extended 32-bit values in a 64-bit HKEY.
HKEY ToHkey(RegKey key)
{
    if (reg::IsPredefinedRoot(key)) {
        const LONG root = static_cast<LONG>(static_cast<std::uint32_t>(key));
        return reinterpret_cast<HKEY>(static_cast<LONG_PTR>(root));
    }
    return reinterpret_cast<HKEY>(key);
}

// A predefined root handed back by the system (opening an empty path below a
// root gives the root itself) becomes its 32-bit value again, so that
// closeKey leaves it alone.
RegKey FromHkey(HKEY key)
{
    const auto value = reinterpret_cast<std::uintptr_t>(key);
    const auto low = static_cast<std::uint32_t>(value);
    const auto widened = static_cast<std::uintptr_t>(static_cast<std::intptr_t>(static_cast<std::int32_t>(low)));
    if (reg::IsPredefinedRoot(low) && widened == value)
        return low;
    return value;
}

std::wstring WideFromUtf8(const char* text, size_t size)
{
    if (size == 0)
        return {};
    const int length = MultiByteToWideChar(CP_UTF8, 0, text, static_cast<int>(size), nullptr, 0);
    if (length <= 0)
        return {};
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text, static_cast<int>(size), wide.data(), length);
    return wide;
}

std::wstring WideFromUtf8(const std::string& text) { return WideFromUtf8(text.data(), text.size()); }

std::string Utf8FromWide(const wchar_t* text, size_t size)
{
    if (size == 0)
        return {};
    const int length = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(size), nullptr, 0,
                                           nullptr, nullptr);
    if (length <= 0)
        return {};
    std::string narrow(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(size), narrow.data(), length, nullptr,
                        nullptr);
    return narrow;
}

bool IsStringType(DWORD type)
{
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

// Nullptr stands for the unnamed default value.
const wchar_t* ValueName(const std::wstring& name) { return name.empty() ? nullptr : name.c_str(); }

}  // namespace

RegStatus Win32Registry::openKey(RegKey parent, const std::string& subKey, std::uint32_t access,
                                 RegKey& result)
{
    HKEY opened = nullptr;
    const LONG status = RegOpenKeyExW(ToHkey(parent), WideFromUtf8(subKey).c_str(), 0, access, &opened);
    result = status == ERROR_SUCCESS ? FromHkey(opened) : 0;
    return status;
}

RegStatus Win32Registry::createKey(RegKey parent, const std::string& subKey, std::uint32_t access,
                                   RegKey& result)
{
    HKEY created = nullptr;
    const LONG status = RegCreateKeyExW(ToHkey(parent), WideFromUtf8(subKey).c_str(), 0, nullptr,
                                        REG_OPTION_NON_VOLATILE, access, nullptr, &created, nullptr);
    result = status == ERROR_SUCCESS ? FromHkey(created) : 0;
    return status;
}

RegStatus Win32Registry::queryValue(RegKey key, const std::string& name, std::uint32_t& type,
                                    std::vector<unsigned char>& data)
{
    const std::wstring wideName = WideFromUtf8(name);
    std::vector<unsigned char> buffer;
    DWORD valueType = REG_NONE;
    LONG status = ERROR_MORE_DATA;
    // The value can grow between asking for its size and reading it.
    for (int attempt = 0; attempt < 4 && status == ERROR_MORE_DATA; ++attempt) {
        DWORD size = 0;
        status = RegQueryValueExW(ToHkey(key), ValueName(wideName), nullptr, &valueType, nullptr, &size);
        if (status != ERROR_SUCCESS)
            return status;
        buffer.assign(size, 0);
        status = RegQueryValueExW(ToHkey(key), ValueName(wideName), nullptr, &valueType,
                                  buffer.empty() ? nullptr : buffer.data(), &size);
        if (status == ERROR_SUCCESS)
            buffer.resize(size);
    }
    if (status != ERROR_SUCCESS)
        return status;

    type = valueType;
    if (IsStringType(valueType) && buffer.size() % sizeof(wchar_t) == 0) {
        const std::string utf8 = Utf8FromWide(reinterpret_cast<const wchar_t*>(buffer.data()),
                                              buffer.size() / sizeof(wchar_t));
        data.assign(utf8.begin(), utf8.end());
    } else {
        data = std::move(buffer);
    }
    return ERROR_SUCCESS;
}

RegStatus Win32Registry::setValue(RegKey key, const std::string& name, std::uint32_t type,
                                  const std::vector<unsigned char>& data)
{
    const std::wstring wideName = WideFromUtf8(name);
    static const BYTE kNothing = 0;
    if (IsStringType(type)) {
        const std::wstring wide = WideFromUtf8(reinterpret_cast<const char*>(data.data()), data.size());
        const BYTE* bytes = wide.empty() ? &kNothing : reinterpret_cast<const BYTE*>(wide.data());
        return RegSetValueExW(ToHkey(key), ValueName(wideName), 0, type, bytes,
                              static_cast<DWORD>(wide.size() * sizeof(wchar_t)));
    }
    return RegSetValueExW(ToHkey(key), ValueName(wideName), 0, type,
                          data.empty() ? &kNothing : data.data(), static_cast<DWORD>(data.size()));
}

RegStatus Win32Registry::deleteValue(RegKey key, const std::string& name)
{
    const std::wstring wideName = WideFromUtf8(name);
    return RegDeleteValueW(ToHkey(key), ValueName(wideName));
}

RegStatus Win32Registry::deleteKey(RegKey key, const std::string& subKey)
{
    return RegDeleteKeyW(ToHkey(key), WideFromUtf8(subKey).c_str());
}

RegStatus Win32Registry::closeKey(RegKey key)
{
    if (reg::IsPredefinedRoot(key))
        return ERROR_SUCCESS;
    return RegCloseKey(ToHkey(key));
}

}  // namespace clip
