#pragma once
// The command line: --help and --version are answered without a display; --user-folder makes
// the program work in the per-user folder instead of the current one.
#include <optional>

namespace katalox {

struct StartOptions {
    bool userFolder = false; // work in store::userFolderPath(), prepared on first use
};

struct CommandLine {
    StartOptions options;
    std::optional<int> exitCode; // set when the command line was answered and the program ends
};

// Reads the options. Prints the help, the version or the mistake (to standard output, or to
// standard error for a mistake) and sets the exit code when there is nothing to start.
CommandLine readCommandLine(int argc, char** argv);

// The program's name and version as the application reports them.
void setApplicationIdentity();

} // namespace katalox
