#pragma once

#include <QString>

namespace clip {

// The names under which the program keeps its settings and data (the
// organisation and application names of the application object) and shows
// its version; set once the application object exists, by every program
// that reads the same settings (the window, the command line, the bench).
void SetProgramNames();

// "major.minor.0.revision", the program version as the about panel shows it.
QString VersionText(int major, int minor, int revision);

}  // namespace clip
