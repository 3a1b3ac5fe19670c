#include "settings/RegistryBackend.h"

#ifdef _WIN32
#include "settings/Win32Registry_win.h"
#else
#include "settings/FileHiveRegistry.h"
#endif

#include <utility>

namespace clip {

namespace {
std::shared_ptr<RegistryBackend>& Installed()
{
    static std::shared_ptr<RegistryBackend> backend;
    return backend;
}
}  // namespace

std::shared_ptr<RegistryBackend> DefaultRegistryBackend()
{
    std::shared_ptr<RegistryBackend>& backend = Installed();
    if (!backend) {
#ifdef _WIN32
        backend = std::make_shared<Win32Registry>();
#else
        backend = std::make_shared<FileHiveRegistry>();
#endif
    }
    return backend;
}

RegStatus RegistryBackend::saveValues(RegKey parent, const std::string& subKey, const std::vector<RegValue>& values)
{
    RegKey key = 0;
    RegStatus status = createKey(parent, subKey, reg::kKeyAllAccess, key);
    if (status != reg::kSuccess)
        return status;
    for (const RegValue& value : values) {
        status = setValue(key, value.name, value.type, value.data);
        if (status != reg::kSuccess)
            break;
    }
    closeKey(key);
    return status;
}

StoreReport RegistryBackend::inspect(std::uint32_t)
{
    return {};
}

void SetDefaultRegistryBackend(std::shared_ptr<RegistryBackend> backend)
{
    Installed() = std::move(backend);
}

}  // namespace clip
