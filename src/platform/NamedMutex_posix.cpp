#include "platform/NamedMutex.h"

namespace clip::platform {

// On Windows the program announces itself with a named mutex so that its
// installer can tell that it is running. The program itself never examines
// the mutex (a second instance starts normally), and nothing on these systems
// looks for one, so there is nothing to create here.
void CreateNamedMutex(const char*) {}

}  // namespace clip::platform
