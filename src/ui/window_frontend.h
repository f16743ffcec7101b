#pragma once
// The window front-end of this system, one implementation per system: on
// POSIX the GTK window module built into the executable, on Windows the Win32
// window linked in.
#include <string>
#include <vector>

struct LauncherConfig;

// Runs the launcher in its window when the configuration and the system call
// for one: true, with the exit status in `status`, when it ran. False when
// the console is to serve instead; `refusedWindow` then says why, where that
// is worth the launcher log.
bool RunWindowFrontEnd(std::vector<std::wstring>& arguments, const LauncherConfig& config,
                       std::string& refusedWindow, int& status);
