#pragma once

// The registry rules as one table of cases in standard types, run against
// each backend: the file hive natively and the system registry under wine.
// Every case works below `base`, a key of the test's own under the machine
// root, empty at the start.

#include "settings/RegisterCore.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace clip::regcases {

inline constexpr std::uint32_t kRoot = reg::kHKeyLocalMachine;
using Bytes = std::vector<unsigned char>;

struct Registry {
    RegistryBackend& backend;
    std::string base;
    std::uint32_t type = 0;  // of the last value read by raw()

    std::string get(const std::string& section, const std::string& name, const std::string& fallback = {})
    {
        return regcore::GetSetting(backend, kRoot, section, name, fallback);
    }
    bool save(const std::string& section, const std::string& name, const std::string& value)
    {
        return regcore::SaveSetting(backend, kRoot, section, name, value);
    }
    bool remove(const std::string& section, const std::string& name = {})
    {
        return regcore::DeleteSetting(backend, kRoot, section, name);
    }
    // The value as the backend reads it (nullptr name: whether the key exists).
    bool raw(const std::string& section, const char* name, Bytes* data = nullptr)
    {
        RegKey key = 0;
        Bytes ignored;
        if (backend.openKey(kRoot, section, reg::kKeyRead, key) != reg::kSuccess)
            return false;
        const bool found = !name || backend.queryValue(key, name, type, data ? *data : ignored) == reg::kSuccess;
        return backend.closeKey(key), found;
    }
    // Writes a value past the rules under test.
    bool put(const std::string& name, std::uint32_t valueType, const Bytes& data)
    {
        RegKey key = 0;
        const bool ok = backend.createKey(kRoot, base, reg::kKeyAllAccess, key) == reg::kSuccess
                        && backend.setValue(key, name, valueType, data) == reg::kSuccess;
        return backend.closeKey(key), ok;
    }
};

// A user who may read but not change: wider opens and every change are
// refused with `refusal`; with `onlyRoot`, only below that root (a standard
// user and the machine-wide root).
class ReadOnly final : public RegistryBackend {
public:
    ReadOnly(RegistryBackend& inner, RegStatus refusal, RegKey onlyRoot = 0)
        : m_inner(inner), m_refusal(refusal), m_onlyRoot(onlyRoot) {}
    std::vector<std::uint32_t> opens;
    RegStatus openKey(RegKey parent, const std::string& sub, std::uint32_t access, RegKey& result) override
    {
        opens.push_back(access);
        return access != reg::kKeyRead && Refuses(parent) ? (result = 0, m_refusal) : m_inner.openKey(parent, sub, access, result);
    }
    RegStatus createKey(RegKey parent, const std::string& sub, std::uint32_t access, RegKey& result) override
    {
        return Refuses(parent) ? (result = 0, m_refusal) : m_inner.createKey(parent, sub, access, result);
    }
    RegStatus queryValue(RegKey key, const std::string& name, std::uint32_t& type, Bytes& data) override
    {
        return m_inner.queryValue(key, name, type, data);
    }
    // Keys below the refused root are never open for changes.
    RegStatus setValue(RegKey key, const std::string& name, std::uint32_t type, const Bytes& data) override { return m_onlyRoot ? m_inner.setValue(key, name, type, data) : m_refusal; }
    RegStatus deleteValue(RegKey key, const std::string& name) override { return m_onlyRoot ? m_inner.deleteValue(key, name) : m_refusal; }
    RegStatus deleteKey(RegKey key, const std::string& sub) override { return m_onlyRoot ? m_inner.deleteKey(key, sub) : m_refusal; }
    RegStatus closeKey(RegKey key) override { return m_inner.closeKey(key); }

private:
    bool Refuses(RegKey parent) const { return !m_onlyRoot || parent == m_onlyRoot; }
    RegistryBackend& m_inner;
    RegStatus m_refusal;
    RegKey m_onlyRoot;
};

