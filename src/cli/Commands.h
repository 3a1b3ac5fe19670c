#pragma once

#include <QStringList>

#include <optional>

namespace clip {

// The commands of the program that need no window: "clipwright presets"
// (one line per named format: category, label and extension, separated by
// tabs) and "clipwright cut" (CutCommand.h). `arguments` are the program's own, the program's name first.
// Empty when they name no such command (the window's program takes them);
// otherwise the exit status. Needs an application object and a host.
std::optional<int> RunWindowlessCommand(const QStringList& arguments);

// True when the arguments name a windowless command.
bool IsWindowlessCommand(const QStringList& arguments);

// The whole program for a windowless command: the application object (no
// display needed), the program's names, the console host, the command.
// Returns the exit status.
int RunWindowlessProgram(int argc, char** argv);

}  // namespace clip
