#include "settings/RegisterCore.h"

#include <utility>
#include <vector>

namespace clip::regcore {

namespace {

// Closes a key handle when it goes out of scope.
class KeyGuard {
public:
    KeyGuard(RegistryBackend& backend, RegKey key) : m_backend(backend), m_key(key) {}
    ~KeyGuard() { m_backend.closeKey(m_key); }
    KeyGuard(const KeyGuard&) = delete;
    KeyGuard& operator=(const KeyGuard&) = delete;

private:
    RegistryBackend& m_backend;
    RegKey m_key;
};

}  // namespace

std::string TrimBackslashes(std::string path)
{
    if (!path.empty() && path.front() == '\\')
        path.erase(0, 1);
    if (!path.empty() && path.back() == '\\')
        path.pop_back();
    return path;
}

std::string ValueName(const std::string& sKey)
{
    return sKey == "*" ? std::string() : sKey;
}

std::string GetSetting(RegistryBackend& backend, std::uint32_t regHKEY, const std::string& sSection,
                       const std::string& sKey, const std::string& sDefault)
{
    const std::string section = TrimBackslashes(sSection);
    RegKey key = 0;
    RegStatus status = backend.openKey(regHKEY, section, reg::kKeyAllAccess, key);
    // A user who may read but not change the key still gets its values.
    if (status == reg::kAccessDenied)
        status = backend.openKey(regHKEY, section, reg::kKeyRead, key);
    if (status != reg::kSuccess)
        return sDefault;
    KeyGuard guard(backend, key);

    std::uint32_t type = reg::kRegNone;
    std::vector<unsigned char> data;
    if (backend.queryValue(key, ValueName(sKey), type, data) != reg::kSuccess || data.empty())
        return sDefault;
    // The data less its last character, the terminating NUL; the type plays
    // no part.
    return std::string(reinterpret_cast<const char*>(data.data()), data.size() - 1);
}

namespace {

// A text as REG_SZ data: its bytes and a terminating NUL; no data at all
// for an empty text.
std::vector<unsigned char> TextData(const std::string& text)
{
    std::vector<unsigned char> data;
    if (!text.empty()) {
        data.assign(text.begin(), text.end());
        data.push_back(0);
    }
    return data;
}

}  // namespace

bool SaveSetting(RegistryBackend& backend, std::uint32_t regHKEY, const std::string& sSection,
                 const std::string& sKey, const std::string& sValue)
{
    RegKey key = 0;
    if (backend.createKey(regHKEY, TrimBackslashes(sSection), reg::kKeyAllAccess, key) != reg::kSuccess)
        return false;
    KeyGuard guard(backend, key);
    return backend.setValue(key, ValueName(sKey), reg::kRegSz, TextData(sValue)) == reg::kSuccess;
}

RegStatus SaveSettings(RegistryBackend& backend, std::uint32_t regHKEY, const std::string& sSection,
                       const std::vector<std::pair<std::string, std::string>>& values)
{
    std::vector<RegValue> stored;
    stored.reserve(values.size());
    for (const auto& [sKey, sValue] : values)
        stored.push_back({ValueName(sKey), reg::kRegSz, TextData(sValue)});
    return backend.saveValues(regHKEY, TrimBackslashes(sSection), stored);
}

std::uint32_t SettingsRoot(RegistryBackend& backend, std::uint32_t root, std::uint32_t userRoot,
                           const std::string& sSection)
{
    RegKey key = 0;
    if (userRoot == root || backend.openKey(userRoot, TrimBackslashes(sSection), reg::kKeyRead, key) != reg::kSuccess)
        return root;
    backend.closeKey(key);
    return userRoot;
}

RegStatus SaveSettingsWithFallback(RegistryBackend& backend, std::uint32_t root, std::uint32_t userRoot,
                                   const std::string& sSection,
                                   const std::vector<std::pair<std::string, std::string>>& values)
{
    const RegStatus status = SaveSettings(backend, root, sSection, values);
    if (userRoot == root)
        return status;
    if (status == reg::kSuccess) {
        DeleteSetting(backend, userRoot, sSection, std::string());
        return status;
    }
    return SaveSettings(backend, userRoot, sSection, values);
}

bool DeleteSetting(RegistryBackend& backend, std::uint32_t regHKEY, const std::string& sSection,
                   const std::string& sKey)
{
    const std::string section = TrimBackslashes(sSection);
    RegKey key = 0;
    if (!sKey.empty()) {
        if (backend.openKey(regHKEY, section, reg::kKeyAllAccess, key) != reg::kSuccess)
            return false;
        KeyGuard guard(backend, key);
        return backend.deleteValue(key, ValueName(sKey)) == reg::kSuccess;
    }
    // The whole key: open the root itself and delete the section below it.
    // The section is trimmed here as well, so that the spellings that
    // address a key for its values also address it for deletion. An empty
    // section would name the root itself, which is never deleted.
    if (section.empty())
        return false;
    if (backend.openKey(regHKEY, std::string(), reg::kKeyAllAccess, key) != reg::kSuccess)
        return false;
    KeyGuard guard(backend, key);
    return backend.deleteKey(key, section) == reg::kSuccess;
}

}  // namespace clip::regcore
