#pragma once

namespace clip::platform {

// Power-off modes: 0 log off, 1 shut down, 2 restart, 8 power off. Every
// request is forced (open programs do not get to refuse). Any other mode does
// nothing. Returns false when the mode is unknown or the system refused.
bool ShutdownComputer(int mode);

}  // namespace clip::platform
