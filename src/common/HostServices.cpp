#include "common/HostServices.h"

#include <cstdio>
#include <cstdlib>

namespace clip {

namespace {
HostServices* g_host = nullptr;
}

HostServices& Host()
{
    if (!g_host) {
        std::fputs("Clipwright: host services used before they were installed\n", stderr);
        std::abort();
    }
    return *g_host;
}

void SetHost(HostServices* host) { g_host = host; }

}  // namespace clip
