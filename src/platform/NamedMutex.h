#pragma once

namespace clip::platform {

// Creates the program's named mutex (no security attributes, not initially
// owned) and keeps it for the rest of the process's life. The result is not
// examined: a second instance of the program starts normally. `name` is
// UTF-8.
void CreateNamedMutex(const char* name);

// The name the program uses.
inline constexpr const char* kProgramMutexName = "Norvaneclipwright";

}  // namespace clip::platform