inline const std::vector<std::pair<const char*, std::function<void(Registry&)>>>& Cases()
{
    static const std::vector<std::pair<const char*, std::function<void(Registry&)>>> cases{
        {"text is stored with one NUL, an empty text without data, and reads back", [](Registry& r) {
             EXPECT_EQ(r.get(r.base + "\\Missing", "v", "C:\\Cut Files"), "C:\\Cut Files");
             for (const std::string text : {"", "/home/ana/V\xC3\xAD" "deos/say \"hi\"; $HOME `x`", " \xE6\x97\xA5 "}) {
                 ASSERT_TRUE(r.save(r.base, "v", text));
                 Bytes data{1};
                 ASSERT_TRUE(r.raw(r.base, "v", &data));
                 EXPECT_EQ(r.type, reg::kRegSz);
                 EXPECT_EQ(data, text.empty() ? Bytes() : Bytes(text.c_str(), text.c_str() + text.size() + 1));
                 EXPECT_EQ(r.get(r.base, "v", "d"), text.empty() ? "d" : text);
             }
         }},
        {"data reads less its last character whatever its type; no data is the default", [](Registry& r) {
             const struct { const char* name; std::uint32_t type; Bytes data; const char* expected; } values[] = {
                 {"nul", reg::kRegSz, {0}, ""},              {"zero", reg::kRegSz, {}, "d"},
                 {"expand", reg::kRegExpandSz, {'%', 'X', '%', 0}, "%X%"}, {"binary", reg::kRegBinary, {'x', 'y', 'z'}, "xy"},
             };
             for (const auto& v : values)
                 EXPECT_TRUE(r.put(v.name, v.type, v.data) && r.get(r.base, v.name, "d") == v.expected) << v.name;
         }},
        {"a section with or without its outer backslashes is one key; keys are made along the path", [](Registry& r) {
             const std::string plain = r.base + "\\A\\B";
             const std::string spellings[] = {plain, "\\" + plain, plain + "\\", "\\" + plain + "\\"};
             for (const std::string& writer : spellings)
                 for (const std::string& other : spellings) {
                     ASSERT_TRUE(r.save(writer, "v", writer));
                     EXPECT_EQ(r.get(other, "v"), writer);
                     EXPECT_TRUE(r.remove(other, "v") && r.get(writer, "v", "gone") == "gone");
                     ASSERT_TRUE(r.save(writer, "w", "1"));
                     EXPECT_TRUE(r.remove(other) && !r.raw(plain, nullptr)) << writer << " deleted as " << other;
                 }
             EXPECT_TRUE(r.raw(r.base + "\\A", nullptr));
             ASSERT_TRUE(r.save(r.base + "\\ONE\\\xC3\x9Cmlaut \xE6\x97\xA5", "VALUE", "2"));
             EXPECT_EQ(r.get(r.base + "\\one\\\xC3\x9Cmlaut \xE6\x97\xA5", "value"), "2") << "names ignore case";
         }},
        {"* names the unnamed value", [](Registry& r) {
             ASSERT_TRUE(r.put("*", reg::kRegSz, {'s', 0}) && r.save(r.base, "*", "unnamed"));
             Bytes data;
             ASSERT_TRUE(r.raw(r.base, "", &data));
             EXPECT_EQ(data, Bytes({'u', 'n', 'n', 'a', 'm', 'e', 'd', 0}));
             EXPECT_EQ(r.get(r.base, "*"), "unnamed");
             EXPECT_TRUE(r.remove(r.base, "*") && !r.raw(r.base, ""));
             EXPECT_TRUE(r.raw(r.base, "*")) << "a value really named * is another value";
             EXPECT_FALSE(r.remove(r.base, "*")) << "nothing left to delete";
         }},
        {"several values are saved as one change", [](Registry& r) {
             ASSERT_EQ(regcore::SaveSettings(r.backend, kRoot, r.base, {{"a", "1"}, {"*", "2"}, {"e", ""}}), reg::kSuccess);
             EXPECT_EQ(r.get(r.base, "a") + r.get(r.base, "*") + r.get(r.base, "e", "d"), "12d");
         }},
        {"deleting a section removes its values but never a key with subkeys or the root", [](Registry& r) {
             const std::string parent = r.base + "\\P", child = parent + "\\C";
             ASSERT_TRUE(r.save(child, "v", "1") && r.save(parent, "a", "2"));
             EXPECT_FALSE(r.remove(parent, "absent") || r.remove(parent)) << "it has a subkey";
             EXPECT_EQ(r.get(parent, "a"), "2");
             EXPECT_TRUE(r.remove(child) && r.remove(parent));
             EXPECT_FALSE(r.remove(parent) || r.remove(parent, "a") || r.raw(parent, nullptr));
             ASSERT_TRUE(r.save(parent, "b", "3"));
             EXPECT_EQ(r.get(parent, "a", "d"), "d") << "a key written again starts empty";
             EXPECT_FALSE(r.remove("") || r.remove("\\") || r.remove("\\\\"));
             EXPECT_TRUE(r.raw("Software", nullptr));
         }},
        {"reading falls back to read access only when access is denied", [](Registry& r) {
             ASSERT_TRUE(r.save(r.base, "v", "kept"));
             ReadOnly denied(r.backend, reg::kAccessDenied), broken(r.backend, reg::kInvalidParameter);
             EXPECT_EQ(regcore::GetSetting(denied, kRoot, r.base, "v", "d"), "kept");
             EXPECT_EQ(denied.opens, (std::vector<std::uint32_t>{reg::kKeyAllAccess, reg::kKeyRead}));
             EXPECT_FALSE(regcore::SaveSetting(denied, kRoot, r.base, "v", "x") ||
                          regcore::DeleteSetting(denied, kRoot, r.base, "v") ||
                          regcore::DeleteSetting(denied, kRoot, r.base, ""));
             EXPECT_EQ(regcore::GetSetting(broken, kRoot, r.base, "v", "d"), "d");
             EXPECT_EQ(broken.opens, (std::vector<std::uint32_t>{reg::kKeyAllAccess}));
             EXPECT_EQ(r.get(r.base, "v"), "kept");
         }},
    };
    return cases;
}

}  // namespace clip::regcases
