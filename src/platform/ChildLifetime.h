#pragma once

namespace clip::platform {

// Ties a child process to this program's life, so that a child (the encoder)
// never goes on running after the program has ended, however it ended.
//
// Linux: DieWithParent runs in the child between fork and exec: it asks for
// SIGKILL when the parent ends, and ends the child at once when the parent
// (`parentId`) is already gone. Only async-signal-safe calls.
// Windows: EndWithThisProgram puts the started child into a job object that
// this program holds open and that kills its processes when it is closed,
// which the system does when the program ends. False when that failed.
#ifdef _WIN32
bool EndWithThisProgram(unsigned long processId);
#else
void DieWithParent(int parentId);
#endif

}  // namespace clip::platform
