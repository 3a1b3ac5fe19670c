#pragma once

#include "settings/CRegister.h"
#include "settings/FileHiveRegistry.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>

namespace clip::test {

// A CRegister over a file hive in a fresh temporary folder.
class RegistryTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    std::shared_ptr<FileHiveRegistry> hive = std::make_shared<FileHiveRegistry>(dir.path());
    CRegister reg{hive};
    static constexpr std::uint32_t kRoot = reg::kHKeyLocalMachine;

    // The raw value as the backend holds it; false when it is missing.
    bool rawValue(const std::string& section, const std::string& name, std::uint32_t& type,
                  std::vector<unsigned char>& data)
    {
        RegKey key = 0;
        if (hive->openKey(kRoot, section, reg::kKeyRead, key) != reg::kSuccess)
            return false;
        const bool found = hive->queryValue(key, name, type, data) == reg::kSuccess;
        hive->closeKey(key);
        return found;
    }

    bool keyExists(const std::string& section)
    {
        RegKey key = 0;
        if (hive->openKey(kRoot, section, reg::kKeyRead, key) != reg::kSuccess)
            return false;
        hive->closeKey(key);
        return true;
    }
};

}  // namespace clip::test
