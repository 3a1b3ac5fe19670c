#include "settings/CRegister.h"

#include <string>
#include <utility>
#include <vector>

namespace clip {

namespace {

std::string Utf8(const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

// "*" names the unnamed default value, which the backends call "".
std::string ValueName(const QString& sKey)
{
    return sKey == QLatin1String("*") ? std::string() : Utf8(sKey);
}

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

CRegister::CRegister() : m_backend(DefaultRegistryBackend()) {}

CRegister::CRegister(std::shared_ptr<RegistryBackend> backend) : m_backend(std::move(backend)) {}

QString CRegister::TrimBackslashes(QString path)
{
    if (path.startsWith(QLatin1Char('\\')))
        path.remove(0, 1);
    if (path.endsWith(QLatin1Char('\\')))
        path.chop(1);
    return path;
}

QString CRegister::REGGetSetting(std::uint32_t regHKEY, QString sSection, QString sKey, QString sDefault)
{
    if (!m_backend)
        return sDefault;
    const std::string section = Utf8(TrimBackslashes(sSection));
    RegKey key = 0;
    RegStatus status = m_backend->openKey(regHKEY, section, reg::kKeyAllAccess, key);
    // A user who may read but not change the key still gets its values.
    if (status == reg::kAccessDenied)
        status = m_backend->openKey(regHKEY, section, reg::kKeyRead, key);
    if (status != reg::kSuccess)
        return sDefault;
    KeyGuard guard(*m_backend, key);

    std::uint32_t type = reg::kRegNone;
    std::vector<unsigned char> data;
    if (m_backend->queryValue(key, ValueName(sKey), type, data) != reg::kSuccess || data.empty())
        return sDefault;
    // The data less its last character, the terminating NUL; the type plays
    // no part.
    return QString::fromUtf8(reinterpret_cast<const char*>(data.data()),
                             static_cast<qsizetype>(data.size() - 1));
}

bool CRegister::REGSaveSetting(std::uint32_t regHKEY, QString sSection, QString sKey, QString sValue)
{
    if (!m_backend)
        return false;
    RegKey key = 0;
    if (m_backend->createKey(regHKEY, Utf8(TrimBackslashes(sSection)), reg::kKeyAllAccess, key)
        != reg::kSuccess)
        return false;
    KeyGuard guard(*m_backend, key);

    std::vector<unsigned char> data;
    if (!sValue.isEmpty()) {
        const std::string text = Utf8(sValue);
        data.assign(text.begin(), text.end());
        data.push_back(0);
    }
    return m_backend->setValue(key, ValueName(sKey), reg::kRegSz, data) == reg::kSuccess;
}

bool CRegister::REGDeleteSetting(std::uint32_t regHKEY, QString sSection, QString sKey)
{
    if (!m_backend)
        return false;
    const std::string section = Utf8(TrimBackslashes(sSection));
    RegKey key = 0;
    if (!sKey.isEmpty()) {
        if (m_backend->openKey(regHKEY, section, reg::kKeyAllAccess, key) != reg::kSuccess)
            return false;
        KeyGuard guard(*m_backend, key);
        return m_backend->deleteValue(key, ValueName(sKey)) == reg::kSuccess;
    }
    // The whole key: open the root itself and delete the section below it.
    // The section is trimmed here as well, so that the spellings that
    // address a key for its values also address it for deletion. An empty
    // section would name the root itself, which is never deleted.
    if (section.empty())
        return false;
    if (m_backend->openKey(regHKEY, std::string(), reg::kKeyAllAccess, key) != reg::kSuccess)
        return false;
    KeyGuard guard(*m_backend, key);
    return m_backend->deleteKey(key, section) == reg::kSuccess;
}

}  // namespace clip
