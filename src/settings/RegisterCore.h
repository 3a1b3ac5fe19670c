#pragma once

// The rules of CRegister over standard types: the trimming of a section, "*"
// for the unnamed default value, the default text for a missing or empty
// value, the terminating NUL of stored text, and the KEY_READ fall-back.
// Texts are UTF-8. CRegister is a thin Qt face over these functions; the
// Windows layer's own tests call them directly against the system registry.

#include "settings/RegistryBackend.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace clip::regcore {

// Removes one leading "\" and then one trailing "\".
std::string TrimBackslashes(std::string path);

// The backend's name of the value `sKey`: "" (the unnamed default value) for
// "*", `sKey` itself otherwise.
std::string ValueName(const std::string& sKey);

// The stored text (the data less its last character, the terminating NUL),
// or `sDefault` when the key or value is missing or unreadable, or the data
// is empty. Opens the key for all access and, when that is denied, for
// reading only.
std::string GetSetting(RegistryBackend& backend, std::uint32_t regHKEY, const std::string& sSection,
                       const std::string& sKey, const std::string& sDefault);

// Stores `sValue` as REG_SZ (its bytes and a terminating NUL; no data at all
// for an empty text), creating the key and every missing key above it.
bool SaveSetting(RegistryBackend& backend, std::uint32_t regHKEY, const std::string& sSection,
                 const std::string& sKey, const std::string& sValue);

// Stores every (sKey, sValue) pair of `values` as SaveSetting would, as one
// change of the backend (RegistryBackend::saveValues). The backend's status.
RegStatus SaveSettings(RegistryBackend& backend, std::uint32_t regHKEY, const std::string& sSection,
                       const std::vector<std::pair<std::string, std::string>>& values);

// Settings kept under `root` where it takes them, else under `userRoot`,
// the same key path below the user's own root (a standard user may not write
// the machine-wide root on Windows). With `userRoot` equal to `root` there is
// one place only.
//
// The root to read the settings `sSection` from: `userRoot` while it holds
// them, else `root`.
std::uint32_t SettingsRoot(RegistryBackend& backend, std::uint32_t root, std::uint32_t userRoot,
                           const std::string& sSection);
// SaveSettings under `root`; where that fails, under `userRoot`. A save under
// `root` removes the user's copy, which would be read first. The status of
// the save that was tried last.
RegStatus SaveSettingsWithFallback(RegistryBackend& backend, std::uint32_t root, std::uint32_t userRoot,
                                   const std::string& sSection,
                                   const std::vector<std::pair<std::string, std::string>>& values);

// With a value name: deletes that value. With an empty one: deletes the key
// `sSection` with its values (refused while it has subkeys; never the root).
bool DeleteSetting(RegistryBackend& backend, std::uint32_t regHKEY, const std::string& sSection,
                   const std::string& sKey);

}  // namespace clip::regcore
