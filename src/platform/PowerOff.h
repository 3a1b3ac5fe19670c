#pragma once

namespace clip::platform {

// Power-off modes: 0 log off, 1 shut down, 2 restart, 8 power off. Every
// request is forced (open programs do not get to refuse). Any other mode does
// nothing. Never waits for the system's answer: returns false when the mode
// is unknown or the request could not be made; a refusal that comes back
// later is logged (Linux) and otherwise ignored.
bool ShutdownComputer(int mode);

}  // namespace clip::platform
