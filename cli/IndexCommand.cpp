// index: the substring index brought up to date at once, in a process of its own when scan
// and update leave it running behind them.
#include "cli/Arguments.h"
#include "cli/Commands.h"

#include "store/catalog/Catalog.h"
#include "store/sqlite/Database.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace katalox::cli {

int runIndex(store::Catalog& catalog, const Words& words) {
    if (!Arguments(words, {}).words().empty())
        throw UsageError("index takes no arguments");
    if (store::ConnectionUpkeep* upkeep = catalog.database().upkeep())
        upkeep->finishNow();
    return 0;
}

void indexInTheBackground(const store::Catalog& catalog) {
    // A grandchild of its own session, so that it outlives this program and its terminal, and
    // leaves no child behind for the caller to wait on.
    const pid_t child = ::fork();
    if (child != 0) {
        if (child > 0)
            ::waitpid(child, nullptr, 0);
        return;
    }
    ::setsid();
    const int null = ::open("/dev/null", O_RDWR);
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    for (const int fd : {0, 1, 2})
        posix_spawn_file_actions_adddup2(&files, null, fd);
    std::string self = "/proc/self/exe";
    std::string program = "katalox-cli", option = "--catalog", path = catalog.path(),
                command = "index";
    char* argv[] = {program.data(), option.data(), path.data(), command.data(), nullptr};
    pid_t indexer = 0;
    posix_spawn(&indexer, self.c_str(), &files, nullptr, argv, environ);
    ::_exit(0);
}

} // namespace katalox::cli
