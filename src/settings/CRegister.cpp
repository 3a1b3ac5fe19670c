#include "settings/CRegister.h"

#include "settings/RegisterCore.h"

#include <string>
#include <utility>

namespace clip {

// The rules live in RegisterCore (standard types, UTF-8); this class converts
// the texts on the way in and out.
namespace {

std::string Utf8(const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

QString FromUtf8(const std::string& text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

CRegister::CRegister() : m_backend(DefaultRegistryBackend()) {}

CRegister::CRegister(std::shared_ptr<RegistryBackend> backend) : m_backend(std::move(backend)) {}

QString CRegister::TrimBackslashes(QString path)
{
    return FromUtf8(regcore::TrimBackslashes(Utf8(path)));
}

QString CRegister::REGGetSetting(std::uint32_t regHKEY, QString sSection, QString sKey, QString sDefault)
{
    if (!m_backend)
        return sDefault;
    const std::string fallback = Utf8(sDefault);
    const std::string text = regcore::GetSetting(*m_backend, regHKEY, Utf8(sSection), Utf8(sKey), fallback);
    // The default comes back as it was given, not through a round trip.
    return text == fallback ? sDefault : FromUtf8(text);
}

bool CRegister::REGSaveSetting(std::uint32_t regHKEY, QString sSection, QString sKey, QString sValue)
{
    if (!m_backend)
        return false;
    return regcore::SaveSetting(*m_backend, regHKEY, Utf8(sSection), Utf8(sKey), Utf8(sValue));
}

RegStatus CRegister::REGSaveSettings(std::uint32_t regHKEY, QString sSection,
                                     const QList<QPair<QString, QString>>& values)
{
    if (!m_backend)
        return reg::kInvalidHandle;
    std::vector<std::pair<std::string, std::string>> pairs;
    for (const auto& [key, value] : values)
        pairs.emplace_back(Utf8(key), Utf8(value));
    return regcore::SaveSettings(*m_backend, regHKEY, Utf8(sSection), pairs);
}

bool CRegister::REGDeleteSetting(std::uint32_t regHKEY, QString sSection, QString sKey)
{
    if (!m_backend)
        return false;
    return regcore::DeleteSetting(*m_backend, regHKEY, Utf8(sSection), Utf8(sKey));
}

}  // namespace clip
