// The registry rules over the system registry (wine's, when cross-built):
// every test works below a key of its own under HKEY_LOCAL_MACHINE\Software
// and removes it afterwards.
#include "WinTestSupport.h"

#include "settings/RegisterCore.h"
#include "settings/Win32Registry_win.h"

#include <cstring>
#include <vector>

namespace clip::wintest {
namespace {

constexpr std::uint32_t kRoot = reg::kHKeyLocalMachine;

class Win32RegistryTest : public OwnKeyTest {
protected:
    Win32Registry backend;

    std::string get(const std::string& section, const std::string& key, const std::string& fallback = {})
    {
        return regcore::GetSetting(backend, kRoot, section, key, fallback);
    }
    bool save(const std::string& section, const std::string& key, const std::string& value)
    {
        return regcore::SaveSetting(backend, kRoot, section, key, value);
    }
    bool remove(const std::string& section, const std::string& key = {})
    {
        return regcore::DeleteSetting(backend, kRoot, section, key);
    }
    DWORD subKeyCount(const std::wstring& path)
    {
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
            return ~DWORD(0);
        DWORD count = 0;
        RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr, nullptr,
                         nullptr, nullptr, nullptr);
        RegCloseKey(key);
        return count;
    }
};

TEST_F(Win32RegistryTest, MissingKeyOrValueGivesTheDefault)
{
    EXPECT_EQ(get(base + "\\Settings", "txtOutPath", "C:\\Cut Files"), "C:\\Cut Files");
    EXPECT_EQ(get(base + "\\Settings", "txtOutPath"), "");
    ASSERT_TRUE(save(base + "\\Settings", "optFormat", "1"));
    EXPECT_EQ(get(base + "\\Settings", "txtOutPath", "fallback"), "fallback");
    EXPECT_EQ(get(base + "\\Settings\\Missing", "optFormat", "d"), "d");
    EXPECT_EQ(get(base + "\\Settings", "optFormat", "d"), "1");
}

// What the system holds after a write, and what reads back. An empty text is
// a value without data, which reads as the default.
TEST_F(Win32RegistryTest, TextIsStoredAsUtf16WithOneTerminatingNul)
{
    const struct { const char* name; std::string text; std::wstring stored; } cases[] = {
        {"short", "25", L"25"},
        {"path", "C:\\Cut Files", L"C:\\Cut Files"},
        {"letters", "Vid\xC3\xA9os \xE2\x80\x93 \xE6\x97\xA5\xE6\x9C\xAC", L"Vid\u00E9os \u2013 \u65E5\u672C"},
        {"empty", "", L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(save(base, c.name, c.text));
        DWORD type = 0;
        std::vector<BYTE> data{1};
        ASSERT_TRUE(RawValue(wbase, Wide(c.name).c_str(), type, data));
        EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
        ASSERT_EQ(data.size(), c.text.empty() ? 0 : (c.stored.size() + 1) * sizeof(wchar_t));
        EXPECT_EQ(std::memcmp(data.data(), c.stored.c_str(), data.size()), 0);
        EXPECT_EQ(get(base, c.name, "default"), c.text.empty() ? "default" : c.text);
    }
}

// Values written by the system's own call: the data less its last character,
// whatever the type; no data at all gives the default.
TEST_F(Win32RegistryTest, DataReadsLessItsLastCharacter)
{
    const struct {
        const wchar_t* name;
        DWORD type;
        std::vector<BYTE> data;
        const char* expected;
    } cases[] = {
        {L"nul", REG_SZ, {0, 0}, ""}, // a single NUL is an empty text, not the default
        {L"zero", REG_SZ, {}, "default"},
        {L"text", REG_SZ, {'a', 0, 'b', 0, 0, 0}, "ab"},
        {L"expand", REG_EXPAND_SZ, {'%', 0, 'X', 0, '%', 0, 0, 0}, "%X%"},
        {L"binary", REG_BINARY, {'x', 'y', 'z'}, "xy"},
        {L"nothing", REG_BINARY, {}, "default"},
    };
    for (const auto& c : cases)
        ASSERT_TRUE(PutRaw(wbase, c.name, c.type, c.data.data(), static_cast<DWORD>(c.data.size())));
    for (const auto& c : cases) {
        const std::string name(c.name, c.name + std::wcslen(c.name));
        EXPECT_EQ(get(base, name, "default"), c.expected) << name;
    }
}

TEST_F(Win32RegistryTest, ThreeSpellingsOfASectionAddressOneKey)
{
    const std::string spellings[] = {base + "\\A\\B", "\\" + base + "\\A\\B\\", base + "\\A\\B\\",
                                     "\\" + base + "\\A\\B"};
    for (const std::string& writer : spellings) {
        ASSERT_TRUE(save(writer, "v", writer)) << writer;
        for (const std::string& reader : spellings)
            EXPECT_EQ(get(reader, "v"), writer) << writer << " read as " << reader;
    }
    EXPECT_EQ(subKeyCount(wbase + L"\\A"), 1u);
    EXPECT_TRUE(KeyExists(wbase + L"\\A\\B"));
    EXPECT_EQ(subKeyCount(wbase + L"\\A\\B"), 0u);

    // Deleting a value and the key itself, through the other spellings.
    EXPECT_TRUE(remove(spellings[1], "v"));
    EXPECT_EQ(get(spellings[2], "v", "gone"), "gone");
    ASSERT_TRUE(save(spellings[0], "w", "1"));
    EXPECT_TRUE(remove(spellings[2]));
    EXPECT_FALSE(KeyExists(wbase + L"\\A\\B"));
    EXPECT_TRUE(KeyExists(wbase + L"\\A"));
}

TEST_F(Win32RegistryTest, StarIsTheUnnamedValue)
{
    const wchar_t star[] = L"star";
    ASSERT_TRUE(PutRaw(wbase, L"*", REG_SZ, star, sizeof(star)));
    ASSERT_TRUE(save(base, "*", "unnamed"));

    DWORD type = 0;
    std::vector<BYTE> data;
    ASSERT_TRUE(RawValue(wbase, nullptr, type, data));
    const wchar_t unnamed[] = L"unnamed";
    ASSERT_EQ(data.size(), sizeof(unnamed));
    EXPECT_EQ(std::memcmp(data.data(), unnamed, sizeof(unnamed)), 0);
    EXPECT_EQ(get(base, "*"), "unnamed");

    EXPECT_TRUE(remove(base, "*"));
    EXPECT_FALSE(RawValue(wbase, nullptr, type, data));
    EXPECT_TRUE(RawValue(wbase, L"*", type, data)) << "a value really named * is a different value";
    EXPECT_FALSE(remove(base, "*")) << "nothing left to delete";
}

TEST_F(Win32RegistryTest, WritingCreatesMissingIntermediateKeys)
{
    const std::string deep = base + "\\One\\Two\\Three";
    ASSERT_TRUE(save(deep, "v", "x"));
    EXPECT_TRUE(KeyExists(wbase + L"\\One"));
    EXPECT_TRUE(KeyExists(wbase + L"\\One\\Two"));
    EXPECT_EQ(get(deep, "v"), "x");
    // Key names beyond the ANSI code page survive.
    const std::string named = base + "\\\xC3\x9Cmlaut \xE6\x97\xA5";
    ASSERT_TRUE(save(named, "v", "y"));
    EXPECT_TRUE(KeyExists(wbase + L"\\\u00DCmlaut \u65E5"));
    EXPECT_EQ(get(named, "v"), "y");
}

TEST_F(Win32RegistryTest, DeletingASectionRemovesItsValuesButNeverAKeyWithSubkeysOrTheRoot)
{
    const std::string parent = base + "\\Parent", child = parent + "\\Child";
    ASSERT_TRUE(save(child, "v", "1"));
    ASSERT_TRUE(save(parent, "a", "2"));
    ASSERT_TRUE(save(parent, "*", "3"));
    EXPECT_FALSE(remove(parent, "absent"));
    EXPECT_FALSE(remove(parent)) << "it has a subkey";
    EXPECT_EQ(get(parent, "a"), "2");
    EXPECT_EQ(get(child, "v"), "1");
    EXPECT_TRUE(remove(child));
    EXPECT_TRUE(remove(parent));
    EXPECT_FALSE(KeyExists(wbase + L"\\Parent"));
    EXPECT_FALSE(remove(parent)) << "the key is gone";
    EXPECT_FALSE(remove(parent, "a")) << "so is its value";
    // Writing again starts from an empty key.
    ASSERT_TRUE(save(parent, "b", "3"));
    EXPECT_EQ(get(parent, "a", "d"), "d");

    for (const char* root : {"", "\\", "\\\\"})
        EXPECT_FALSE(remove(root)) << root;
    EXPECT_TRUE(KeyExists(L"Software"));
    EXPECT_EQ(get(parent, "b"), "3");
}

// Opening the root itself gives the predefined handle back; closing it leaves the root usable.
TEST_F(Win32RegistryTest, RootHandlesSurviveOpenAndClose)
{
    ASSERT_TRUE(save(base, "v", "1"));
    for (int round = 0; round < 3; ++round) {
        RegKey key = 0;
        ASSERT_EQ(backend.openKey(kRoot, std::string(), reg::kKeyRead, key), reg::kSuccess);
        EXPECT_EQ(backend.closeKey(key), reg::kSuccess);
    }
    EXPECT_EQ(get(base, "v"), "1");
    RegKey key = 0;
    EXPECT_EQ(backend.openKey(kRoot, base + "\\Missing", reg::kKeyRead, key), reg::kFileNotFound);
    EXPECT_EQ(key, 0u);
}

// A user who may read the key but not change it: opening for more than
// reading, and every change, is refused with `refusal`. Opens are recorded.
class ReadOnlyRegistry final : public RegistryBackend {
public:
    ReadOnlyRegistry(RegistryBackend& inner, RegStatus refusal) : m_inner(inner), m_refusal(refusal) {}
    std::vector<std::uint32_t> opens;

    RegStatus openKey(RegKey parent, const std::string& subKey, std::uint32_t access, RegKey& result) override
    {
        opens.push_back(access);
        result = 0;
        return (access & ~std::uint32_t(reg::kKeyRead)) ? m_refusal : m_inner.openKey(parent, subKey, access, result);
    }
    RegStatus createKey(RegKey, const std::string&, std::uint32_t, RegKey& result) override
    {
        result = 0;
        return m_refusal;
    }
    RegStatus queryValue(RegKey key, const std::string& name, std::uint32_t& t, std::vector<unsigned char>& d) override
    {
        return m_inner.queryValue(key, name, t, d);
    }
    RegStatus setValue(RegKey, const std::string&, std::uint32_t, const std::vector<unsigned char>&) override
    {
        return m_refusal;
    }
    RegStatus deleteValue(RegKey, const std::string&) override { return m_refusal; }
    RegStatus deleteKey(RegKey, const std::string&) override { return m_refusal; }
    RegStatus closeKey(RegKey key) override { return m_inner.closeKey(key); }

private:
    RegistryBackend& m_inner;
    RegStatus m_refusal;
};

TEST_F(Win32RegistryTest, ReadingFallsBackToReadAccessOnlyWhenAccessIsDenied)
{
    ASSERT_TRUE(save(base, "v", "kept"));

    ReadOnlyRegistry denied(backend, reg::kAccessDenied);
    EXPECT_EQ(regcore::GetSetting(denied, kRoot, base, "v", "d"), "kept");
    EXPECT_EQ(denied.opens, (std::vector<std::uint32_t>{reg::kKeyAllAccess, reg::kKeyRead}));
    EXPECT_FALSE(regcore::SaveSetting(denied, kRoot, base, "v", "changed"));
    EXPECT_FALSE(regcore::DeleteSetting(denied, kRoot, base, "v"));
    EXPECT_FALSE(regcore::DeleteSetting(denied, kRoot, base, ""));

    // Any other failure is not retried.
    ReadOnlyRegistry broken(backend, reg::kInvalidParameter);
    EXPECT_EQ(regcore::GetSetting(broken, kRoot, base, "v", "d"), "d");
    EXPECT_EQ(broken.opens, (std::vector<std::uint32_t>{reg::kKeyAllAccess}));

    EXPECT_EQ(get(base, "v"), "kept");
}

}  // namespace
}  // namespace clip::wintest
