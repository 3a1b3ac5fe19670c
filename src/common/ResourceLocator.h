#pragma once

#include <QString>
#include <QStringList>

// Where the program finds what it ships with: the catalogues, the help file
// and the helper tools (the encoder and its probe). Every lookup searches the
// program's own folder first (the build tree and the Windows layout), then the
// installed data folders the host names (share/clipwright of an installed
// program); tools are looked for on the system's search path last.

namespace clip {

// The folders searched, in order, the program's own first; without a
// trailing separator, duplicates removed.
QStringList SearchFolders();

// The path of the shipped file `fileName` ("presets.xml", "Help.html") in the
// first search folder that holds it; when none does, its path in the
// program's folder, so that a failure names the usual place.
QString LocateDataFile(const QString& fileName);

// The path of the helper tool `name` ("ffmpeg", "ffprobe"; ".exe" is added on
// Windows): the first search folder that holds it, else the system's search
// path. When it is nowhere, its path in the program's folder.
QString LocateTool(const QString& name);

// True when LocateTool(name) names a file that is there.
bool ToolFound(const QString& name);

// Every place LocateTool(name) looks, in order: one full path per search
// folder, then "<file name> on the PATH" for the system's search path. For
// messages such as "The encoder was not found: ..." (joined by line breaks).
QStringList LookedFor(const QString& name);

}  // namespace clip
