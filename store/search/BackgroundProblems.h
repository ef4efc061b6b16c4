#pragma once
// Problems met by work running in the background (the search index's builder), kept for the
// windows to tell the user once: a thread of its own cannot show a message.
#include <string>
#include <vector>

namespace katalox::store {

// Keeps `message` to be told, unless the same message was kept before. Safe from any thread.
void noteBackgroundProblem(const std::string& message);

// The problems kept since the last call, each once, oldest first.
std::vector<std::string> takeBackgroundProblems();

} // namespace katalox::store
