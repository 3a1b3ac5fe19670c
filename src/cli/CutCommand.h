#pragma once

#include <QStringList>

namespace clip {

// "clipwright cut [options] INPUT...": each input cut in turn with the same
// options by the cut controller, as the window would cut it (the same
// naming, jobs, checks and clean-up). `arguments` are those after "cut".
// Needs an application object and the console host. Returns the exit
// status: 0 all cut, 1 at least one failed, 2 a usage error, 130 stopped
// by an interrupt or a termination request.
int RunCutCommand(const QStringList& arguments);

}  // namespace clip
