// Clipwright: the program's entry. The commands that need no window run
// here, on the toolkit's core alone, so that a script's call starts in a
// moment; anything else is the window's, whose program takes this process
// over (the same process id, arguments and environment).
#include "cli/Commands.h"

#include <QStringList>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>

namespace {

// The folder this program was started from, resolved.
std::string OwnFolder()
{
    char path[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0)
        return ".";
    const std::string self(path, std::size_t(length));
    return self.substr(0, self.rfind('/'));
}

}  // namespace

int main(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    if (clip::IsWindowlessCommand(arguments))
        return clip::RunWindowlessProgram(argc, argv);

    // The window's program: beside this one in the build tree, in the
    // installed libexec folder otherwise.
    const std::string folder = OwnFolder();
    for (const std::string& candidate :
         {folder + "/clipwright-window", folder + "/" CLIP_WINDOW_PROGRAM_FROM_BIN}) {
        if (::access(candidate.c_str(), X_OK) != 0)
            continue;
        ::execv(candidate.c_str(), argv);
        std::fprintf(stderr, "clipwright: the window's program %s could not be started: %s\n", candidate.c_str(),
                     std::strerror(errno));
        return 1;
    }
    std::fprintf(stderr, "clipwright: the window's program was found neither in %s nor in %s/%s\n", folder.c_str(),
                 folder.c_str(), CLIP_WINDOW_PROGRAM_FROM_BIN);
    return 1;
}
