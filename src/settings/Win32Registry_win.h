#pragma once

#include "settings/RegistryBackend.h"

namespace clip {

// The system registry. Names and string data cross the interface as UTF-8
// and reach the system as UTF-16 (the wide functions), so texts outside the
// ANSI code page survive the round trip. Handles are the system's HKEYs.
class Win32Registry final : public RegistryBackend {
public:
    RegStatus openKey(RegKey parent, const std::string& subKey, std::uint32_t access,
                      RegKey& result) override;
    RegStatus createKey(RegKey parent, const std::string& subKey, std::uint32_t access,
                        RegKey& result) override;
    RegStatus queryValue(RegKey key, const std::string& name, std::uint32_t& type,
                         std::vector<unsigned char>& data) override;
    RegStatus setValue(RegKey key, const std::string& name, std::uint32_t type,
                       const std::vector<unsigned char>& data) override;
    RegStatus deleteValue(RegKey key, const std::string& name) override;
    RegStatus deleteKey(RegKey key, const std::string& subKey) override;
    RegStatus closeKey(RegKey key) override;
};

}  // namespace clip
