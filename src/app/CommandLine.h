#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace clip {

class frmMain;

// What the command line asks for. `exitCode` is set when the program is to
// end at once (after --help or --version, or on a usage error, with its text
// printed); otherwise `video` names the file to open at start-up, or is empty.
struct StartupRequest {
    std::optional<int> exitCode;
    QString video;
};

// Reads the command line: "clipwright [--help] [--version] [VIDEO]". Works
// before the application object exists, so that --help and --version need
// no display. Options of the window toolkit (-platform, -style, ...) must
// have been removed from `arguments` unless `beforeToolkit` is true, in which
// case only --help and --version are looked at.
StartupRequest ReadCommandLine(const QStringList& arguments, bool beforeToolkit);

// Opens `path` as a file dropped on the video pane would be opened (the same
// extension rules, the same probe and messages). A file a drop would pass
// over without a word is reported as not supported here: nobody would
// otherwise learn why the window stays empty.
void OpenAtStartUp(frmMain& window, const QString& path);

}  // namespace clip
