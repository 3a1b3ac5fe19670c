#pragma once

namespace clip {

// The names under which the program keeps its settings and data (the
// organisation and application names of the application object) and shows
// its version; set once the application object exists, by every program
// that reads the same settings (the window, the command line, the bench).
void SetProgramNames();

}  // namespace clip
