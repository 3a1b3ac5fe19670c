// The registry rules over the system registry (wine's, when cross-built):
// the shared table of cases.
#include "WinTestSupport.h"

#include "../settings/RegistryTestSupport.h"
#include "settings/Win32Registry_win.h"

namespace clip::wintest {
namespace {

class SystemRegistry final : public regcases::Registry {
public:
    Win32Registry system;
    RegistryBackend& backend() override { return system; }
    std::string get(const std::string& section, const std::string& name, const std::string& fallback) override
    {
        return regcore::GetSetting(system, regcases::kRoot, section, name, fallback);
    }
    bool save(const std::string& section, const std::string& name, const std::string& value) override
    {
        return regcore::SaveSetting(system, regcases::kRoot, section, name, value);
    }
    bool remove(const std::string& section, const std::string& name) override
    {
        return regcore::DeleteSetting(system, regcases::kRoot, section, name);
    }
};

TEST_F(OwnKeyTest, TheRegistryRules)
{
    for (const auto& [name, run] : regcases::Cases()) {
        SCOPED_TRACE(name);
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, wbase.c_str());
        SystemRegistry r;
        r.base = base;
        run(r);
    }
}

}  // namespace
}  // namespace clip::wintest
