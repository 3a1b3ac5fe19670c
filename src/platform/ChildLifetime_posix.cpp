#include "platform/ChildLifetime.h"

#include <csignal>
#include <unistd.h>

#ifdef __linux__
#include <sys/prctl.h>
#endif

namespace clip::platform {

void DieWithParent(int parentId)
{
#ifdef __linux__
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
#endif
    // The parent may have ended before the request above was made: the child
    // then belongs to another process already.
    if (::getppid() != parentId)
        ::_exit(127);
}

}  // namespace clip::platform
