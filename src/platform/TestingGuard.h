#pragma once

#include <cstdlib>

namespace clip::platform {

// Name of the environment variable that test programs set. While it is set,
// the real operating-system actions (ending the session, powering off,
// writing the user's own settings hive) refuse to run unless a test has put
// its own stand-in in their place.
inline constexpr const char* kTestingVariable = "CLIPWRIGHT_TESTING";

// True while running under tests (the variable is set and not empty).
inline bool RunningUnderTests()
{
    const char* value = std::getenv(kTestingVariable);
    return value != nullptr && *value != '\0';
}

}  // namespace clip::platform
