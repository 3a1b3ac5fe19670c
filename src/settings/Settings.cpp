#include "settings/Settings.h"

#include "settings/CRegister.h"
#include "settings/RegisterCore.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <utility>

namespace clip {

namespace {

const QString kOutPath = QStringLiteral("txtOutPath");
const QString kSameFolder = QStringLiteral("optSameFolder");

std::optional<long long> ParseDecimal(const QString& text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    // Digits with an optional sign only: no exponent, no point, no base prefix.
    for (int i = 0; i < trimmed.size(); ++i) {
        const QChar c = trimmed.at(i);
        const bool sign = i == 0 && (c == QLatin1Char('-') || c == QLatin1Char('+'));
        if (!sign && !(c >= QLatin1Char('0') && c <= QLatin1Char('9')))
            return std::nullopt;
    }
    bool ok = false;
    const long long value = trimmed.toLongLong(&ok, 10);
    if (!ok)
        return std::nullopt;
    return value;
}

std::shared_ptr<RegistryBackend> Resolve(std::shared_ptr<RegistryBackend> backend)
{
    return backend ? std::move(backend) : DefaultRegistryBackend();
}

}  // namespace

QString SettingsSection()
{
    return QStringLiteral("Software\\Norvane Clipwright\\Settings");
}

QString DefaultOutputFolder()
{
#ifdef Q_OS_WIN
    return QStringLiteral("C:\\Cut Files");
#else
    // The output folder is created one level deep at most, so its parent
    // must exist: a fresh account may have no videos folder yet.
    QString videos = QStandardPaths::writableLocation(QStandardPaths::MoviesLocation);
    if (videos.isEmpty() || !QFileInfo(videos).isDir())
        videos = QDir::homePath();
    return QDir::toNativeSeparators(videos + QStringLiteral("/Cut Files"));
#endif
}

const std::vector<SettingDefinition>& PersistedSettings()
{
    static const std::vector<SettingDefinition> table{
        {QStringLiteral("optOtherFolder"), SettingKind::FolderOption, QStringLiteral("True")},
        {QStringLiteral("optSameFolder"), SettingKind::FolderOption, QStringLiteral("False")},
        {QStringLiteral("txtOutPath"), SettingKind::Text, DefaultOutputFolder()},
        {QStringLiteral("optFormat"), SettingKind::Route, QStringLiteral("0")},
        {QStringLiteral("cmbCategory"), SettingKind::ListPosition, QStringLiteral("1")},
        {QStringLiteral("cmbOutVCodec"), SettingKind::ListPosition, QStringLiteral("1")},
        {QStringLiteral("cmbOutFormat"), SettingKind::ListPosition, QStringLiteral("1")},
        {QStringLiteral("cmbCustContainer"), SettingKind::ListPosition, QStringLiteral("2")},
        {QStringLiteral("cmbCACodec"), SettingKind::ListPosition, QStringLiteral("1")},
        {QStringLiteral("cmbCASmapleRate"), SettingKind::ListPosition, QStringLiteral("4")},
        {QStringLiteral("cmbCVCodec"), SettingKind::ListPosition, QStringLiteral("1")},
        {QStringLiteral("cmbCVSize"), SettingKind::ListPosition, QStringLiteral("0")},
        {QStringLiteral("cmbCVAspect"), SettingKind::ListPosition, QStringLiteral("0")},
        {QStringLiteral("txtCABirate"), SettingKind::Text, QStringLiteral("64")},
        {QStringLiteral("txtChannels"), SettingKind::Text, QStringLiteral("2")},
        {QStringLiteral("txtCVBitrate"), SettingKind::Text, QStringLiteral("320")},
        {QStringLiteral("txtFrameRate"), SettingKind::Text, QStringLiteral("25")},
    };
    return table;
}

QString BooleanText(bool value)
{
    return value ? QStringLiteral("True") : QStringLiteral("False");
}

std::optional<bool> ParseStoredBoolean(const QString& text)
{
    const QString t = text.trimmed();
    if (t.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0 || t == QLatin1String("1") ||
        t == QLatin1String("-1"))
        return true;
    if (t.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0 || t == QLatin1String("0"))
        return false;
    return std::nullopt;
}

std::optional<int> ParseStoredPosition(const QString& text, int count)
{
    const std::optional<long long> value = ParseDecimal(text);
    if (!value || *value < -32768 || *value > 32767)
        return std::nullopt;
    if (*value < -1 || *value > static_cast<long long>(count) - 1)
        return std::nullopt;
    return static_cast<int>(*value);
}

std::optional<int> ParseStoredRoute(const QString& text, int routeCount)
{
    const std::optional<long long> value = ParseDecimal(text);
    if (!value || *value < 0 || *value >= routeCount)
        return std::nullopt;
    return static_cast<int>(*value);
}

StoreReport LoadSettings(SettingsControls& controls, std::shared_ptr<RegistryBackend> backend)
{
    backend = Resolve(std::move(backend));
    const QString section = SettingsSection();
    const std::uint32_t root = regcore::SettingsRoot(*backend, kSettingsRoot, kSettingsUserRoot, section.toStdString());
    // Looked at before and after the reads, so that a file that could not be
    // read during them is never taken for a sound one.
    StoreReport report = backend->inspect(root);
    CRegister registry(backend);
    auto read = [&](const SettingDefinition& s) {
        return registry.REGGetSetting(root, section, s.name, s.defaultText);
    };

    for (const SettingDefinition& s : PersistedSettings()) {
        switch (s.kind) {
        case SettingKind::FolderOption:
            if (const auto value = ParseStoredBoolean(read(s)))
                controls.setFolderOption(s.name, *value);
            break;
        case SettingKind::Text:
            controls.setText(s.name, read(s));
            if (s.name == kOutPath) {
                // The path and its button serve the "Other folder" choice
                // only. Both follow the option that is now chosen, so that
                // a restore of the defaults after "Same folder" frees them.
                controls.setOutputFolderEnabled(!controls.folderOption(kSameFolder));
            }
            break;
        case SettingKind::Route:
            if (const auto index = ParseStoredRoute(read(s), controls.routeCount()))
                controls.setRoute(*index);
            // The value is read once more for the sub-panel.
            if (const auto index = ParseStoredRoute(read(s), controls.routeCount()))
                controls.showRoutePanel(*index);
            break;
        case SettingKind::ListPosition:
            // The count is taken just before the position is set: setting an
            // earlier list may have refilled this one.
            if (const auto position = ParseStoredPosition(read(s), controls.listCount(s.name)))
                controls.setListPosition(s.name, *position);
            break;
        }
    }
    controls.refreshDescription();
    // Beside the seventeen: the window's size and place, when stored.
    const QString geometry = registry.REGGetSetting(root, section, kWindowGeometryName, QString());
    if (!geometry.isEmpty())
        controls.setWindowGeometry(geometry);
    const StoreReport after = backend->inspect(root);
    if (after.condition > report.condition)
        report = after;
    return report;
}

RegStatus SaveSettings(const SettingsControls& controls, std::shared_ptr<RegistryBackend> backend)
{
    backend = Resolve(std::move(backend));
    std::vector<std::pair<std::string, std::string>> values;
    for (const SettingDefinition& s : PersistedSettings()) {
        QString value;
        switch (s.kind) {
        case SettingKind::FolderOption:
            value = BooleanText(controls.folderOption(s.name));
            break;
        case SettingKind::Text:
            value = controls.text(s.name);
            break;
        case SettingKind::Route:
            value = controls.route() == 0 ? QStringLiteral("0") : QStringLiteral("1");
            break;
        case SettingKind::ListPosition:
            value = QString::number(controls.listPosition(s.name));
            break;
        }
        values.emplace_back(s.name.toStdString(), value.toStdString());
    }
    if (const QString geometry = controls.windowGeometry(); !geometry.isEmpty())
        values.emplace_back(kWindowGeometryName.toStdString(), geometry.toStdString());
    return regcore::SaveSettingsWithFallback(*backend, kSettingsRoot, kSettingsUserRoot,
                                             SettingsSection().toStdString(), values);
}

StoreReport RestoreDefaultSettings(SettingsControls& controls, std::shared_ptr<RegistryBackend> backend)
{
    backend = Resolve(std::move(backend));
    {
        CRegister registry(backend);
        registry.REGDeleteSetting(kSettingsRoot, SettingsSection());
        if (kSettingsUserRoot != kSettingsRoot)
            registry.REGDeleteSetting(kSettingsUserRoot, SettingsSection());
    }
    return LoadSettings(controls, backend);
}

}  // namespace clip
