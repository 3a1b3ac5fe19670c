#pragma once

// The registry as CRegister sees it: keys below predefined roots, opened and
// closed through handles, holding typed values of raw bytes. Texts (key and
// value names, string data) are UTF-8. Standard types only, so that the
// Windows backend needs nothing but the standard library and <windows.h>.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace clip {

// A key handle: a predefined root (below) or a handle returned by
// openKey/createKey. Zero is never a valid handle.
using RegKey = std::uintptr_t;

// The system's status codes: 0 is success, anything else a failure.
using RegStatus = std::int32_t;

namespace reg {

// Predefined root keys, as 32-bit values.
inline constexpr std::uint32_t kHKeyClassesRoot = 0x80000000u;
inline constexpr std::uint32_t kHKeyCurrentUser = 0x80000001u;
inline constexpr std::uint32_t kHKeyLocalMachine = 0x80000002u;
inline constexpr std::uint32_t kHKeyUsers = 0x80000003u;
inline constexpr std::uint32_t kHKeyCurrentConfig = 0x80000005u;

// Status codes used here.
inline constexpr RegStatus kSuccess = 0;
inline constexpr RegStatus kFileNotFound = 2;
inline constexpr RegStatus kAccessDenied = 5;
inline constexpr RegStatus kInvalidHandle = 6;
inline constexpr RegStatus kLockViolation = 33;
inline constexpr RegStatus kInvalidParameter = 87;
inline constexpr RegStatus kCantWrite = 1013;
inline constexpr RegStatus kKeyDeleted = 1018;

// Access masks.
inline constexpr std::uint32_t kKeyQueryValue = 0x0001;
inline constexpr std::uint32_t kKeySetValue = 0x0002;
inline constexpr std::uint32_t kKeyCreateSubKey = 0x0004;
inline constexpr std::uint32_t kKeyRead = 0x20019;
inline constexpr std::uint32_t kKeyAllAccess = 0xF003F;

// Value types.
inline constexpr std::uint32_t kRegNone = 0;
inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegExpandSz = 2;
inline constexpr std::uint32_t kRegBinary = 3;
inline constexpr std::uint32_t kRegDword = 4;
inline constexpr std::uint32_t kRegMultiSz = 7;

// Whether `key` is one of the predefined roots.
inline bool IsPredefinedRoot(RegKey key)
{
    return key >= kHKeyClassesRoot && key <= 0x80000006u;
}

}  // namespace reg

// One value to store: its backend name, type and data.
struct RegValue {
    std::string name;
    std::uint32_t type = reg::kRegNone;
    std::vector<unsigned char> data;
};

// How the stored data of a root key stood when it was looked at.
enum class StoreCondition {
    Sound,       // read as it was written, or not there yet
    Repaired,    // readable, but some entries were unusable and read as missing
    Damaged,     // not a store of ours at all: everything reads as missing
    Unreadable,  // there, but could not be read now: everything reads as missing
};

struct StoreReport {
    StoreCondition condition = StoreCondition::Sound;
    std::string location;  // where the data lives (a file), when that means anything
};

// One registry. `parent` is a predefined root or an open handle; `subKey` a
// path below it, components separated by "\" (empty: the parent itself).
// Value names compare without regard to case, as do key names; the empty
// name is the key's unnamed default value.
class RegistryBackend {
public:
    virtual ~RegistryBackend() = default;

    // Opens an existing key with the access mask `access`.
    virtual RegStatus openKey(RegKey parent, const std::string& subKey, std::uint32_t access,
                              RegKey& result) = 0;
    // Opens a key, creating it and any missing key along the path.
    virtual RegStatus createKey(RegKey parent, const std::string& subKey, std::uint32_t access,
                                RegKey& result) = 0;
    // Reads a value's type and data (all of it; possibly zero bytes).
    virtual RegStatus queryValue(RegKey key, const std::string& name, std::uint32_t& type,
                                 std::vector<unsigned char>& data) = 0;
    // Writes (creates or replaces) a value.
    virtual RegStatus setValue(RegKey key, const std::string& name, std::uint32_t type,
                               const std::vector<unsigned char>& data) = 0;
    virtual RegStatus deleteValue(RegKey key, const std::string& name) = 0;
    // Deletes the key `subKey` below `key` with all its values; refused while
    // it has subkeys.
    virtual RegStatus deleteKey(RegKey key, const std::string& subKey) = 0;
    virtual RegStatus closeKey(RegKey key) = 0;

    // Opens or creates the key `subKey` below `parent` and writes every value
    // of `values` into it. This default writes them one by one; a backend
    // that can, makes it one change that is written whole or not at all.
    virtual RegStatus saveValues(RegKey parent, const std::string& subKey, const std::vector<RegValue>& values);

    // How the data of the root `root` stands right now. The default (the
    // system registry) is always sound.
    virtual StoreReport inspect(std::uint32_t root);
};

// The backend CRegister uses by default: one installed with
// SetDefaultRegistryBackend, else the platform's own (the system registry on
// Windows; elsewhere the file hive in the user's configuration folder, which
// refuses every access while CLIPWRIGHT_TESTING is set).
std::shared_ptr<RegistryBackend> DefaultRegistryBackend();

// Installs the default backend; nullptr goes back to the platform's own.
void SetDefaultRegistryBackend(std::shared_ptr<RegistryBackend> backend);

}  // namespace clip
