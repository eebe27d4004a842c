// The POSIX entry: forms the command-line text that Windows would hand the
// tool and runs the same entry steps as on Windows.

#include <string>

#include "platform/posix_command_line.h"
#include "platform/posix_handles.h"

int main(int argc, char** argv)
{
    // The settings point into this text (the template is not copied): it
    // lives until the tool has finished.
    std::string commandLine = FormCommandLineText(argc - 1, argv + 1);
    InstallQuitSignals();
    return WinMain(nullptr, nullptr, commandLine.data(), 0);
}
