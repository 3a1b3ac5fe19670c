#pragma once

#include "settings/RegistryBackend.h"

#include <QString>
#include <QStringList>

#include <map>
#include <mutex>

namespace clip {

// A registry kept in files, for systems without one: one JSON file per root
// key in a folder (normally the user's configuration folder). The machine-wide
// root shares the current user's file: a normal user could not write a
// system-wide one.
//
// Every change is a locked read-modify-write: a lock file (QLockFile) shuts
// out other processes (and a mutex other threads) while the hive is read,
// changed and written back; the new file replaces the old one in one step
// (QSaveFile), so readers, which take no lock, see either the old hive or the
// new one. A change waits a bounded time for the lock (below).
//
// What cannot be used reads as missing, and nothing the user had is thrown
// away unseen: an unusable entry is left out alone (the rest loads); a file
// that is not a hive of ours reads as empty and is copied aside
// ("<file>.damaged-<date>") before it is first written over; a file that is
// there but cannot be read now is never written over.
//
// Key and value names compare without regard to case and keep the spelling
// they were created with. A handle opened without write access cannot
// change values; when the hive cannot be written (read-only file or folder),
// opening a key for writing fails with kAccessDenied and opening it for
// reading succeeds.
class FileHiveRegistry final : public RegistryBackend {
public:
    // The hive in the user's configuration folder (DefaultFolder()). While
    // CLIPWRIGHT_TESTING is set it has no folder and refuses every access, so
    // that tests never touch the user's settings.
    FileHiveRegistry();

    // The longest a change waits for another process's lock: a whole save
    // (saveValues) gives up soon, so that closing the window never hangs; a
    // single change of the registry interface waits longer, as before.
    static constexpr int kLockWaitMs = 2000;
    static constexpr int kValueLockWaitMs = 10000;
    // The hive files live in `folder`, which is created on the first write.
    explicit FileHiveRegistry(const QString& folder);
    ~FileHiveRegistry() override;

    // QStandardPaths::AppConfigLocation.
    static QString DefaultFolder();

    QString folder() const { return m_folder; }
    // The file that holds a root key, or an empty text for a root without one.
    QString hiveFile(std::uint32_t root) const;

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
    // One locked read-modify-write: the key created if need be and every
    // value set, written in one step or not at all.
    RegStatus saveValues(RegKey parent, const std::string& subKey, const std::vector<RegValue>& values) override;
    StoreReport inspect(std::uint32_t root) override;

private:
    struct OpenKey {
        QString file;
        QStringList path;
        std::uint32_t access = 0;
    };

    // The file and path of `parent` followed by `subKey`.
    RegStatus resolve(RegKey parent, const std::string& subKey, OpenKey& target) const;
    RegKey remember(OpenKey key);
    bool hiveWritable(const QString& file) const;

    QString m_folder;
    mutable std::mutex m_mutex;  // guards the handle table
    std::map<RegKey, OpenKey> m_open;
    RegKey m_nextHandle = 1;
};

}  // namespace clip
