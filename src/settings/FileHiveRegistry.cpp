#include "settings/FileHiveRegistry.h"

#include "platform/TestingGuard.h"

#include <QByteArray>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>
#include <QSaveFile>
#include <QStandardPaths>

#include <cstring>
#include <memory>
#include <optional>
#include <utility>

namespace clip {

namespace {

// Marks the file as ours; anything else at the hive's path counts as damaged.
const QString kFormatTag = QStringLiteral("clipwright-registry-hive");
constexpr int kFormatVersion = 1;
// A settings hive is a few kilobytes; anything this large (once texts too
// long to be settings are left out) is not one of ours.
constexpr qint64 kMaxHiveBytes = 16 * 1024 * 1024;
// The longest text kept from the file (a name, a value's data): a setting is
// a few bytes, and one huge value must not cost the others.
constexpr qsizetype kMaxTextBytes = 1024 * 1024;
constexpr int kMaxDepth = 256;
constexpr std::uint32_t kWriteAccess = reg::kKeySetValue | reg::kKeyCreateSubKey | 0x10000 /* DELETE */;

struct HiveValue {
    QString name;
    std::uint32_t type = reg::kRegNone;
    QByteArray data;
};

struct HiveKey {
    QString name;
    std::vector<HiveValue> values;
    std::vector<HiveKey> keys;
};

bool SameName(const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

HiveKey* FindKey(HiveKey& parent, const QString& name)
{
    for (HiveKey& key : parent.keys)
        if (SameName(key.name, name))
            return &key;
    return nullptr;
}

HiveKey* Walk(HiveKey& root, const QStringList& path)
{
    HiveKey* key = &root;
    for (const QString& component : path) {
        key = FindKey(*key, component);
        if (!key)
            return nullptr;
    }
    return key;
}

// The key at `path`, created with every missing key along it (`created` set then).
HiveKey* MakePath(HiveKey& root, const QStringList& path, bool& created)
{
    HiveKey* key = &root;
    for (const QString& component : path) {
        HiveKey* child = FindKey(*key, component);
        if (!child) {
            key->keys.push_back(HiveKey{component, {}, {}});
            child = &key->keys.back();
            created = true;
        }
        key = child;
    }
    return key;
}

HiveValue* FindValue(HiveKey& key, const QString& name)
{
    for (HiveValue& value : key.values)
        if (SameName(value.name, name))
            return &value;
    return nullptr;
}

// --- reading and writing the file ---------------------------------------

// Reads the values and subkeys of `object` into `key`. An entry that is not
// usable (a value of the wrong shape, a key without a name, nesting too
// deep) is left out alone and `repaired` is set; the rest is kept.
void ParseKey(const QJsonObject& object, HiveKey& key, int depth, bool& repaired)
{
    const QJsonValue values = object.value(QLatin1String("values"));
    const QJsonValue keys = object.value(QLatin1String("keys"));
    if (!(values.isArray() || values.isUndefined()) || !(keys.isArray() || keys.isUndefined()))
        repaired = true;
    for (const QJsonValue& item : values.toArray()) {
        const QJsonObject v = item.toObject();
        const QJsonValue name = v.value(QLatin1String("name"));
        const QJsonValue type = v.value(QLatin1String("type"));
        const QJsonValue data = v.value(QLatin1String("data"));
        const double typeNumber = type.toDouble(-1);
        auto bytes = QByteArray::fromBase64Encoding(data.toString().toLatin1(),
                                                    QByteArray::AbortOnBase64DecodingErrors);
        if (!item.isObject() || !name.isString() || !type.isDouble() || !data.isString() || typeNumber < 0
            || typeNumber > 4294967295.0 || typeNumber != static_cast<double>(static_cast<qint64>(typeNumber))
            || !bytes || FindValue(key, name.toString())) {
            repaired = true;
            continue;
        }
        key.values.push_back({name.toString(), static_cast<std::uint32_t>(typeNumber), *bytes});
    }
    for (const QJsonValue& item : keys.toArray()) {
        const QJsonValue name = item.toObject().value(QLatin1String("name"));
        if (!item.isObject() || !name.isString() || name.toString().isEmpty()
            || name.toString().contains(QLatin1Char('\\')) || FindKey(key, name.toString()) || depth >= kMaxDepth) {
            repaired = true;
            continue;
        }
        HiveKey child;
        child.name = name.toString();
        ParseKey(item.toObject(), child, depth + 1, repaired);
        key.keys.push_back(std::move(child));
    }
}

QJsonObject KeyToJson(const HiveKey& key)
{
    QJsonObject object;
    if (!key.name.isEmpty())
        object.insert(QLatin1String("name"), key.name);
    QJsonArray values;
    for (const HiveValue& value : key.values) {
        QJsonObject v;
        v.insert(QLatin1String("name"), value.name);
        v.insert(QLatin1String("type"), static_cast<qint64>(value.type));
        v.insert(QLatin1String("data"), QString::fromLatin1(value.data.toBase64()));
        values.append(v);
    }
    QJsonArray keys;
    for (const HiveKey& child : key.keys)
        keys.append(KeyToJson(child));
    object.insert(QLatin1String("values"), values);
    object.insert(QLatin1String("keys"), keys);
    return object;
}

// Reads `in` to its end, each JSON text longer than kMaxTextBytes replaced
// by null: the entry that holds it is then left out alone like any unusable
// one, and it is never held in memory whole. `dropped` tells whether any
// was. False when the file could not be read to its end; reading stops
// early once what is kept is larger than any hive of ours.
bool ReadWithoutOversizedTexts(QFile& in, QByteArray& out, bool& dropped)
{
    out.clear();
    bool inText = false, escaped = false, oversized = false;
    qsizetype textStart = 0;  // where the open text's quote stands in `out`
    qint64 total = 0;
    QByteArray chunk(256 * 1024, Qt::Uninitialized);
    for (;;) {
        const qint64 count = in.read(chunk.data(), chunk.size());
        if (count < 0)
            return false;
        if (count == 0)
            return total == in.size();
        total += count;
        if (out.size() > kMaxHiveBytes)
            return true;  // far too large to be ours even without its long texts: no need to read on
        const char* p = chunk.constData();
        const char* const end = p + count;
        while (p < end) {
            if (!inText) {
                const char* quote = static_cast<const char*>(std::memchr(p, '"', size_t(end - p)));
                const char* stop = quote ? quote + 1 : end;
                out.append(p, stop - p);
                if (quote)
                    inText = true, escaped = false, oversized = false, textStart = out.size() - 1;
                p = stop;
                continue;
            }
            // Inside a text: up to the next quote or backslash at once.
            const char* stop = p;
            if (!escaped)
                while (stop < end && *stop != '"' && *stop != '\\')
                    ++stop;
            if (!oversized)
                out.append(p, stop - p);
            p = stop;
            if (!oversized && out.size() - textStart > kMaxTextBytes)
                oversized = true, out.truncate(textStart + 1);
            if (p == end)
                break;
            const char c = *p++;
            if (!oversized)
                out.append(c);
            if (escaped || c == '\\') {
                escaped = !escaped;
                continue;
            }
            inText = false;  // the closing quote
            if (oversized) {
                out.truncate(textStart);
                out.append("null");
                dropped = true;
            }
        }
    }
}

struct LoadedHive {
    HiveKey root;
    StoreCondition condition = StoreCondition::Sound;
};

// The hive in `file`: empty when the file is missing (sound), cannot be read
// now (unreadable) or is not a hive of ours (damaged).
LoadedHive LoadHive(const QString& file)
{
    LoadedHive hive;
    QFile in(file);
    if (!in.exists())
        return hive;
    if (!in.open(QIODevice::ReadOnly) || QFileInfo(file).isDir()) {
        hive.condition = StoreCondition::Unreadable;
        return hive;
    }
    QByteArray bytes;
    bool dropped = false;
    if (!ReadWithoutOversizedTexts(in, bytes, dropped) || in.error() != QFileDevice::NoError) {
        hive.condition = StoreCondition::Unreadable;
        return hive;
    }
    if (bytes.size() > kMaxHiveBytes) {
        hive.condition = StoreCondition::Damaged;
        return hive;
    }
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    const QJsonObject top = document.object();
    if (error.error != QJsonParseError::NoError || !document.isObject()
        || top.value(QLatin1String("format")).toString() != kFormatTag
        || top.value(QLatin1String("version")).toInt() != kFormatVersion
        || !top.value(QLatin1String("root")).isObject()) {
        hive.condition = StoreCondition::Damaged;
        return hive;
    }
    bool repaired = dropped;
    ParseKey(top.value(QLatin1String("root")).toObject(), hive.root, 0, repaired);
    if (repaired)
        hive.condition = StoreCondition::Repaired;
    return hive;
}

// Copies a damaged hive file beside itself ("<file>.damaged-<date>") before
// it is first written over. False when no copy could be made.
bool KeepDamagedCopy(const QString& file)
{
    const QString stem = file + QStringLiteral(".damaged-")
                         + QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd-HHmmss"));
    QString copy = stem;
    for (int n = 2; QFileInfo::exists(copy); ++n)
        copy = stem + QLatin1Char('-') + QString::number(n);
    return QFile::copy(file, copy);
}

bool SaveHive(const QString& file, const HiveKey& root)
{
    QJsonObject top;
    top.insert(QLatin1String("format"), kFormatTag);
    top.insert(QLatin1String("version"), kFormatVersion);
    top.insert(QLatin1String("root"), KeyToJson(root));
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    const QByteArray bytes = QJsonDocument(top).toJson(QJsonDocument::Indented);
    if (out.write(bytes) != bytes.size()) {
        out.cancelWriting();
        return false;
    }
    return out.commit();
}

// One mutex per hive file for the threads of this process; the lock file
// then keeps other processes out.
std::mutex& ProcessMutexFor(const QString& file)
{
    static std::mutex tableMutex;
    static std::map<QString, std::unique_ptr<std::mutex>> table;
    std::lock_guard<std::mutex> guard(tableMutex);
    std::unique_ptr<std::mutex>& entry = table[QFileInfo(file).absoluteFilePath()];
    if (!entry)
        entry = std::make_unique<std::mutex>();
    return *entry;
}

// Reads the hive under both locks, lets `change` edit it, and writes it back
// when `change` succeeded and says it changed something. A hive that could
// not be read is never written over; a damaged one is kept aside first.
template <class Change>
RegStatus ModifyHive(const QString& file, Change&& change, int lockWaitMs = FileHiveRegistry::kValueLockWaitMs)
{
    if (!QDir().mkpath(QFileInfo(file).absolutePath()))
        return reg::kCantWrite;
    std::lock_guard<std::mutex> threadGuard(ProcessMutexFor(file));
    QLockFile lock(file + QStringLiteral(".lock"));
    if (!lock.tryLock(lockWaitMs))
        return lock.error() == QLockFile::LockFailedError ? reg::kLockViolation : reg::kAccessDenied;
    LoadedHive hive = LoadHive(file);
    if (hive.condition == StoreCondition::Unreadable)
        return reg::kAccessDenied;
    bool changed = false;
    RegStatus status = change(hive.root, changed);
    if (status != reg::kSuccess || !changed)
        return status;
    if (hive.condition != StoreCondition::Sound && !KeepDamagedCopy(file))
        return reg::kCantWrite;
    return SaveHive(file, hive.root) ? reg::kSuccess : reg::kCantWrite;
}

std::optional<QStringList> SplitPath(const std::string& subKey)
{
    if (subKey.empty())
        return QStringList();
    const QStringList parts = QString::fromUtf8(subKey.data(), static_cast<qsizetype>(subKey.size()))
                                  .split(QLatin1Char('\\'));
    for (const QString& part : parts)
        if (part.isEmpty())
            return std::nullopt;
    return parts;
}

}  // namespace

FileHiveRegistry::FileHiveRegistry()
    : m_folder(platform::RunningUnderTests() ? QString() : DefaultFolder())
{
}

FileHiveRegistry::FileHiveRegistry(const QString& folder) : m_folder(folder) {}

FileHiveRegistry::~FileHiveRegistry() = default;

QString FileHiveRegistry::DefaultFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
}

QString FileHiveRegistry::hiveFile(std::uint32_t root) const
{
    if (m_folder.isEmpty())
        return {};
    QString name;
    switch (root) {
    case reg::kHKeyCurrentUser:
    case reg::kHKeyLocalMachine: name = QStringLiteral("HKEY_CURRENT_USER"); break;
    case reg::kHKeyClassesRoot: name = QStringLiteral("HKEY_CLASSES_ROOT"); break;
    case reg::kHKeyUsers: name = QStringLiteral("HKEY_USERS"); break;
    case reg::kHKeyCurrentConfig: name = QStringLiteral("HKEY_CURRENT_CONFIG"); break;
    default: return {};
    }
    return QDir(m_folder).filePath(name + QStringLiteral(".json"));
}

RegStatus FileHiveRegistry::resolve(RegKey parent, const std::string& subKey, OpenKey& target) const
{
    if (m_folder.isEmpty())
        return reg::kAccessDenied;
    if (reg::IsPredefinedRoot(parent)) {
        target.file = hiveFile(static_cast<std::uint32_t>(parent));
        target.path.clear();
        if (target.file.isEmpty())
            return reg::kInvalidHandle;
    } else {
        std::lock_guard<std::mutex> guard(m_mutex);
        const auto found = m_open.find(parent);
        if (found == m_open.end())
            return reg::kInvalidHandle;
        target = found->second;
    }
    const std::optional<QStringList> parts = SplitPath(subKey);
    if (!parts)
        return reg::kInvalidParameter;
    target.path += *parts;
    return reg::kSuccess;
}

RegKey FileHiveRegistry::remember(OpenKey key)
{
    std::lock_guard<std::mutex> guard(m_mutex);
    const RegKey handle = m_nextHandle++;
    m_open.emplace(handle, std::move(key));
    return handle;
}

bool FileHiveRegistry::hiveWritable(const QString& file) const
{
    const QFileInfo info(file);
    if (info.exists())
        return info.isWritable();
    const QFileInfo folder(info.absolutePath());
    return !folder.exists() || folder.isWritable();
}

RegStatus FileHiveRegistry::openKey(RegKey parent, const std::string& subKey, std::uint32_t access,
                                    RegKey& result)
{
    result = 0;
    OpenKey target;
    if (const RegStatus status = resolve(parent, subKey, target); status != reg::kSuccess)
        return status;
    HiveKey root = LoadHive(target.file).root;
    if (!Walk(root, target.path))
        return reg::kFileNotFound;
    if ((access & kWriteAccess) && !hiveWritable(target.file))
        return reg::kAccessDenied;
    target.access = access;
    result = remember(std::move(target));
    return reg::kSuccess;
}

RegStatus FileHiveRegistry::createKey(RegKey parent, const std::string& subKey, std::uint32_t access,
                                      RegKey& result)
{
    result = 0;
    OpenKey target;
    if (const RegStatus status = resolve(parent, subKey, target); status != reg::kSuccess)
        return status;
    // Nothing to create: the same as opening it.
    {
        HiveKey root = LoadHive(target.file).root;
        if (Walk(root, target.path))
            return openKey(parent, subKey, access, result);
    }
    if (!hiveWritable(target.file))
        return reg::kAccessDenied;
    const RegStatus status = ModifyHive(target.file, [&](HiveKey& root, bool& changed) {
        MakePath(root, target.path, changed);
        return reg::kSuccess;
    });
    if (status != reg::kSuccess)
        return status;
    target.access = access;
    result = remember(std::move(target));
    return reg::kSuccess;
}

RegStatus FileHiveRegistry::queryValue(RegKey key, const std::string& name, std::uint32_t& type,
                                       std::vector<unsigned char>& data)
{
    OpenKey target;
    if (const RegStatus status = resolve(key, {}, target); status != reg::kSuccess)
        return status;
    if (reg::IsPredefinedRoot(key))
        target.access = reg::kKeyAllAccess;
    if (!(target.access & reg::kKeyQueryValue))
        return reg::kAccessDenied;
    HiveKey root = LoadHive(target.file).root;
    HiveKey* found = Walk(root, target.path);
    if (!found)
        return reg::kKeyDeleted;
    const HiveValue* value = FindValue(*found, QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
    if (!value)
        return reg::kFileNotFound;
    type = value->type;
    data.assign(value->data.begin(), value->data.end());
    return reg::kSuccess;
}

RegStatus FileHiveRegistry::setValue(RegKey key, const std::string& name, std::uint32_t type,
                                     const std::vector<unsigned char>& data)
{
    OpenKey target;
    if (const RegStatus status = resolve(key, {}, target); status != reg::kSuccess)
        return status;
    if (reg::IsPredefinedRoot(key))
        target.access = reg::kKeyAllAccess;
    if (!(target.access & reg::kKeySetValue) || !hiveWritable(target.file))
        return reg::kAccessDenied;
    const QString valueName = QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
    const QByteArray bytes(reinterpret_cast<const char*>(data.data()), static_cast<qsizetype>(data.size()));
    return ModifyHive(target.file, [&](HiveKey& root, bool& changed) {
        HiveKey* found = Walk(root, target.path);
        if (!found)
            return reg::kKeyDeleted;
        if (HiveValue* value = FindValue(*found, valueName)) {
            value->type = type;
            value->data = bytes;
        } else {
            found->values.push_back({valueName, type, bytes});
        }
        changed = true;
        return reg::kSuccess;
    });
}

RegStatus FileHiveRegistry::deleteValue(RegKey key, const std::string& name)
{
    OpenKey target;
    if (const RegStatus status = resolve(key, {}, target); status != reg::kSuccess)
        return status;
    if (reg::IsPredefinedRoot(key))
        target.access = reg::kKeyAllAccess;
    if (!(target.access & reg::kKeySetValue) || !hiveWritable(target.file))
        return reg::kAccessDenied;
    const QString valueName = QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
    return ModifyHive(target.file, [&](HiveKey& root, bool& changed) {
        HiveKey* found = Walk(root, target.path);
        if (!found)
            return reg::kKeyDeleted;
        for (auto it = found->values.begin(); it != found->values.end(); ++it) {
            if (SameName(it->name, valueName)) {
                found->values.erase(it);
                changed = true;
                return reg::kSuccess;
            }
        }
        return reg::kFileNotFound;
    });
}

RegStatus FileHiveRegistry::deleteKey(RegKey key, const std::string& subKey)
{
    OpenKey target;
    if (const RegStatus status = resolve(key, subKey, target); status != reg::kSuccess)
        return status;
    OpenKey parent;
    resolve(key, {}, parent);
    // A key cannot delete itself through an empty path.
    if (target.path.size() == parent.path.size())
        return reg::kInvalidParameter;
    if (!hiveWritable(target.file))
        return reg::kAccessDenied;
    return ModifyHive(target.file, [&](HiveKey& root, bool& changed) {
        HiveKey* above = Walk(root, target.path.mid(0, target.path.size() - 1));
        if (!above)
            return reg::kFileNotFound;
        for (auto it = above->keys.begin(); it != above->keys.end(); ++it) {
            if (SameName(it->name, target.path.constLast())) {
                if (!it->keys.empty())
                    return reg::kAccessDenied;  // the system refuses keys with subkeys
                above->keys.erase(it);
                changed = true;
                return reg::kSuccess;
            }
        }
        return reg::kFileNotFound;
    });
}

RegStatus FileHiveRegistry::saveValues(RegKey parent, const std::string& subKey, const std::vector<RegValue>& values)
{
    OpenKey target;
    if (const RegStatus status = resolve(parent, subKey, target); status != reg::kSuccess)
        return status;
    if (!hiveWritable(target.file))
        return reg::kAccessDenied;
    return ModifyHive(target.file, [&](HiveKey& root, bool& changed) {
        HiveKey* key = MakePath(root, target.path, changed);
        for (const RegValue& v : values) {
            const QString name = QString::fromUtf8(v.name.data(), static_cast<qsizetype>(v.name.size()));
            const QByteArray bytes(reinterpret_cast<const char*>(v.data.data()), static_cast<qsizetype>(v.data.size()));
            if (HiveValue* value = FindValue(*key, name))
                *value = {value->name, v.type, bytes};
            else
                key->values.push_back({name, v.type, bytes});
        }
        changed = true;
        return reg::kSuccess;
    }, kLockWaitMs);
}

StoreReport FileHiveRegistry::inspect(std::uint32_t root)
{
    const QString file = hiveFile(root);
    if (file.isEmpty())
        return {};
    return {LoadHive(file).condition, QDir::toNativeSeparators(file).toStdString()};
}

RegStatus FileHiveRegistry::closeKey(RegKey key)
{
    if (reg::IsPredefinedRoot(key))
        return reg::kSuccess;
    std::lock_guard<std::mutex> guard(m_mutex);
    return m_open.erase(key) ? reg::kSuccess : reg::kInvalidHandle;
}

}  // namespace clip

