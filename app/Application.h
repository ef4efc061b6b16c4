#pragma once

namespace katalox {

// Starts the program: title, the four windows in order, the main window's message loop.
int runApplication(int argc, char** argv);

} // namespace katalox
