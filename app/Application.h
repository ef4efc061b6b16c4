#pragma once
// The program's start: the application title, the four windows in their order, the main
// window's message loop.
#include "app/CommandLine.h"

#include <functional>

namespace katalox {

// How each window comes into being. Each creates its window, stores it in its instance
// (Form1, ...) and then runs the window's start-up work, so a window whose start-up fails still
// exists. Tests replace some of them.
struct WindowFactories {
    std::function<void()> createForm1;
    std::function<void()> createForm2;
    std::function<void()> createForm3;
    std::function<void()> createForm10;
};

// The program's own windows.
WindowFactories defaultWindowFactories();

// Creates the windows in order, each guarded: an error is shown in the error box and the start
// goes on with the next window.
void createWindows(const WindowFactories& factories);

// Shows the main window and processes events until the main window closes, even while other
// windows are open. Returns the exit code; 1 when there is no main window to show.
int runMainWindow();

// Destroys the windows, the last created first, and clears their instances.
void destroyWindows();

// Names the program's desktop entry and gives every window the program's icon.
void setDesktopIdentity();

// Makes the per-user folder, prepared on its first use, the current folder, so the main window
// takes it as its start folder. A failure is shown in the error box; returns false then.
bool enterUserFolder();

// Everything after the application exists: the folder to work in, the windows, the main
// window's loop. Returns the exit code.
int runProgram(const StartOptions& options);

// Starts the program and returns its exit code.
int runApplication(int argc, char** argv);

} // namespace katalox
