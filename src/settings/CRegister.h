#pragma once

#include "settings/RegistryBackend.h"

#include <QList>
#include <QPair>
#include <QString>

#include <cstdint>
#include <memory>

namespace clip {

// Reads, writes and deletes text values in the registry. It keeps no state
// between calls: each call names the root key (`regHKEY`, one of the
// reg::kHKey... values), the key path below it (`sSection`, components
// separated by "\", with at most one leading and one trailing "\" ignored)
// and the value (`sKey`, where "*" names the key's unnamed default value).
// Each call opens its key and closes it again before returning. Nothing is
// ever shown or thrown: failures give the default text or false.
class CRegister {
public:
    // Works on DefaultRegistryBackend().
    CRegister();
    explicit CRegister(std::shared_ptr<RegistryBackend> backend);

    // The stored text (the data less its terminating NUL), or `sDefault` when
    // the key or value is missing, unreadable, or holds no data at all.
    QString REGGetSetting(std::uint32_t regHKEY, QString sSection, QString sKey,
                          QString sDefault = QString());

    // Stores `sValue` as a REG_SZ value (the text and a terminating NUL; no
    // data at all for an empty text), creating the key and every missing key
    // above it. True when the value was written.
    bool REGSaveSetting(std::uint32_t regHKEY, QString sSection, QString sKey, QString sValue);

    // Stores every (sKey, sValue) pair as REGSaveSetting would, in one change
    // of the backend: all are written or none. The backend's status
    // (reg::kSuccess when written).
    RegStatus REGSaveSettings(std::uint32_t regHKEY, QString sSection, const QList<QPair<QString, QString>>& values);

    // With a value name: deletes that value. With none: deletes the key
    // `sSection` itself with all its values; a key that still has subkeys is
    // not deleted. True when the value or key was deleted.
    bool REGDeleteSetting(std::uint32_t regHKEY, QString sSection, QString sKey = QString());

    // Removes one leading "\" and then one trailing "\".
    static QString TrimBackslashes(QString path);

private:
    std::shared_ptr<RegistryBackend> m_backend;
};

}  // namespace clip
